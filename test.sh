#!/usr/bin/env bash
# Installs what is missing, builds everything (kiosk, tests, benchmarks) and runs every test offscreen,
# but the long soak (ctest -L soak runs it).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -LE soak
