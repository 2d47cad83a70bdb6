#!/usr/bin/env bash
# Whether a change moved the load: two builds of kolt-bench (before and after the change)
# load the same file alternately, one round each, ROUNDS times (default 21). Prints the
# medians of each build's load/floor ratio and of the per-round ratios after/before, in
# processor time: figures measured side by side, which the machine's load affects alike.
#
#   bench/compare-builds.sh BEFORE/bench/kolt-bench AFTER/bench/kolt-bench FILE [ROUNDS]
set -euo pipefail
if [[ $# -lt 3 || $# -gt 4 ]]; then
    sed -n '2,7p' "$0" >&2
    exit 64
fi
before=$1 after=$2 file=$3 rounds=${4:-21}

# "load/floor load-ms" of one round of one build.
measure() {
    "$1" --rounds 1 --no-libxml2 --verbose "f=$file" | awk '/f floor:/ { f = $3 } /f load:/ { l = $3 } END { print l / f, l }'
}
for ((r = 1; r <= rounds; ++r)); do
    if ((r % 2)); then
        b=$(measure "$before") a=$(measure "$after")
    else
        a=$(measure "$after") b=$(measure "$before")
    fi
    echo "$b $a"
done | python3 -c '
import statistics, sys
rows = [[float(x) for x in line.split()] for line in sys.stdin if line.strip()]
median = lambda values: statistics.median(list(values))
print("rounds: %d" % len(rows))
print("load/floor: before %.3f, after %.3f" % (median(r[0] for r in rows), median(r[2] for r in rows)))
print("after/before per round: load/floor %.3f, load time %.3f"
      % (median(r[2] / r[0] for r in rows), median(r[3] / r[1] for r in rows)))
'
