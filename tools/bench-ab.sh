#!/usr/bin/env bash
# Compares two builds on the whole-run benchmark, for changes smaller than the drift of one
# machine between minutes (10-40% on a shared VM): runs alternate A B, B A, ... and the medians
# of each pair's ratios are printed, which the drift mostly cancels out of.
#   tools/bench-ab.sh snapshot DIR     copies the built program and its libraries to DIR
#   tools/bench-ab.sh DIR_A DIR_B [N]  N pairs (default 8) over the bench's 2,000,000-line log
# Run `tools/bench-peers.sh` once first: it generates the log and the project. With `perf`
# installed, the CPU time of each run's two busiest threads (the counting thread, the critical
# path, and the scan thread) is compared too. Environment: BUILD_DIR (default build), CACHE_DIR (default
# $BUILD_DIR/bench-cache).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
CACHE_DIR=$(realpath "${CACHE_DIR:-$BUILD_DIR/bench-cache}")

if [[ ${1:-} == snapshot ]]; then
    [[ -n ${2:-} ]] || { echo "usage: $0 snapshot DIR" >&2; exit 2; }
    mkdir -p "$2"
    cp -a "$BUILD_DIR"/bin/logvane "$BUILD_DIR"/bin/liblogvane-*.so* "$2"/
    echo "snapshot of $BUILD_DIR/bin in $2"
    exit 0
fi
[[ $# -ge 2 ]] || { sed -n '2,10p' "$0" >&2; exit 2; }
A=$(realpath "$1") B=$(realpath "$2") PAIRS=${3:-8}
PROJECT=$CACHE_DIR/logvane-combined-2000000.bvp
[[ -f $PROJECT ]] || { echo "no $PROJECT: run tools/bench-peers.sh first" >&2; exit 1; }
USE_PERF=0
command -v perf >/dev/null && perf record -q -e cpu-clock -o /dev/null true 2>/dev/null && USE_PERF=1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One run of the build in $1: "wall cpu peakKB busiestThreadCpu secondThreadCpu".
run() {
    local dir=$1 threads="0 0"
    local -a cmd=(env HOME="$CACHE_DIR/home" XDG_CONFIG_HOME="$CACHE_DIR/home/.config"
        LD_LIBRARY_PATH="$dir" "$dir/logvane" "$PROJECT" "$WORK/out.bvr")
    if ((USE_PERF)); then
        # perf outside time: the wall time and peak are the program's alone.
        perf record -q -e cpu-clock -F 1000 -o "$WORK/perf.data" \
            /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "${cmd[@]}" >/dev/null 2>&1
        threads=$(perf report -i "$WORK/perf.data" --sort pid --stdio -F sample,pid 2>/dev/null |
            awk '/^ +[0-9]/ { if ($1 > m) { s = m; m = $1 } else if ($1 > s) s = $1 }
                 END { print m / 1000, s / 1000 }')
    else
        /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "${cmd[@]}" >/dev/null
    fi
    awk -v t="$threads" '{ print $1, $2 + $3, $4, t }' "$WORK/time"
    # The report's write-back would otherwise load the next run, which is always the other
    # build's in a pair.
    rm -f "$WORK/out.bvr"
    sync
}

for ((i = 1; i <= PAIRS; ++i)); do
    if ((i % 2)); then a=$(run "$A"); b=$(run "$B"); else b=$(run "$B"); a=$(run "$A"); fi
    echo "$a $b"
done | awk -v perf="$USE_PERF" '
    function median(v, n,   i, j, t) {
        for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    { ++n; wa[n] = $1; wb[n] = $6; wr[n] = $6 / $1; cr[n] = $7 / $2
      if ($3 > pa) pa = $3; if ($8 > pb) pb = $8
      if (perf) { tr[n] = $4 > 0 ? $9 / $4 : 1; sr[n] = $5 > 0 ? $10 / $5 : 1 }
      list = list sprintf(" %.3f", $6 / $1) }
    END {
        printf "wall A %.2f s, B %.2f s; B/A wall %.3f, cpu %.3f", median(wa, n), median(wb, n), median(wr, n), median(cr, n)
        if (perf) printf ", busiest thread %.3f, second thread %.3f", median(tr, n), median(sr, n)
        printf "\npeak A %.1f MiB, B %.1f MiB\nwall ratio of each pair:%s\n", pa / 1024, pb / 1024, list
    }'
