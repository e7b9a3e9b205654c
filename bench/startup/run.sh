#!/usr/bin/env bash
# Launches the start-up benchmark five times under Xvfb and prints each run and the medians, in milliseconds:
# launch -> splash on the screen, and splash tick -> game window painted.
#   bench/startup/run.sh [BUILD_DIR]   (default: build-test, as scripts/test builds it)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build-test}
bench="$build/bin/startup_bench"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="qt.webenginecontext.info=false"

results=$(xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp -noreset" bash -c '
    for run in 1 2 3 4 5; do
        "$1" "$(date +%s%N)" 2>/dev/null
    done' _ "$bench")
echo "$results"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "median over 5 runs: launch -> splash $(echo "$results" | cut -d' ' -f1 | median) ms," \
    "tick -> game window $(echo "$results" | cut -d' ' -f2 | median) ms"
