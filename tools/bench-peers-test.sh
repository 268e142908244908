#!/usr/bin/env bash
# Checks tools/bench-peers.sh against stand-in tools whose times and memory are known: medians,
# verdicts, the growth mode, a failing tool and a missing peer. Runs in a few seconds:
#   tools/bench-peers-test.sh
set -uo pipefail
cd "$(dirname "$0")/.."
SCRIPT=$PWD/tools/bench-peers.sh
source tools/script-checks.sh

in_range() {  # in_range NAME TOOL LOW HIGH TEXT: the tool's median lies in [LOW, HIGH)
    local value
    value=$(awk -v t="$2" '$1 == t { print $2 }' <<<"$5")
    if awk -v v="$value" -v l="$3" -v h="$4" 'BEGIN { exit !(v != "" && v >= l && v < h) }'; then
        echo "ok   $1"
    else
        echo "FAIL $1: $2's median '$value' is outside [$3, $4)"
        failures=$((failures + 1))
    fi
}

# A stand-in that takes the next of its listed times (in seconds) on each call, holds MiB of
# memory while it waits, and exits with `status`.
stand_in() {  # stand_in PATH MIB STATUS TIME...
    local path=$1 mib=$2 status=$3
    shift 3
    cat >"$path" <<EOF
#!/usr/bin/env bash
n=\$(cat "$path.calls" 2>/dev/null || echo 0); echo \$((n + 1)) >"$path.calls"
times=($*); t=\${times[n % \${#times[@]}]}
/usr/bin/python3 -S -c "import time; b = b'x' * ($mib << 20); time.sleep(\$t)" || exit 97
exit $status
EOF
    chmod +x "$path"
}

# A build folder with a stand-in Logvane and generator, and peers on a PATH of their own.
setup() {  # setup LOGVANE_MIB LOGVANE_STATUS LOGVANE_TIMES... -- ANALOG_TIMES...
    rm -rf "$WORK/build" "$WORK/path"
    mkdir -p "$WORK/build/bin" "$WORK/build/bench" "$WORK/path"
    cat >"$WORK/build/bench/bench-log_generator" <<'EOF'
#!/usr/bin/env bash
for ((i = 0; i < 10; i++)); do echo "1.2.3.4 - - line $i"; done >"$3"
EOF
    chmod +x "$WORK/build/bench/bench-log_generator"
    local mib=$1 status=$2 logvane=() analog=()
    shift 2
    while [[ $# -gt 0 && $1 != -- ]]; do logvane+=("$1"); shift; done
    shift
    analog=("$@")
    stand_in "$WORK/build/bin/logvane" "$mib" "$status" "${logvane[@]}"
    if [[ ${#analog[@]} -gt 0 ]]; then
        stand_in "$WORK/path/analog" 60 0 "${analog[@]}"
        stand_in "$WORK/path/goaccess" 40 0 1.0
    fi
    # The peers must come only from the stand-ins' folder; the tools the script uses stay.
    for tool in bash cat sort awk tail cut du mv rm mkdir realpath basename nproc \
        dirname printf grep sed id sync; do
        ln -sf "$(command -v "$tool")" "$WORK/path/$tool"
    done
}

bench() { PATH=$WORK/path BUILD_DIR=$WORK/build "$SCRIPT" 2>&1; }

# Logvane: the 1st call is the untimed warm-up, then 1.2, 0.1, 0.4: the median is 0.4 (plus
# start-up). Analog: 1.5, 2.4, 0.2: the median is 1.5.
setup 10 0 0.0 1.2 0.1 0.4 -- 1.5 2.4 0.2
out=$(RUNS=3 bench)
in_range "Logvane's median is the middle run" logvane 0.4 0.7 "$out"
in_range "Analog's median is the middle run" analog 1.5 1.9 "$out"
check "over twice Analog's speed meets the speed target" 'speed: .*: MET' "$out"
check "less memory than every peer and below 128 MiB meets the memory target" \
    'memory: .*: MET' "$out"

setup 10 0 0.0 0.5 -- 0.6
out=$(RUNS=1 bench)
check "1.2 times Analog's speed misses the speed target" 'speed: .*: NOT MET' "$out"

setup 50 0 0.0 0.1 -- 0.6
out=$(RUNS=1 bench)
check "more memory than GoAccess misses the memory target" 'memory: .*: NOT MET' "$out"

setup 10 3 0.0 0.1 -- 0.6
out=$(RUNS=1 bench)
status=$?
check "a failing Logvane ends the benchmark" 'logvane failed' "$out"
[[ $status -ne 0 ]] && echo "ok   a failing run exits non-zero" ||
    { echo "FAIL a failing run exited 0"; failures=$((failures + 1)); }

setup 10 0 0.0 0.1 --
out=$(RUNS=1 bench)
check "without Analog the speed target is not checked" 'speed: +not checked' "$out"

setup 10 0 0.0 0.1 --
out=$(RUNS=1 LINES=30 bench)
check "the growth mode compares peak memory at both sizes" \
    'peak memory grows [01]\.[0-9]+x for 0\.00x the lines .*: MET' "$out"

finish
