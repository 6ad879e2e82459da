#!/usr/bin/env bash
# Installs what is missing, builds DADiz and makes its Debian package in dist/:
#   dist/dadiz_<version>_<arch>.deb
# The package is made from the plain build folder (BUILD_DIR, default build),
# so after scripts/build.sh or scripts/test.sh nothing is compiled again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${BUILD_DIR:-build}
BUILD_DIR=$build_dir bash scripts/build.sh

# CPack works in its own folder; only the package itself goes to dist/.
work="$build_dir/package"
rm -rf "$work"
cpack --config "$build_dir/CPackConfig.cmake" -B "$work" >"$build_dir/cpack.log" 2>&1 || {
  cat "$build_dir/cpack.log" >&2
  echo "package: cpack failed" >&2
  exit 1
}
debs=("$work"/dadiz_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package: cpack made no single package in $work" >&2
  exit 1
fi
mkdir -p dist
cp "${debs[0]}" dist/
echo "package: dist/$(basename "${debs[0]}")"
