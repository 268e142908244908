#!/usr/bin/env bash
# Whole-run benchmark of Logvane against the open-source analyzers, run as black boxes:
#   tools/bench-peers.sh                  2,000,000-line combined log: table and targets
#   LINES=10000000 tools/bench-peers.sh   Logvane's peak memory at 2,000,000 and LINES lines
# Environment: RUNS (default 3), BUILD_DIR (default build), CACHE_DIR (default
# $BUILD_DIR/bench-cache). Generated logs, configurations and settings stay in the cache
# folder and are reused. Exits 1 when a tool fails, not when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
CACHE_DIR=${CACHE_DIR:-$BUILD_DIR/bench-cache}
RUNS=${RUNS:-3}
LINES=${LINES:-2000000}
BASE_LINES=2000000
SPEED_RATIO_TARGET=2       # Logvane at least this many times faster than Analog
MEMORY_TARGET_MIB=128      # and below this peak, and below both peers' peaks
GROWTH_LIMIT=2.0           # peak(LINES) / peak(2M) at most this (linear would be LINES / 2M)

LOGVANE=$(realpath -m "$BUILD_DIR/bin/logvane")
GENERATOR=$BUILD_DIR/bench/bench-log_generator

die() { echo "bench-peers: $*" >&2; exit 1; }
note() { echo "note: $*"; }

