#!/usr/bin/env bash
# Installs what is missing, builds DADiz and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=build bash scripts/build.sh
exec ./build/dadiz
