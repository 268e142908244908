#!/usr/bin/env bash
# Writes PNG screenshots of the window's main views to a folder (default build/screenshots):
# the report list with a table, a graph, a pie, a nested table, a text page, the progress
# dialog and the error list. The report comes from a batch analysis of a real log.
#   tools/screenshots.sh [folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:-build/screenshots}")
tools/dev-build.sh logvane test-desk-window-Screenshots >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config
log=$root/tests/data/logs/combined/logparser__hackers-access.log
cat >"$work/site.bvp" <<XML
<?xml version="1.0" encoding="windows-1252"?>
<PROJECT version="1" Name="Hackers Blog" DNS="FALSE" DOMAIN="www.example.com" DEFAULTPAGE="index.html">
	<LOGFILES>
		<LOGFILEENTRY Type="LOCAL" Format="AUTO">
			<PATHS><PATH Type="FILE">$log</PATH></PATHS>
		</LOGFILEENTRY>
	</LOGFILES>
</PROJECT>
XML
build/bin/logvane "$work/site.bvp" "$work/site.bvr" >"$work/batch.txt" || {
    cat "$work/batch.txt" >&2
    exit 1
}

mkdir -p "$out"
if [[ -z "${DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then export QT_QPA_PLATFORM=offscreen; fi
LOGVANE_SCREENSHOT_DIR=$out LOGVANE_SCREENSHOT_REPORT=$work/site.bvr \
    build/tests/test-desk-window-Screenshots --gtest_brief=1
echo "screenshots in $out"
ls "$out"
