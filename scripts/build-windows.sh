#!/usr/bin/env bash
# Cross-builds vantorctl.exe, vantor-adjust.exe and their tests for 64-bit Windows with
# MinGW-w64, packs both programs into vantor-adjust-VERSION-windows-x86_64.zip beside them and
# runs the tests, and the zip's, under Wine. The libraries Debian does not package for MinGW
# (libpng, GoogleTest, a static Qt) are built once from Debian's own sources into
# build/mingw-deps and reused.
#   --no-tests   build only
# VANTOR_LINUX_VANTORCTL names a Linux vantorctl whose output the Windows one must match;
# VANTOR_LINUX_ADJUST a Linux vantor-adjust whose adjustment window the Windows one must match.
# VANTOR_WINDOWS_GUI=0 leaves out Qt and the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
run_tests=1
[ "${1:-}" = --no-tests ] && run_tests=0

toolchain=$src/cmake/mingw-w64-x86_64.cmake
deps=${VANTOR_MINGW_DEPS:-$src/build/mingw-deps}
prefix=$deps/prefix
build=${VANTOR_WINDOWS_BUILD:-$src/build/windows}
jobs=$(nproc)
export VANTOR_MINGW_PREFIX=$prefix
mkdir -p "$deps" "$prefix"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cross_cmake() {  # SOURCE BUILD [options]: configure, build and install into the prefix
  local from=$1 to=$2
  shift 2
  cmake -S "$from" -B "$to" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}" "$@" >/dev/null
  cmake --build "$to" -j "$jobs" >/dev/null
  cmake --install "$to" >/dev/null
}

# Header-only libraries: the host's copies serve the cross-build too (their CMake files are
# relocatable).
if [ ! -e "$deps/headers.done" ]; then
  mkdir -p "$prefix/include" "$prefix/share/cmake"
  cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
  cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
  touch "$deps/headers.done"
fi

if [ ! -e "$deps/gtest.done" ]; then
  echo "== windows: GoogleTest from /usr/src/googletest"
  cross_cmake /usr/src/googletest "$deps/gtest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  touch "$deps/gtest.done"
fi

