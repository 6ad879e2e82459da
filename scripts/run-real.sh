#!/usr/bin/env bash
# Installs what is missing, builds DADiz and starts it for real displays: COM1
# to COM6 are the devices chosen in its serial line dialog (F2).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=build bash scripts/build.sh
exec ./build/dadiz
