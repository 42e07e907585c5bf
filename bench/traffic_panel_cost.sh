#!/usr/bin/env bash
# What the console's traffic panel costs the link: the real-time run over UDP on 127.0.12.2
# (records pushed and confirmed at full speed), alternating panel closed and panel open, and
# the medians in records per second. Builds a release configuration in build/bench; arguments
# go to traffic_panel_bench (--help lists them). Offscreen unless there is a display.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/release.sh
build_release traffic_panel_bench
offscreen_without_display
exec "$build/bench/traffic_panel_bench" "$@"
