#!/usr/bin/env bash
# Builds in the shared developer build folder (build/), one build at a time, going on past
# failures in other people's files: `tools/dev-build.sh [targets...]`.
set -uo pipefail
cd "$(dirname "$0")/.."
[[ -f build/CMakeCache.txt ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
exec flock /tmp/logvane-build.lock cmake --build build -j 2 -- -k 0 "$@"
