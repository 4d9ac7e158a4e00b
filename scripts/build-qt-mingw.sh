#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source package,
# the same version as the host's Qt tools, which serve as its host tools. Only what the desktop
# program and its tests need: Core, Gui, Widgets, Test, the Windows and offscreen platform
# plugins, with zlib, libpng, PCRE2, HarfBuzz and FreeType bundled.
#   build-qt-mingw.sh DEPS   prints the install prefix on its last line
# The install tree is DEPS/qt-KEY, keyed by the package version and these options, so a second
# run with the same ones reuses it. The build tree is removed once installed (2 GB) unless
# VANTOR_KEEP_QT_BUILD=1. This script is also the recipe a relinking user follows.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
deps=${1:?usage: build-qt-mingw.sh DEPS}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)

# Host tools and target must agree on the version: moc's output is checked against it.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
options=(
  # Smaller code compiles faster, and the zip is smaller.
  -static -release -optimize-size -opensource -confirm-license
  -xplatform win32-g++ -qt-host-path /usr
  -nomake examples -nomake tests
  -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype
  -no-opengl -no-vulkan -no-dbus -no-icu
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-xml
  # Nothing the program shows needs these. (Direct2D stays: this Qt's DirectWrite font database
  # is built only along with it. Its 1.1 feature is only the Direct2D platform plugin, which
  # compiles the Windows plugin's sources a second time and is never linked.)
  -no-feature-gif -no-feature-ico -no-feature-movie -no-feature-pdf
  -no-feature-textodfwriter -no-feature-textmarkdownreader -no-feature-textmarkdownwriter
  -no-feature-systemtrayicon -no-feature-sessionmanager -no-feature-syntaxhighlighter
  -no-feature-undocommand -no-feature-undostack -no-feature-undogroup -no-feature-undoview
  -no-feature-graphicsview -no-feature-mdiarea -no-feature-calendarwidget -no-feature-colordialog
  -no-feature-fontdialog -no-feature-fontcombobox -no-feature-wizard -no-feature-lcdnumber
  -no-feature-dial -no-feature-keysequenceedit -no-feature-splashscreen -no-feature-direct2d1_1
  # Debian's source has no wintab headers.
  -no-feature-tabletevent
)
# Parts that nothing links leave the build, as FILE:SED. HarfBuzz's font subsetter serves only
# the embedding of fonts in PDF, which this Qt leaves out: a quarter of HarfBuzz's compile time.
# The minimal platform plugin and the framebuffer and device-discovery helpers (which only
# Linux plugins use) have no configure switch: 30 s more.
unused=(
  'src/3rdparty/harfbuzz-ng/CMakeLists.txt:/src\/hb-subset/d'
  'src/plugins/platforms/CMakeLists.txt:/add_subdirectory(minimal)/d'
  'src/platformsupport/CMakeLists.txt:/add_subdirectory(\(devicediscovery\|fbconvenience\))/d'
)
key=$(printf '%s\n' "$version" "${options[@]}" "${unused[@]}" | sha256sum | cut -c1-12)
prefix=$deps/qt-$key
# Two stages building at once wait for one Qt.
exec 9>"$deps/qt-$key.lock"
flock 9
if [ -e "$prefix/.done" ]; then
  echo "$prefix"
  exit 0
fi

work=$deps/qt-$key-build
echo "== windows: Qt $version for MinGW-w64 from Debian's source package (about 13 minutes on 2 quiet cores)" >&2
rm -rf "$work/build" "$prefix"
qt_src=$work/src/qt6-base-${version%-*}
if [ ! -d "$qt_src" ]; then
  rm -rf "$work/src" && mkdir -p "$work/src"
  (cd "$work/src" && apt-get source -qq "qt6-base=$version" >/dev/null 2>&1)
fi
[ -d "$qt_src" ] || {
  echo "qt6-base $version: no source tree after apt-get source" >&2
  exit 1
}

for edit in "${unused[@]}"; do sed -i "${edit#*:}" "$qt_src/${edit%%:*}"; done

mkdir -p "$work/build"
cd "$work/build"
# Debian's multiarch layout puts the host Qt's CMake files where Qt does not look by itself.
"$qt_src/configure" -prefix "$prefix" "${options[@]}" -- \
  -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64-qt.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >configure.log 2>&1 || {
  tail -n 40 configure.log >&2
  exit 1
}
cmake --build . --parallel "$(nproc)" >build.log 2>&1 || {
  grep -m 20 -B 2 -A 10 -E 'error|FAILED' build.log >&2 || tail -n 40 build.log >&2
  exit 1
}
cmake --install . >install.log 2>&1
{
  printf '%s\n' "qt6-base $version" "${options[@]}"
  for edit in "${unused[@]}"; do printf "sed -i '%s' %s\n" "${edit#*:}" "${edit%%:*}"; done
} >"$prefix/configure-options.txt"
touch "$prefix/.done"
cd "$deps"
[ "${VANTOR_KEEP_QT_BUILD:-0}" = 1 ] || rm -rf "$work"
echo "== windows: Qt built in $SECONDS s" >&2
echo "$prefix"
