#!/usr/bin/env bash
# Regenerates the golden report files under tests/data/golden/ from the current report
# builders: `tools/update-golden.sh`. Review the diff like code before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/dev-build.sh test-engine-ReportTreeAssembly
LOGVANE_REGENERATE_GOLDEN=1 build/tests/test-engine-ReportTreeAssembly \
  --gtest_filter='*Golden*' >/dev/null || true
build/tests/test-engine-ReportTreeAssembly --gtest_filter='*Golden*'
git status --short tests/data/golden
