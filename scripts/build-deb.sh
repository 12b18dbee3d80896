#!/usr/bin/env bash
# Builds the two Debian packages from one release build: mervale-batch (the batch program, the
# program folder, its manual page and completion; no Qt) and mervale (the desktop program,
# depending on the first). The compiler and linker get Debian's hardening flags, as
# dpkg-buildflags gives them to a Debian package. Then lintian checks both packages when it is
# installed (apt-get install lintian); an error or a warning fails the script.
#
#   scripts/build-deb.sh [BUILD]      BUILD defaults to build-deb
#
# The packages are BUILD/mervale-batch_VERSION_ARCH.deb and BUILD/mervale_VERSION_ARCH.deb;
# scripts/check-deb.sh BUILD installs them into a fresh Debian 12 tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}

eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# CMake reads CXXFLAGS and LDFLAGS from the environment at the first configure; the
# preprocessor's flags (_FORTIFY_SOURCE) go with the compiler's.
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERVALE_TESTS=OFF -DMERVALE_BENCH=OFF "${launcher[@]}"
cmake --build "$build" -j2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)

debs=("$build"/*.deb)
for deb in "${debs[@]}"; do
  echo "$deb:"
  dpkg-deb --field "$deb" Package Version Depends Recommends | sed 's/^/  /'
done
if command -v lintian >/dev/null; then
  echo "lintian ${debs[*]}:"
  lintian --fail-on error,warning --display-info "${debs[@]}"
  echo "lintian: no error, no warning"
else
  echo "lintian is not installed (apt-get install lintian): the packages are not checked" >&2
fi
