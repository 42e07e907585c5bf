#!/usr/bin/env bash
# The driver's link figures against the in-process simulator on loopback (127.0.0.20 to
# 127.0.0.31): command round trips over UDP, TCP and a pseudo-terminal, processor time while a
# command waits out its time-out and record downloads, each with wake-on-reply off and on, and
# real-time mode throughput with the confirmation handshake. Builds a release configuration in build/bench;
# arguments go to link_bench (--help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/release.sh
build_release link_bench
exec "$build/bench/link_bench" "$@"
