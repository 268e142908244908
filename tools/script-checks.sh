# The checks the tools' own test scripts share, sourced by them: a work folder removed at exit
# (kept with KEEP=1), check, and the summary and exit status of finish.
WORK=$(mktemp -d)
trap '[[ -n "${KEEP:-}" ]] || rm -rf "$WORK"' EXIT
failures=0

check() {  # check NAME PATTERN TEXT: TEXT must contain a line matching PATTERN
    if grep -Eq -- "$2" <<<"$3"; then
        echo "ok   $1"
    else
        echo "FAIL $1: no line matching /$2/ in:"
        sed 's/^/     /' <<<"$3"
        failures=$((failures + 1))
    fi
}

finish() {
    [[ $failures -eq 0 ]] && echo "all passed" || echo "$failures failed"
    exit $((failures > 0))
}
