#!/usr/bin/env bash
# Builds both release packages into dist/:
#   dist/replywick_VERSION_amd64.deb          (Debian 12, Linux program)
#   dist/replywick-VERSION-windows-x64.zip    (Windows program, MinGW-w64)
# Release builds in build/pkg-linux and build/pkg-win; the Debian package is
# checked with lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package

version=$(sed -n 's/^project(Replywick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
jobs=$(nproc)
# Dates inside the packages (the changelog) follow the last commit, so that
# building the same commit twice gives the same files.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

mkdir -p dist
rm -f "dist/replywick_${version}_amd64.deb" "dist/replywick-${version}-windows-x64.zip"

# ---- Linux: the distribution's compiler with Debian's hardening flags. A
# plain Release build: warnings are errors only in the development presets.
echo "== Linux (build/pkg-linux)"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B build/pkg-linux -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build/pkg-linux -j "$jobs"
# The program must call itself what the package calls it.
# (No display: a program that does not know --version must not start.)
said=$(env -u DISPLAY timeout 10 build/pkg-linux/replywick --version 2>&1 || true)
if [ "$said" != "Replywick $version" ]; then
    echo "package: the program says '$said', the package is $version" >&2
    exit 1
fi
(cd build/pkg-linux && cpack -G DEB >/dev/null)
cp "build/pkg-linux/replywick_${version}_amd64.deb" dist/
echo "== lintian"
lintian --fail-on error "dist/replywick_${version}_amd64.deb"

# ---- Windows: cross-built with MinGW-w64, one file without DLLs.
echo "== Windows (build/pkg-win)"
env -u CFLAGS -u CXXFLAGS -u LDFLAGS cmake -S . -B build/pkg-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/pkg-win -j "$jobs"
(cd build/pkg-win && cpack -G ZIP >/dev/null)
cp "build/pkg-win/replywick-${version}-windows-x64.zip" dist/

echo "== dist/"
ls -l "dist/replywick_${version}_amd64.deb" "dist/replywick-${version}-windows-x64.zip"
