#!/usr/bin/env bash
# Installs what is missing, builds the kiosk (Release, with Debian's hardening flags) and makes the
# Debian package quillmore_<version>_amd64.deb in this folder.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQUILLMORE_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package
rm -f build-package/quillmore_*.deb
(cd build-package && cpack -G DEB >/dev/null)
mv build-package/quillmore_*.deb .
ls quillmore_*.deb
