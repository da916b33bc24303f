#!/usr/bin/env bash
# Builds what the package holds with the release preset and makes the
# Debian package from it:
# build/release/tamberlyn_VERSION-1_ARCH.deb. CPack's DEB generator needs
# dpkg-shlibdeps (dpkg-dev) to work out the library dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
    echo "build-deb: dpkg-shlibdeps is missing: apt-get install dpkg-dev" >&2
    exit 1
fi
cmake --preset release >/dev/null
cmake --build --preset release --target deb-contents -j "$(nproc)"
cpack --preset deb
ls -t build/release/tamberlyn_*.deb | head -n 1
