#!/usr/bin/env bash
# Installs what is missing, builds the kiosk (Release) and starts it on the current display with the
# options given: ./run.sh --touch for a touch screen, which also installs the on-screen keyboard.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
for argument in "$@"; do
    if [ "$argument" = --touch ]; then
        ensure_packages "${TOUCH_PACKAGES[@]}"
    fi
done

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQUILLMORE_BENCHMARKS=OFF >/dev/null
cmake --build build-release --target quillmore

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "There is no display to show the kiosk on: run ./run.sh from a desktop session." >&2
    exit 1
fi
exec ./build-release/quillmore "$@"
