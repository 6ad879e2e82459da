#!/usr/bin/env bash
# Checks the Debian package made by scripts/package.sh: unpacked into a
# throw-away folder (nothing is installed on the machine), it must hold exactly
# the installed files, valid desktop metadata, and programs that run from there.
#   tests/package/test_package.sh [PACKAGE.deb]   (default: dist/dadiz_<version>_<arch>.deb)
set -euo pipefail
cd "$(dirname "$0")/../.."

id=cat.dadiz.DADiz
version=$(sed -n 's/^project(DADiz VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb=${1:-dist/dadiz_${version}_${arch}.deb}
[ -f "$deb" ] || { echo "package test: no package $deb; make it with scripts/package.sh" >&2; exit 1; }
failures=0
fail() {
  echo "package test: $*" >&2
  failures=$((failures + 1))
}

root=$(mktemp -d "${TMPDIR:-/tmp}/dadiz-package.XXXXXX")
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT

[ "$(basename "$deb")" = "dadiz_${version}_${arch}.deb" ] || fail "file name $(basename "$deb"), expected dadiz_${version}_${arch}.deb"

# Control fields; Depends comes from the binaries plus the layout's font.
field() { dpkg-deb -f "$deb" "$1"; }
while read -r name expected; do
  [ "$(field "$name")" = "$expected" ] || fail "$name is \"$(field "$name")\", expected \"$expected\""
done <<EOF
Package dadiz
Version $version
Architecture $arch
Section electronics
EOF
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
for dep in libc6 libqt6widgets6 libqt6charts6 libmosquitto1 libmodbus5 fonts-liberation2; do
  field Depends | grep -qE "(^|, )$dep( |,|$)" || fail "Depends lacks $dep: $(field Depends)"
done
# The pictures are drawn from SVG at build time: nothing installed needs Qt SVG.
if grep -qE "(^|, )libqt6svg6( |,|$)" <<<"$(field Depends)"; then fail "Depends names libqt6svg6: $(field Depends)"; fi

# Exactly these files, every one under /usr, owned by root.
dpkg-deb -x "$deb" "$root/tree"
expected_files="usr/bin/dadiz
usr/bin/dadiz-bridge
usr/bin/dadiz-sim
usr/bin/dadizctl
usr/lib/dadiz/libdadiz-trend.so
usr/lib/systemd/system/dadiz-bridge.service
usr/share/applications/$id.desktop
usr/share/doc/dadiz/changelog.gz
usr/share/doc/dadiz/copyright
usr/share/doc/dadiz/examples/bridge.conf
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/lintian/overrides/dadiz
usr/share/man/man1/dadiz-bridge.1.gz
usr/share/man/man1/dadiz-sim.1.gz
usr/share/man/man1/dadiz.1.gz
usr/share/man/man1/dadizctl.1.gz
usr/share/metainfo/$id.metainfo.xml"
actual_files=$(cd "$root/tree" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual_files" != "$(LC_ALL=C sort <<<"$expected_files")" ]; then
  fail "file list differs (< expected, > packaged):"
  diff <(LC_ALL=C sort <<<"$expected_files") <(echo "$actual_files") >&2 || true
fi
dpkg-deb -c "$deb" | awk '$2 != "root/root" || ($6 != "./" && $6 !~ /^\.\/usr\//) { print; bad = 1 } END { exit bad }' \
  || fail "entries not owned by root or outside /usr (above)"

# The PNG icons are square at their folder's size: width and height from the header.
for size in 48 256; do
  png="$root/tree/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ printf "%dx%d", ($1*256+$2)*65536+$3*256+$4, ($5*256+$6)*65536+$7*256+$8 }')
  [ "$dims" = "${size}x${size}" ] || fail "$id.png in ${size}x${size} is $dims"
done

# Desktop entry and AppStream data, as the desktop's tools read them
# (no network: the home page is not fetched).
desktop="$root/tree/usr/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $id.desktop"
appstreamcli validate-tree --no-net "$root/tree" >"$root/appstream.log" 2>&1 \
  || { cat "$root/appstream.log" >&2; fail "appstreamcli refuses the tree"; }
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/tree/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not a packaged program"

# The installed programs run from the unpacked tree.
bin="$root/tree/usr/bin"
"$bin/dadizctl" --help >"$root/ctl-help" 2>&1 || fail "dadizctl --help: status $?"
grep -q '^Usage: dadizctl COMMAND' "$root/ctl-help" || fail "dadizctl --help says: $(head -n1 "$root/ctl-help")"
"$bin/dadiz-sim" --help >"$root/sim-help" 2>&1 || fail "dadiz-sim --help: status $?"
grep -q '^usage: dadiz-sim ' "$root/sim-help" || fail "dadiz-sim --help says: $(head -n1 "$root/sim-help")"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/dadiz" >"$root/dadiz-out" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q 'no display found' "$root/dadiz-out" \
  || fail "dadiz without a display: status $status, $(head -n1 "$root/dadiz-out")"

# The programs are hardened: immediate binding and fortified libc calls.
for program in dadiz dadizctl dadiz-sim dadiz-bridge; do
  grep -q 'BIND_NOW' <<<"$(readelf -d "$bin/$program")" || fail "$program is not linked with -z now"
  grep -qE '__[a-z0-9_]+_chk\b' <<<"$(readelf --dyn-syms -W "$bin/$program")" \
    || fail "$program calls no fortified libc function"
done

# The trend window is a module: the program starts without Qt Charts and
# OpenGL, and finds the module in lib/dadiz beside its bin/. The module binds
# every symbol against the installed libraries and exports its entry.
module="$root/tree/usr/lib/dadiz/libdadiz-trend.so"
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
if grep -E 'Charts|OpenGL' <<<"$(needed "$bin/dadiz")"; then
  fail "dadiz links Qt Charts or OpenGL (above) instead of leaving them to the trend module"
fi
needed "$module" | grep -q '^libQt6Charts' || fail "the trend module does not link Qt Charts"
grep -q 'BIND_NOW' <<<"$(readelf -d "$module")" || fail "the trend module is not linked with -z now"
if grep -F "$PWD" <<<"$(readelf -d "$module" "$bin/dadiz")"; then
  fail "a packaged binary keeps a run path of the build (above)"
fi
grep -q ' dadizMakeTrendHandle1$' <<<"$(readelf --dyn-syms -W "$module")" || fail "the trend module exports no entry"
unbound=$(ldd -r "$module" 2>&1 | grep -E 'undefined symbol|not found' || true)
[ -z "$unbound" ] || fail "the trend module does not load: $unbound"

# Each manual page is valid gzip and names every option dadiz-sim lists.
for page in dadiz dadizctl dadiz-sim dadiz-bridge; do
  gz="$root/tree/usr/share/man/man1/$page.1.gz"
  gzip -t "$gz" 2>/dev/null && zcat "$gz" | head -n1 | grep -qi "^\.TH ${page//-/\\\\-} 1 " \
    || fail "$page.1.gz is not a gzipped manual page for $page"
done
sim_page=$(zcat "$root/tree/usr/share/man/man1/dadiz-sim.1.gz" | sed 's/\\-/-/g')
for opt in $(grep -o -- '--[a-z-]*' "$root/sim-help" | sort -u); do
  grep -q -- "$opt" <<<"$sim_page" || fail "dadiz-sim.1 does not describe $opt"
done

# The bridge takes its example configuration, names the line and key of a
# bad one, and its manual describes every key of the example and every topic.
example="$root/tree/usr/share/doc/dadiz/examples/bridge.conf"
"$bin/dadiz-bridge" --config "$example" --check >"$root/bridge-check" 2>&1 \
  || fail "dadiz-bridge --check refuses the example: $(cat "$root/bridge-check")"
sed 's/^Baud=9600$/Baud=9601/' "$example" >"$root/bad.conf"
status=0
"$bin/dadiz-bridge" --config "$root/bad.conf" >"$root/bridge-bad" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "^dadiz-bridge: $root/bad.conf:[0-9]*: Baud: " "$root/bridge-bad" \
  || fail "dadiz-bridge with a bad Baud: status $status, $(cat "$root/bridge-bad")"
bridge_page=$(zcat "$root/tree/usr/share/man/man1/dadiz-bridge.1.gz" | sed 's/\\-/-/g')
for key in $(sed -n 's/^#* *\([A-Za-z]*\)=.*/\1/p' "$example" | sort -u) value number relay1 relay2 status \
    config/get config/set config/result bridge/status; do
  grep -q -- "$key" <<<"$bridge_page" || fail "dadiz-bridge.1 does not describe $key"
done
grep -q '^ExecStart=/usr/bin/dadiz-bridge --config /etc/dadiz/bridge.conf$' \
  "$root/tree/usr/lib/systemd/system/dadiz-bridge.service" || fail "the bridge's unit does not start it"

# The stripped tools still talk: the packaged dadizctl reads the packaged simulator.
"$bin/dadiz-sim" --address 7 --value 12.5 --link "$root/tty" >"$root/sim-out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$root/tty" ] && break; sleep 0.1; done
if "$bin/dadizctl" value --port "$root/tty" --address 7 >"$root/value" 2>&1; then
  grep -qE '[[:space:]]12\.5[[:space:]]+relay1=(ON|OFF) relay2=(ON|OFF)$' "$root/value" || fail "dadizctl value printed: $(cat "$root/value")"
else
  fail "dadizctl value against dadiz-sim: $(cat "$root/value")"
fi

if [ "$failures" -ne 0 ]; then
  echo "package test: $failures failure(s) in $(basename "$deb")" >&2
  exit 1
fi
echo "package test: $(basename "$deb") passed"
