#!/usr/bin/env bash
# Plots load time against file size for the realistic files of a kolt-bench CSV: the
# full load, the floor, stock pugixml and libxml2, in processor time (PNG, with gnuplot
# from gnuplot-nox).
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
# MB, then floor, load, pugixml and libxml2 in ms: realistic files only, by size.
awk -F, 'NR == 1 { for (i = 1; i <= NF; ++i) col[$i] = i; next }
         $1 ~ /^real-/ { printf "%.3f %.2f %.2f %.2f %.2f\n", $col["bytes"] / 1e6, $col["floor_s"] * 1e3,
                         $col["load_s"] * 1e3, $col["pugixml_s"] * 1e3, $col["libxml2_s"] * 1e3 }' "$csv" |
    sort -n >"$data"
[[ -s "$data" ]] || { echo "no realistic files (labels real-*) in $csv" >&2; exit 1; }

gnuplot <<GNUPLOT
set terminal pngcairo size 900,600 font "sans,11"
set output "$png"
set title "Load time against file size (medians of alternating rounds)\n{/*0.8 $machine}"
set xlabel "file size (MB)"
set ylabel "processor time (ms)"
set key top left
set grid
set xrange [0:*]
set yrange [0:*]
plot "$data" using 1:5 with linespoints lw 2 pt 9 title "libxml2: parse and visit", \
     "$data" using 1:4 with linespoints lw 2 pt 11 title "stock pugixml: load_file and visit" noenhanced, \
     "$data" using 1:3 with linespoints lw 2 pt 7 title "koltSettingManager::loadFromXmlFile (full load)", \
     "$data" using 1:2 with linespoints lw 2 pt 5 title "floor: the library's parse step and visit"
GNUPLOT
echo "wrote $png"
