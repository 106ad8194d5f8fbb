#!/usr/bin/env bash
# Installs what is missing, builds everything (kiosk, tests, benchmarks) and runs every test offscreen,
# but the long soak (ctest -L soak runs it).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
# The validators of the installed menu entry and metadata (the install_tree test).
ensure_packages "${BUILD_PACKAGES[@]}" "${SYNC_TEST_PACKAGES[@]}" libbenchmark-dev desktop-file-utils appstream

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -LE soak
