#!/usr/bin/env bash
# The demo: installs what is missing, builds the console and the simulator, starts kelvra-sim
# on loopback (UDP and TCP on 127.0.0.1:1001, the interface module on 65535, a
# pseudo-terminal behind COM1) and the console with a settings folder of its own under
# build/run, so "Establish Connection" reaches the simulator at once. Closing the console
# stops the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/run
settings="$PWD/$build/demo-settings"
address=127.0.0.1
port=1001

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_TESTS=OFF \
    -DKELVRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target kelvra-console kelvra-sim

endpoints=$(mktemp)
# The console logs in with an empty password, so the demo terminal takes one.
"$build/simulator/kelvra-sim" --bind "$address" --udp-port "$port" --tcp-port "$port" \
    --module-port 65535 --serial --password "" >"$endpoints" 2>&1 &
simulator=$!
stop_simulator() {
    kill "$simulator" 2>/dev/null || true
    wait "$simulator" 2>/dev/null || true
    rm -f "$endpoints"
}
trap stop_simulator EXIT

# The simulator prints one line per endpoint once they are open; wait for them, bounded.
for _ in $(seq 100); do
    grep -q '^serial ' "$endpoints" && break
    if ! kill -0 "$simulator" 2>/dev/null; then
        cat "$endpoints" >&2
        echo "kelvra-sim did not start (port $port below 1024 needs root or" \
            "CAP_NET_BIND_SERVICE; is another simulator running?)" >&2
        exit 1
    fi
    sleep 0.1
done
cat "$endpoints"
serial=$(sed -n 's/^serial //p' "$endpoints")
[ -n "$serial" ] || { echo "kelvra-sim printed no serial endpoint" >&2; exit 1; }

# The demo's own settings: the simulator's address, and its pseudo-terminal as COM1.
mkdir -p "$settings"
cat >"$settings/user.ini" <<INI
[usKelvra]
Connection\\IP=$address
SerialPorts\\COM1=$serial
INI

KELVRA_SETTINGS_DIR="$settings" "$build/src/app/kelvra-console"
