# Sourced by the benchmark scripts, from the project folder: builds one benchmark program in
# the release configuration build/bench, and has Qt draw offscreen when there is no display.
build=build/bench

build_release() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target "$1" >/dev/null
}

offscreen_without_display() {
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        export QT_QPA_PLATFORM=offscreen
    fi
}
