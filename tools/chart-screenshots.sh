#!/usr/bin/env bash
# Renders one chart of every kind (line, area, bar, side bar, pie) as PNG, GIF and SVG into a
# folder for people to look at: `tools/chart-screenshots.sh [folder]` (default build/chart-shots).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/chart-shots}
mkdir -p "$out"
tools/dev-build.sh test-engine-GraphicsServerGraph
LOGVANE_CHART_SHOTS=$(realpath "$out") build/tests/test-engine-GraphicsServerGraph \
  --gtest_filter='Kinds/DrawsEveryKind.ToPngGifAndSvgAt600By400/*' >/dev/null
ls "$out"
