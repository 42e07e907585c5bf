#!/usr/bin/env bash
# Cold start of the console (process start to main window shown) and its resident memory
# after start, over several runs. Builds a release configuration in build/bench. Uses the
# display when there is one and the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/release.sh
runs=${RUNS:-5}
build_release console_startup_bench
offscreen_without_display

echo "console start-up, $runs runs (platform: ${QT_QPA_PLATFORM:-default}); targets < 500 ms, < 80 MB"
for run in $(seq "$runs"); do
    started=$(date +%s%N)
    output=$("$build/bench/console_startup_bench" 2>/dev/null)
    shown=$(sed -n 's/^shown_ns //p' <<<"$output")
    rss=$(sed -n 's/^rss_kb //p' <<<"$output")
    awk -v run="$run" -v started="$started" -v shown="$shown" -v rss="$rss" 'BEGIN {
        printf "run %d: start to window shown %6.1f ms, resident memory %6.1f MB\n",
               run, (shown - started) / 1e6, rss / 1024 }'
done
