#!/usr/bin/env bash
# kelvra-collector against 100 simulated terminals on loopback addresses of this run's own:
# 60 s of pushes every 50 ms per terminal into SQLite (records lost and duplicated,
# push-to-commit latency, processor time, resident memory), 30 s idle, and the catch-up of
# 1,000 unread records per terminal. SECONDS_LOAD=N shortens the load phase. Builds a release
# configuration in build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/release.sh
build_release collector_fleet_bench
cmake --build "$build" -j2 --target kelvra-collector >/dev/null
"$build/bench/collector_fleet_bench" "$build/src/collector/kelvra-collector" "${SECONDS_LOAD:-60}"
