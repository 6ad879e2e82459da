#!/usr/bin/env bash
# Installs what is missing, builds DADiz and runs dadiz-bridge against eight
# simulated displays (addresses 1 to 8, ramping) with the example
# configuration, publishing to the broker on 127.0.0.1:1883 (a private
# mosquitto when none listens there) and serving Modbus TCP on port 1502.
# Watch it with: mosquitto_sub -t 'dadiz/#' -v
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=build bash scripts/build.sh

demo=$(mktemp -d "${TMPDIR:-/tmp}/dadiz-bridge-demo.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$demo"
}
trap cleanup EXIT
trap "exit 130" INT
trap "exit 143" TERM

if ! (exec 3<>/dev/tcp/127.0.0.1/1883) 2>/dev/null; then
  printf 'listener 1883 127.0.0.1\nallow_anonymous true\n' >"$demo/mosquitto.conf"
  mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)
  "$mosquitto" -c "$demo/mosquitto.conf" 2>"$demo/mosquitto.log" &
  pids+=($!)
  echo "run-bridge: a private broker on 127.0.0.1:1883"
fi
./build/tools/dadiz-sim --bus 1,2,3,4,5,6,7,8 --ramp --link "$demo/ttyDADIZ" >"$demo/sim.out" &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/ttyDADIZ" ] && break; sleep 0.1; done
if [ ! -e "$demo/ttyDADIZ" ]; then
  echo "run-bridge: the simulated displays did not start" >&2
  exit 1
fi
sed "s,^Device=.*,Device=$demo/ttyDADIZ," packaging/bridge.conf >"$demo/bridge.conf"
echo "run-bridge: displays 1 to 8 on $(head -n1 "$demo/sim.out"); Ctrl+C ends it"
./build/tools/dadiz-bridge --config "$demo/bridge.conf" &
pids+=($!)
wait "${pids[-1]}"
