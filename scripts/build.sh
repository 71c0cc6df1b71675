#!/bin/sh
# Configures and builds Vantel into build/ (program and libraries in build/bin).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
