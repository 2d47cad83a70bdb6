#!/usr/bin/env bash
# Generates the benchmark files (once) and runs kolt-bench on all of them with the
# performance targets; the table goes to the terminal and to OUT/bench-results.txt,
# the medians to OUT/bench-results.csv (input of plot-load-times.sh).
#
#   bench/run-bench.sh [--rounds N] [--quick] BUILD_DIR [GENERATOR]
#
# BUILD_DIR is a build folder configured with -DKOLT_BUILD_BENCH=ON; GENERATOR is the
# settings generator (default: scripts/gen-settings.py). Files land in
# BUILD_DIR/bench-files (never in the source tree).
# --quick: the 10 MB realistic file and the small adversarial shapes only, 3 rounds.
set -euo pipefail

rounds=7
quick=0
while [[ $# -gt 0 && "$1" == --* ]]; do
    case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --quick) quick=1; rounds=3; shift ;;
    *) echo "unknown option $1" >&2; exit 64 ;;
    esac
done
if [[ $# -lt 1 || $# -gt 2 ]]; then
    sed -n '2,11p' "$0" >&2
    exit 64
fi
build=$(cd "$1" && pwd)
generator=${2:-$(dirname "$0")/../scripts/gen-settings.py}
bench="$build/bench/kolt-bench"
files="$build/bench-files"
[[ -x "$bench" ]] || { echo "no $bench: configure with -DKOLT_BUILD_BENCH=ON and build" >&2; exit 1; }
# The generator reads the vocabulary from the kolt-settings of the same build, if built.
if [[ -x "$build/tools/kolt-settings" ]]; then
    export KOLT_SETTINGS="$build/tools/kolt-settings"
fi
mkdir -p "$files"

# label and generator arguments; each adversarial shape at a base size and four times it.
shapes=(
    "real-10|--mb 10"
    "real-50|--mb 50"
    "real-200|--mb 200"
    "entities-1|--records 0 --worst-entities 4 --worst-len 1048576"
    "entities-4|--records 0 --worst-entities 4 --worst-len 4194304"
    "reports-1|--records 0 --many-reports 100000"
    "reports-4|--records 0 --many-reports 400000"
    "lists-1|--records 0 --many-lists 25000 --many-lists-all"
    "lists-4|--records 0 --many-lists 100000 --many-lists-all"
    "collide-reports-1|--records 0 --colliding-reports 40000"
    "collide-reports-4|--records 0 --colliding-reports 160000"
    "random-reports-1|--records 0 --colliding-reports 40000 --random-names"
    "random-reports-4|--records 0 --colliding-reports 160000 --random-names"
    "collide-lists-1|--records 0 --colliding-lists 40000"
    "collide-lists-4|--records 0 --colliding-lists 160000"
    "random-lists-1|--records 0 --colliding-lists 40000 --random-names"
    "random-lists-4|--records 0 --colliding-lists 160000 --random-names"
)
args=()
for shape in "${shapes[@]}"; do
    label=${shape%%|*}
    if [[ $quick -eq 1 && ( "$label" == real-50 || "$label" == real-200 || "$label" == *-4 ) ]]; then
        continue
    fi
    file="$files/$label.xml"
    if [[ ! -s "$file" ]]; then
        echo "generating $label" >&2
        # shellcheck disable=SC2086
        python3 "$generator" --seed 1 ${shape#*|} -o "$file.tmp"
        mv "$file.tmp" "$file"
    fi
    args+=("$label=$file")
done

targets=()
if [[ $quick -eq 0 ]]; then
    targets+=(--target real-50:load=1.25 --target real-50:peak=3.5 --target real-50:kept=0.8)
    for shape in entities reports lists; do
        targets+=(--target "$shape-1:load=2" --target "$shape-4:load=2" --scale "$shape-1:$shape-4=5")
    done
    # Names built to collide in the former name index: as fast as random names of the
    # same length, and linear.
    for shape in reports lists; do
        targets+=(--scale "random-$shape-1:collide-$shape-1=2" --scale "random-$shape-4:collide-$shape-4=2"
                  --scale "collide-$shape-1:collide-$shape-4=5")
    done
    targets+=(--scale real-50:real-200=5 --queries real-50=2 --queries reports-4=2 --queries lists-4=2
              --queries collide-reports-4=2 --queries collide-lists-4=2)
fi

"$bench" --rounds "$rounds" --csv "$build/bench-results.csv" "${targets[@]}" "${args[@]}" \
    --benchmark-arg --benchmark_repetitions=30 \
    --benchmark-arg --benchmark_enable_random_interleaving=true \
    --benchmark-arg --benchmark_min_time=0.02 |
    tee "$build/bench-results.txt"
