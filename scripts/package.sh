#!/usr/bin/env bash
# Builds the Debian package build/package/kelvra_<version>_amd64.deb: a Release build without
# sanitizers, with Debian's hardening flags, stripped, with the programs' man pages, the desktop
# entry and the icon, and the collector's systemd unit and configuration. Then checks it: the desktop entry validates, the contents hold every
# file, the programs taken out of the package print their --help (the console without a
# display), and lintian finds no error. Install it with `apt-get install ./build/package/...`.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package

scripts/install-deps.sh dpkg-dev file binutils lintian desktop-file-utils

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVRA_SANITIZE=OFF \
    -DKELVRA_BUILD_TESTS=OFF -DKELVRA_BUILD_BENCH=OFF -DKELVRA_BUILD_FUZZ=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build"
rm -f "$build"/kelvra_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kelvra_*_amd64.deb)
echo "== $deb"
dpkg-deb --field "$deb"

echo "== desktop entry"
desktop-file-validate packaging/kelvra-console.desktop && echo "valid"

echo "== contents"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"
for path in /usr/bin/kelvra-console /usr/bin/kelvra-sim /usr/bin/kelvractl \
    /usr/bin/kelvra-collector /usr/share/man/man1/kelvra-collector.1.gz \
    /lib/systemd/system/kelvra-collector.service /etc/kelvra/collector.ini \
    /usr/share/man/man1/kelvra-console.1.gz /usr/share/man/man1/kelvra-sim.1.gz \
    /usr/share/man/man1/kelvractl.1.gz /usr/share/applications/kelvra-console.desktop \
    /usr/share/icons/hicolor/scalable/apps/kelvra-console.svg /usr/share/doc/kelvra/copyright \
    /usr/share/doc/kelvra/changelog.gz; do
    grep -q " \.${path}\$" <<<"$contents" || { echo "missing from the package: $path" >&2; exit 1; }
done

echo "== --help of the packaged programs"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
for program in kelvra-console kelvra-sim kelvractl kelvra-collector; do
    # No display and no platform chosen: --help must not need one.
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$unpacked/usr/bin/$program" --help)
    head -n 2 <<<"$help"
done

echo "== lintian"
# Ends the script on an error; warnings and notes are printed for reading.
lintian --display-info --fail-on error "$deb"
echo "lintian: no errors"
