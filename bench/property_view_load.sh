#!/usr/bin/env bash
# The property view's load of a 100-item terminal from the in-process simulator on 127.0.0.40
# over UDP, from the press of "Property View" to "On-Line", against its lower bound (the 50 ms
# reply passes and 10 ms pauses it must wait), and the resident memory with the grid full.
# Builds a release configuration in build/bench. The argument is the number of runs (default
# 3). Uses the display when there is one and the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/release.sh
build_release property_view_load_bench
offscreen_without_display
exec "$build/bench/property_view_load_bench" "${1:-3}"
