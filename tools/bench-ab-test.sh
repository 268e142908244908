#!/usr/bin/env bash
# Checks tools/bench-ab.sh against two stand-in builds whose run times and memory are known:
# the ratios, the peaks, the pairs' order and the usage errors. Runs in about ten seconds:
#   tools/bench-ab-test.sh
set -uo pipefail
cd "$(dirname "$0")/.."
SCRIPT=$PWD/tools/bench-ab.sh
source tools/script-checks.sh

# A build folder whose "logvane" holds MIB of memory for SECONDS and logs the order of calls.
stand_in() {  # stand_in DIR SECONDS MIB
    mkdir -p "$1"
    cat >"$1/logvane" <<EOF
#!/usr/bin/env bash
echo "$(basename "$1")" >>"$WORK/order"
/usr/bin/python3 -S -c "import time; b = b'x' * ($3 << 20); time.sleep($2)"
EOF
    chmod +x "$1/logvane"
}

mkdir -p "$WORK/cache"
touch "$WORK/cache/logvane-combined-2000000.bvp"
stand_in "$WORK/a" 0.4 30
stand_in "$WORK/b" 0.8 60
out=$(CACHE_DIR=$WORK/cache "$SCRIPT" "$WORK/a" "$WORK/b" 3 2>&1)
check "B takes twice A's wall time" 'B/A wall (1\.9[0-9]|2\.[01][0-9])' "$out"
check "the peaks are each build's" 'peak A (3[0-9]|4[0-9])\.[0-9] MiB, B (6[0-9]|7[0-9])\.[0-9] MiB' "$out"
check "one ratio per pair" 'pair: [0-9.]+ [0-9.]+ [0-9.]+$' "$out"
check "pairs alternate which build runs first" '^a b b a a b$' "$(tr '\n' ' ' <"$WORK/order" | sed 's/ $//')"

out=$(CACHE_DIR=$WORK/nowhere "$SCRIPT" "$WORK/a" "$WORK/b" 1 2>&1)
check "a missing bench project says how to make it" 'run tools/bench-peers.sh first' "$out"
out=$("$SCRIPT" snapshot 2>&1)
check "snapshot without a folder prints its usage" 'usage: .* snapshot DIR' "$out"

finish
