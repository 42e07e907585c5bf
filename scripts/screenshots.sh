#!/usr/bin/env bash
# Pictures of the console's four pages, its dialogs and its windows, and of the property view
# and its three editors, taken offscreen against a scripted terminal, into build/shots/pictures
# for review. With --readme, the General page and the loaded property view also become the
# README's pictures, docs/console.png, docs/console-traffic.png (the traffic panel open) and
# docs/property-view.png.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/shots
scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target console_screenshots >/dev/null
"$build/tests/gui/console_screenshots" "$build/pictures"
if [ "${1:-}" = "--readme" ]; then
    mkdir -p docs
    cp "$build/pictures/main-0.png" docs/console.png
    cp "$build/pictures/main-traffic.png" docs/console-traffic.png
    cp "$build/pictures/property-view.png" docs/property-view.png
    echo "updated docs/console.png, docs/console-traffic.png and docs/property-view.png"
fi