if [ ! -e "$deps/libpng.done" ]; then
  echo "== windows: libpng from Debian's source package"
  rm -rf "$deps/libpng-src" && mkdir -p "$deps/libpng-src"
  (cd "$deps/libpng-src" && apt-get source -qq libpng1.6 >/dev/null)
  png_src=$(find "$deps/libpng-src" -mindepth 1 -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
  cross_cmake "$png_src" "$deps/libpng-build" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON
  touch "$deps/libpng.done"
fi

gui=(-DVANTOR_BUILD_GUI=OFF)
if [ "${VANTOR_WINDOWS_GUI:-1}" = 1 ]; then
  VANTOR_MINGW_QT=$("$src/scripts/build-qt-mingw.sh" "$deps" | tail -n1)
  export VANTOR_MINGW_QT
fi
if [ -n "${VANTOR_MINGW_QT:-}" ]; then
  # The host's Qt tools (moc, rcc, uic) of the same version serve the cross-build.
  gui=(-DVANTOR_BUILD_GUI=ON -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DVANTOR_LINUX_ADJUST="${VANTOR_LINUX_ADJUST:-}")
fi

echo "== windows: configure and build"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-Og -DCMAKE_C_FLAGS_DEBUG=-Og \
  -DVANTOR_WERROR=ON "${gui[@]}" -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 \
  -DVANTOR_BUILD_BENCHMARKS=OFF \
  -DVANTOR_LINUX_VANTORCTL="${VANTOR_LINUX_VANTORCTL:-}" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"

# Qt's licence lets the program link Qt statically when its users can relink it with another
# Qt: its object files and static libraries, and the link command with Qt's prefix left open,
# for the Windows zip to carry beside the Qt recipe (scripts/build-qt-mingw.sh).
if [ -n "${VANTOR_MINGW_QT:-}" ]; then
  kit=$build/relink
  rm -rf "$kit" && mkdir -p "$kit"
  link=$(cd "$build" && ninja -t commands app/vantor-adjust.exe | tail -n1)
  # Libraries of the deps prefix (libpng) travel with the kit; Qt's come from $QT.
  link=${link//$prefix\//prefix/}
  for word in $link; do
    case $word in
      *.obj | *.a | *.res)
        from=$build/$word
        [ "${word#prefix/}" = "$word" ] || from=$prefix/${word#prefix/}
        if [ -f "$from" ]; then install -D -m 644 "$from" "$kit/$word"; fi
        ;;
    esac
  done
  {
    echo '#!/bin/sh'
    echo '# Relinks vantor-adjust.exe with the static Qt in $QT (MinGW-w64, posix threads).'
    echo 'set -e'
    echo 'cd "$(dirname "$0")"'
    echo ": \"\${QT:?QT names the Qt install prefix}\""
    echo "${link//$VANTOR_MINGW_QT/\$QT}"
  } >"$kit/link.sh"
  chmod +x "$kit/link.sh"
  cp "$VANTOR_MINGW_QT/configure-options.txt" "$kit/qt-configure-options.txt"
fi

# The zip a technician unpacks: both programs, the Windows README, the notices of every library
# linked in, and the relink kit with the Qt recipe. Named by the project's version.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=vantor-adjust-$version-windows-x86_64
zip=$build/$name.zip
pack=$build/zip/$name
rm -rf "$build/zip" "$zip" && mkdir -p "$pack/licences"
exes=("$build/cli/vantorctl.exe")
[ -z "${VANTOR_MINGW_QT:-}" ] || exes+=("$build/app/vantor-adjust.exe")
for exe in "${exes[@]}"; do
  x86_64-w64-mingw32-strip -o "$pack/$(basename "$exe")" "$exe"
done
sed 's/$/\r/' "$src/packaging/windows/README.txt" >"$pack/README.txt"
png_licence=$(find "$deps/libpng-src" -maxdepth 2 -name LICENSE | head -n1)
notices=(
  "libpng.txt=${png_licence:-/usr/share/doc/libpng16-16/copyright}"
  "zlib.txt=/usr/share/doc/libz-mingw-w64-dev/copyright"
  "mingw-w64-runtime.txt=/usr/share/doc/mingw-w64-common/copyright"
  "gcc-runtime-libstdc++.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
  "CLI11.txt=/usr/share/doc/libcli11-dev/copyright"
  "nlohmann-json.txt=/usr/share/doc/nlohmann-json3-dev/copyright"
)
if [ -n "${VANTOR_MINGW_QT:-}" ]; then
  # Debian's notice of the same qt6-base source covers Qt and what it bundles (HarfBuzz,
  # FreeType, PCRE2, its own zlib and libpng, ...).
  notices+=("Qt.txt=/usr/share/doc/libqt6core6/copyright" "LGPL-3.txt=/usr/share/common-licenses/LGPL-3"
    "GPL-3.txt=/usr/share/common-licenses/GPL-3")
  cp -r "$kit" "$pack/relink"
  mkdir -p "$pack/relink/qt-recipe"
  cp "$src/scripts/build-qt-mingw.sh" "$src/cmake/mingw-w64-x86_64-qt.cmake" "$pack/relink/qt-recipe/"
fi
for notice in "${notices[@]}"; do
  sed 's/$/\r/' "${notice#*=}" >"$pack/licences/${notice%%=*}"
done
(cd "$build/zip" && zip -q -r -9 "$zip" "$name")
echo "== windows: $zip"

# The installer of the same folder. Its uninstaller removes the files listed here and the
# folders they made, deepest first, and nothing else.
installer=$build/$name-installer.exe
uninstall_list=$build/zip/uninstall-files.nsh
(
  cd "$pack"
  find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
  find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$uninstall_list"
gui=()
[ ! -e "$pack/vantor-adjust.exe" ] || gui=(-DGUI)
rm -f "$installer"
makensis -V2 -DVERSION="$version" -DSOURCE="$pack" -DFILES="$uninstall_list" \
  -DOUTFILE="$installer" "${gui[@]}" "$src/packaging/windows/vantor-adjust.nsi" >/dev/null
echo "== windows: $installer"
[ $run_tests -eq 1 ] || exit 0

echo "== windows: tests under Wine"
export WINEPREFIX=${WINEPREFIX:-$deps/wine}
export WINEDEBUG=-all
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
# One server for the whole run instead of one per test; a fresh prefix is made on first use, but
# the server needs its folder first.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k || true' EXIT
# Wine's services start with the first program that needs them (the USB port search does) and
# keep its output open for as long as the server runs: ctest would wait on that test forever.
# Started here, they hold nothing of ctest's. A fresh prefix is made by this first start.
timeout 300 "$wine" net start plugplay </dev/null >/dev/null 2>&1 || true
status=0
ctest --test-dir "$build" -j "$jobs" --timeout 300 --output-on-failure || status=1
echo "== windows: the zip under Wine"
"$src/tests/install/windows_zip_test.sh" "$zip" "$wine" "${VANTOR_MINGW_QT:-}" || status=1
echo "== windows: the installer under Wine"
"$src/tests/install/windows_installer_test.sh" "$installer" "$version" "$wine" || status=1
exit $status
