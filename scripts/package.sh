#!/usr/bin/env bash
# Builds LumoMap (Qt 6, Release, installed under /usr) and packs the Debian packages liblumomapN,
# liblumomap-dev, liblumomapoutputN, liblumomapoutput-dev and lumomap into OUTDIR with CPack
# (cmake/LumoMapPackaging.cmake).
# Usage: scripts/package.sh OUTDIR [BUILD_DIR [extra cmake arguments...]]
# BUILD_DIR defaults to build/package; CI adds -DLUMOMAP_WARNINGS_AS_ERRORS=ON.
# Install them with `apt-get install ./OUTDIR/*.deb`; check them with `lintian OUTDIR/*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

out_dir=$(realpath -m "${1:?usage: scripts/package.sh OUTDIR [BUILD_DIR [cmake arguments...]]}")
build_dir=${2:-build/package}
shift $(($# < 2 ? $# : 2))

# Debian's compiler and linker flags, hardening included, as dpkg-buildpackage gives them to a package.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

# The installed tool finds the libraries in the system's library folder, so it needs no RPATH.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_RPATH=ON -DLUMOMAP_QT_MAJOR=6 -DLUMOMAP_INSTALL_DOCS=ON \
    -DLUMOMAP_BUILD_TESTS=OFF -DLUMOMAP_BUILD_EXAMPLES=OFF "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
mkdir -p "$out_dir"
rm -f "$out_dir"/*.deb
(cd "$build_dir" && cpack -G DEB -B "$out_dir")
rm -rf "$out_dir/_CPack_Packages"

# CPack gives the runtime packages postinst and postrm scripts that run ldconfig. Their ldconfig trigger
# (cmake/debian/triggers) does that job, as in packages made with Debian's own tools, so the scripts
# are taken out.
for deb in "$out_dir"/liblumomap[0-9]*_*.deb "$out_dir"/liblumomapoutput[0-9]*_*.deb; do
    [ -e "$deb" ] || continue
    unpacked=$(mktemp -d)
    dpkg-deb -R "$deb" "$unpacked"
    rm -f "$unpacked/DEBIAN/postinst" "$unpacked/DEBIAN/postrm"
    dpkg-deb -b --root-owner-group "$unpacked" "$deb" >/dev/null
    rm -rf "$unpacked"
done
ls -1 "$out_dir"/*.deb
