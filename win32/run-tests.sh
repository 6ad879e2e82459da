#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a private prefix inside the
# build folder: COM1 and COM2 are two dadiz-sim displays on pseudo-terminals,
# COM1 answering at the pace of 9600 baud.
# COM2's simulator is killed once the test has opened it, to see the line lost.
# usage: win32/run-tests.sh WIN32_BUILD_DIR DADIZ_SIM
set -euo pipefail
build=$(realpath "$1")
sim=$(realpath "$2")
tests=$build/dadiz-win32-tests.exe
[ -x "$sim" ] && [ -f "$tests" ] || { echo "run-tests: need $tests and $sim" >&2; exit 2; }

wine=
for w in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  [ -n "$w" ] && [ -x "$w" ] && { wine=$w; break; }
done
[ -n "$wine" ] || { echo "run-tests: Wine is not installed (scripts/setup.sh installs wine64)" >&2; exit 2; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
dlls=
for d in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/lib64/wine/x86_64-windows; do
  [ -f "$d/kernel32.dll" ] && { dlls=$d; break; }
done
[ -n "$dlls" ] || { echo "run-tests: Wine's 64-bit DLLs are not found" >&2; exit 2; }

run=$build/wine-run
prefix=$build/wine-prefix
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  WINEPREFIX=$prefix "$wineserver" -k >>"$run/wine.log" 2>&1 || true
}
trap cleanup EXIT
rm -rf "$run" "$prefix"
mkdir -p "$run/scratch"

# A prefix without wineboot: Wine's own DLLs linked into system32, the two
# COM ports and the drives, nothing else. wineboot would copy some 700 MB of
# DLLs and start services, among them one that maps COM ports to the
# machine's /dev/ttyS* on its own.
start=$(date +%s%N)
mkdir -p "$prefix/dosdevices" "$prefix/drive_c/windows/system32"
echo disable >"$prefix/.update-timestamp"
ln -s "$dlls"/* "$prefix/drive_c/windows/system32/"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
ln -s "$run/com1" "$prefix/dosdevices/com1"
ln -s "$run/com2" "$prefix/dosdevices/com2"
echo "wine prefix made in $(( ($(date +%s%N) - start) / 1000000 )) ms, $(du -sk "$prefix" | cut -f1) KB"

cc -shared -fPIC -O2 -Wall -o "$run/wine-pty-modem.so" "$(dirname "$0")/wine-pty-modem.c" -ldl

"$sim" --log --baud 9600 --link "$run/com1" >"$run/sim1.out" 2>"$run/sim1.log" &
pids+=($!)
"$sim" --link "$run/com2" >"$run/sim2.out" 2>"$run/sim2.log" &
sim2=$!
pids+=($sim2)
for _ in $(seq 100); do
  [ -e "$run/com1" ] && [ -e "$run/com2" ] && break
  sleep 0.1
done
[ -e "$run/com1" ] && [ -e "$run/com2" ] || { echo "run-tests: dadiz-sim did not start" >&2; exit 1; }

# COM2 goes away once the test holds it open.
( for _ in $(seq 1200); do [ -e "$run/com2-open" ] && break; sleep 0.1; done; kill "$sim2" 2>/dev/null ) &
pids+=($!)

status=0
env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$prefix" WINEDEBUG=-all LD_PRELOAD="$run/wine-pty-modem.so" \
  DADIZ_SIM_LOG="Z:$run/sim1.log" DADIZ_LOST_MARK="Z:$run/com2-open" DADIZ_SCRATCH="Z:$run/scratch" DADIZ_LINE=wine-pty \
  timeout 600 "$wine" "$tests" 2>>"$run/wine.log" || status=$?
if [ "$status" -ne 0 ]; then
  echo "run-tests: failed ($status); Wine's messages:" >&2
  tail -n 40 "$run/wine.log" >&2
fi
exit "$status"
