#!/usr/bin/env bash
# Plots load time against file size for the realistic files of a kolt-bench CSV: the
# full load, the pugixml floor and libxml2 (PNG, with gnuplot from gnuplot-nox).
#
#   bench/plot-load-times.sh RESULTS.csv OUTPUT.png [MACHINE-DESCRIPTION]
set -euo pipefail
if [[ $# -lt 2 ]]; then
    sed -n '2,5p' "$0" >&2
    exit 64
fi
csv=$1
png=$2
machine=${3:-}
data=$(mktemp)
trap 'rm -f "$data"' EXIT
# MB, floor ms, load ms, libxml2 ms: realistic files only, by size.
awk -F, 'NR > 1 && $1 ~ /^real-/ { printf "%.3f %.2f %.2f %.2f\n", $2 / 1e6, $3 * 1e3, $4 * 1e3, $5 * 1e3 }' "$csv" |
    sort -n >"$data"
[[ -s "$data" ]] || { echo "no realistic files (labels real-*) in $csv" >&2; exit 1; }

gnuplot <<GNUPLOT
set terminal pngcairo size 900,600 font "sans,11"
set output "$png"
set title "Load time against file size (medians of alternating rounds)\n{/*0.8 $machine}"
set xlabel "file size (MB)"
set ylabel "time (ms)"
set key top left
set grid
set xrange [0:*]
set yrange [0:*]
plot "$data" using 1:4 with linespoints lw 2 pt 9 title "libxml2: parse and visit", \
     "$data" using 1:3 with linespoints lw 2 pt 7 title "koltSettingManager::loadFromXmlFile (full load)", \
     "$data" using 1:2 with linespoints lw 2 pt 5 title "floor: pugixml parse and visit"
GNUPLOT
echo "wrote $png"
