#!/bin/sh
# Installs what is needed, builds Vantel and runs every test.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