[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$RUNS'"
[[ "$LINES" =~ ^[1-9][0-9]*$ ]] || die "LINES must be a positive number, not '$LINES'"
[[ -x "$LOGVANE" ]] || die "$BUILD_DIR/bin/logvane is missing; build it first"
[[ -x "$GENERATOR" ]] || die "$GENERATOR is missing; build bench-log_generator first"
mkdir -p "$CACHE_DIR"
CACHE_DIR=$(realpath "$CACHE_DIR")

# ---- tools ----

apt_install() {
    if [[ $(id -u) -ne 0 ]]; then
        return 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >"$CACHE_DIR/apt.log" 2>&1 ||
        { apt-get update -q >>"$CACHE_DIR/apt.log" 2>&1 &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >>"$CACHE_DIR/apt.log" 2>&1; }
}

# Installs the Debian package `package` when `command` is missing; false when it stays missing.
ensure_tool() {
    local command=$1 package=$2
    command -v "$command" >/dev/null 2>&1 && return 0
    if apt_install "$package" && command -v "$command" >/dev/null 2>&1; then
        return 0
    fi
    if [[ $(id -u) -ne 0 ]]; then
        note "$command is not installed and installing needs root; skipping it"
    else
        note "installing $package failed (see $CACHE_DIR/apt.log); skipping it"
    fi
    return 1
}

[[ -x /usr/bin/time ]] || ensure_tool /usr/bin/time time || die "/usr/bin/time is needed"

# ---- inputs ----

# Prints the path of the generated combined log of `lines` lines, generating it once.
log_file() {
    local lines=$1 file=$CACHE_DIR/combined-$1.log
    if [[ ! -s "$file" ]]; then
        echo "generating $lines lines into $file" >&2
        "$GENERATOR" combined "$lines" "$file.part" >&2 || die "the log generator failed"
        mv "$file.part" "$file"
    fi
    echo "$file"
}

# Prints the path of a batch project over `log`: host-name lookups off, every report on.
logvane_project() {
    local log=$1 project=$CACHE_DIR/logvane-$(basename "$1" .log).bvp
    cat >"$project" <<EOF
<?xml version="1.0" encoding="windows-1252"?>
<PROJECT version="1" date="01/01/2024" Name="Bench" DNS="TRUE" DOMAIN="www.example-shop.com" DEFAULTPAGE="index.html">
	<LOGFILES>
		<LOGFILEENTRY Type="LOCAL" Format="ELF">
			<PATHS>
				<PATH Type="FILE">$log</PATH>
			</PATHS>
		</LOGFILEENTRY>
	</LOGFILES>
</PROJECT>
EOF
    echo "$project"
}

# Analog's configuration: exactly the minimal one, plus the log to read.
analog_config() {
    local log=$1 config=$CACHE_DIR/analog-$(basename "$1" .log).cfg
    printf 'LOGFILE %s\nDEFAULTLOGFORMAT COMBINED\nDNS NONE\nOUTFILE %s\n' \
        "$log" "$CACHE_DIR/analog-report.html" >"$config"
    echo "$config"
}

# Logvane reads and refreshes its settings in a folder of its own, never the user's; the shipped
# settings have IP-to-country on.
run_logvane() {
    HOME="$CACHE_DIR/home" XDG_CONFIG_HOME="$CACHE_DIR/home/.config" \
        "$LOGVANE" "$1" "$CACHE_DIR/logvane-report.bvr"
}
run_analog() { analog -G "+g$1"; }
run_goaccess() {
    goaccess "$1" --log-format=COMBINED --no-global-config --no-progress \
        -o "$CACHE_DIR/goaccess-report.html"
}

# ---- measuring ----

# Runs one tool once; appends "seconds kib" to the tool's sample file. A tool that fails
# ends the benchmark: its time would mean nothing. /usr/bin/time cannot run a shell function,
# so the run functions are exported to a child bash (its start-up is part of every tool's time).
export -f run_logvane run_analog run_goaccess
export CACHE_DIR LOGVANE
measure() {
    local tool=$1 arg=$2 samples=$CACHE_DIR/samples-$1 out=$CACHE_DIR/last-$1.out
    if ! /usr/bin/time -f "%e %M" -o "$CACHE_DIR/time.out" \
        bash -c "run_$tool \"\$1\"" _ "$arg" >"$out" 2>&1; then
        tail -n 20 "$out" >&2
        die "$tool failed (output in $out)"
    fi
    tail -n 1 "$CACHE_DIR/time.out" >>"$samples"
    # A tool's report is written back to disk after it exits: without waiting for that here,
    # the write-back of Logvane's 78 MB report would load the next tool's run.
    sync
}

# Median of column `column` of a sample file (the upper middle one for an even count).
median() {
    sort -g -k"$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int(NR / 2) + 1] }'
}

# One untimed Logvane run before the first round of the script: it installs Logvane's settings and IP
# database once, as any later run of a user finds them, and with reading `log` it warms the
# page cache for every tool.
WARMED=0
warm_up() {
    cat "$1" >/dev/null
    ((WARMED)) && return 0
    measure logvane "$(logvane_project "$1")"
    rm -f "$CACHE_DIR/samples-logvane"
    WARMED=1
}

# Runs the tools in turn, RUNS rounds, so that load from elsewhere falls on all of them alike.
run_rounds() {
    local tool round
    for tool in "${TOOLS[@]}"; do rm -f "$CACHE_DIR/samples-$tool"; done
    for ((round = 1; round <= RUNS; round++)); do
        for tool in "${TOOLS[@]}"; do
            measure "$tool" "${ARGS[$tool]}"
            printf '  round %d %-8s %s\n' "$round" "$tool" "$(tail -n 1 "$CACHE_DIR/samples-$tool")"
        done
    done
}

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

print_load() { echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"; }

# ---- the growth check: Logvane alone at 2M and LINES lines ----

if [[ "$LINES" != "$BASE_LINES" ]]; then
    declare -A ARGS
    TOOLS=(logvane)
    print_load
    declare -A PEAK SECS
    for lines in "$BASE_LINES" "$LINES"; do
        log=$(log_file "$lines")
        ARGS[logvane]=$(logvane_project "$log")
        warm_up "$log"
        echo "Logvane over $lines lines, $RUNS runs:"
        run_rounds
        PEAK[$lines]=$(median "$CACHE_DIR/samples-logvane" 2)
        SECS[$lines]=$(median "$CACHE_DIR/samples-logvane" 1)
    done
    print_load
    printf '\n%-12s %10s %12s %10s\n' lines seconds lines/s "peak MiB"
    for lines in "$BASE_LINES" "$LINES"; do
        printf '%-12s %10s %12.0f %10s\n' "$lines" "${SECS[$lines]}" \
            "$(awk -v n="$lines" -v s="${SECS[$lines]}" 'BEGIN { print n / s }')" \
            "$(mib "${PEAK[$lines]}")"
    done
    growth=$(awk -v a="${PEAK[$BASE_LINES]}" -v b="${PEAK[$LINES]}" 'BEGIN { printf "%.2f", b / a }')
    linear=$(awk -v a="$BASE_LINES" -v b="$LINES" 'BEGIN { printf "%.2f", b / a }')
    verdict=$(awk -v g="$growth" -v l="$GROWTH_LIMIT" 'BEGIN { print (g <= l) ? "MET" : "NOT MET" }')
    echo
    echo "peak memory grows ${growth}x for ${linear}x the lines (target: at most ${GROWTH_LIMIT}x): $verdict"
    exit 0
fi

# ---- the comparison at 2M lines ----

LOG=$(log_file "$LINES")
declare -A ARGS=([logvane]=$(logvane_project "$LOG"))
TOOLS=(logvane)
if ensure_tool analog analog; then
    TOOLS+=(analog)
    ARGS[analog]=$(analog_config "$LOG")
fi
if ensure_tool goaccess goaccess; then
    TOOLS+=(goaccess)
    ARGS[goaccess]=$LOG
fi

print_load
echo "$LINES-line combined log ($(du -m "$LOG" | cut -f1) MB), $RUNS runs of: ${TOOLS[*]}"
warm_up "$LOG"
run_rounds
print_load

declare -A MEDIAN PEAK
for tool in "${TOOLS[@]}"; do
    MEDIAN[$tool]=$(median "$CACHE_DIR/samples-$tool" 1)
    PEAK[$tool]=$(median "$CACHE_DIR/samples-$tool" 2)
done

echo
printf '%-10s %10s %12s %10s %18s\n' tool "median s" lines/s "peak MiB" "time / Logvane"
for tool in "${TOOLS[@]}"; do
    printf '%-10s %10s %12.0f %10s %17.2fx\n' "$tool" "${MEDIAN[$tool]}" \
        "$(awk -v n="$LINES" -v s="${MEDIAN[$tool]}" 'BEGIN { print (s > 0) ? n / s : 0 }')" \
        "$(mib "${PEAK[$tool]}")" \
        "$(awk -v t="${MEDIAN[$tool]}" -v l="${MEDIAN[logvane]}" 'BEGIN { print (l > 0) ? t / l : 0 }')"
done

echo
if [[ -n "${MEDIAN[analog]:-}" ]]; then
    speed=$(awk -v a="${MEDIAN[analog]}" -v l="${MEDIAN[logvane]}" 'BEGIN { printf "%.2f", a / l }')
    verdict=$(awk -v s="$speed" -v t="$SPEED_RATIO_TARGET" 'BEGIN { print (s >= t) ? "MET" : "NOT MET" }')
    echo "speed:  Logvane is ${speed}x Analog's speed (target: at least ${SPEED_RATIO_TARGET}x): $verdict"
else
    echo "speed:  not checked, Analog did not run"
fi
peak_mib=$(mib "${PEAK[logvane]}")
memory_ok=$(awk -v p="${PEAK[logvane]}" -v t="$MEMORY_TARGET_MIB" 'BEGIN { print (p <= t * 1024) }')
for tool in analog goaccess; do
    [[ -n "${PEAK[$tool]:-}" ]] || continue
    ((PEAK[logvane] < PEAK[$tool])) || memory_ok=0
done
verdict=$([[ $memory_ok == 1 ]] && echo MET || echo "NOT MET")
echo "memory: Logvane peaks at $peak_mib MiB (target: at most $MEMORY_TARGET_MIB MiB and below each peer): $verdict"
