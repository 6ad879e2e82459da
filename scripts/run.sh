#!/usr/bin/env bash
# Installs what is missing, builds DADiz and starts it against a simulated
# display: COM1 is mapped to the simulator in a private settings folder, so
# the user's own port map is left alone. For real devices use run-real.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=build bash scripts/build.sh

demo=$(mktemp -d "${TMPDIR:-/tmp}/dadiz-demo.XXXXXX")
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$demo"
}
trap cleanup EXIT

./build/tools/dadiz-sim --link "$demo/ttyDISPLAY" >"$demo/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$demo/ttyDISPLAY" ] && break; sleep 0.1; done
if [ ! -e "$demo/ttyDISPLAY" ]; then
  echo "run: the simulated display did not start" >&2
  exit 1
fi
mkdir -p "$demo/config/DADiz"
printf '[Ports]\nCOM1=%s\n' "$demo/ttyDISPLAY" >"$demo/config/DADiz/DADiz.conf"
echo "run: simulated display at address 00 on COM1 ($(head -n1 "$demo/sim.out"))"
XDG_CONFIG_HOME="$demo/config" ./build/dadiz
