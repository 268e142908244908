#!/usr/bin/env bash
# Commits only the given paths, one committer at a time: `tools/dev-commit.sh "message" paths...`.
set -euo pipefail
cd "$(dirname "$0")/.."
msg=$1; shift
exec flock /tmp/logvane-git.lock bash -c 'git add -- "$@" && git commit -q -m "$0" -- "$@"' "$msg" "$@"
