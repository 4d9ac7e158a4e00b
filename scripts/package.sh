#!/usr/bin/env bash
# Makes the Debian packages from a release build: vantorctl (the command-line tool, its manual
# pages, bash completion and udev rule) and, when the build has the desktop program,
# vantor-adjust (the program, its page, desktop entry, icon and AppStream entry), which depends
# on vantorctl of the same version for the udev rule. Then lintian and appstreamcli check them.
#   scripts/package.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build/release (configured with the release preset when missing and built);
# the packages go to OUT_DIR (default build/packages) and their paths to standard output.
# VANTOR_MAINTAINER names the maintainer.
#
# cmake --install into a staging root and dpkg-deb rather than CPack: the staging root is what a
# user's cmake --install gives, and every file lintian looks at (changelog, copyright, md5sums,
# stripping, modes) is made here in plain view.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-build/release}
out=${2:-build/packages}
maintainer=${VANTOR_MAINTAINER:-vantor-adjust maintainers <maintainers@vantor-adjust.example>}
umask 022

if [ ! -e "$build/CMakeCache.txt" ]; then
  [ "$build" = build/release ] || { echo "no build in $build" >&2; exit 1; }
  cmake --preset release -DVANTOR_BUILD_BENCHMARKS=OFF >&2
fi
cmake --build "$build" -j "$(nproc)" >&2

# The one version: the project's, as CMake holds it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
# The changelog's date is the commit's, so that one tree gives the same packages.
if date_r=$(git -C "$src" log -1 --format=%cD 2>/dev/null) && [ -n "$date_r" ]; then
  commit=$(git -C "$src" rev-parse --short HEAD)
else
  date_r=$(date -R)
  commit=unknown
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date -d "$date_r" +%s)}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
gui=0
[ -e "$stage/usr/bin/vantor-adjust" ] && gui=1

# move PACKAGE PATH...: staged paths (relative to the stage) into the package's root
move() {
  local pkg=$1 path
  shift
  for path in "$@"; do
    mkdir -p "$work/$pkg/$(dirname "$path")"
    mv "$stage/$path" "$work/$pkg/$path"
  done
}
packages=(vantorctl)
if [ $gui -eq 1 ]; then
  packages+=(vantor-adjust)
  (cd "$stage" && compgen -G 'usr/share/man/man1/vantor-adjust*' >/dev/null) ||
    { echo "the build made no manual page for vantor-adjust (help2man missing?)" >&2; exit 1; }
  move vantor-adjust usr/bin/vantor-adjust usr/share/applications usr/share/icons usr/share/metainfo
  for page in "$stage"/usr/share/man/man1/vantor-adjust*; do move vantor-adjust "${page#"$stage"/}"; done
fi
[ -n "$(ls "$stage/usr/share/man/man1" 2>/dev/null)" ] ||
  { echo "the build made no manual page for vantorctl (help2man missing?)" >&2; exit 1; }
# Everything else is the command-line tool's: whatever pages and files the build installs.
mkdir -p "$work/vantorctl"
mv "$stage/usr" "$work/vantorctl/usr"

# dpkg-shlibdeps reads the source's control file for the packages' names.
mkdir -p "$work/src/debian"
{
  printf 'Source: vantor-adjust\n\n'
  for pkg in "${packages[@]}"; do printf 'Package: %s\nArchitecture: any\n\n' "$pkg"; done
} >"$work/src/debian/control"

mkdir -p "$out"
rm -f "$out"/*.deb
for pkg in "${packages[@]}"; do
  root=$work/$pkg
  doc=$root/usr/share/doc/$pkg
  mkdir -p "$doc" "$root/DEBIAN"
  install -m 644 "$src/packaging/deb/copyright" "$doc/copyright"
  # A native package: its changelog is changelog.gz, in Debian's format.
  printf '%s\n' "vantor-adjust ($version) unstable; urgency=medium" "" \
    "  * Packaged from the source tree at commit $commit." "" \
    " -- $maintainer  $date_r" | gzip -9n >"$doc/changelog.gz"
  find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +
  while IFS= read -r -d '' file; do
    if [[ $(file -b "$file") == ELF* ]]; then
      strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
      chmod 755 "$file"
    else
      chmod 644 "$file"
    fi
  done < <(find "$root/usr" -type f -print0)
  find "$root" -type d -exec chmod 755 {} +

  depends=$(cd "$work/src" && dpkg-shlibdeps -O -e "$root/usr/bin/$pkg" 2>"$work/shlibdeps.log" |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || {
    cat "$work/shlibdeps.log" >&2
    echo "dpkg-shlibdeps found no dependencies of $pkg" >&2
    exit 1
  }
  extra=()
  if [ "$pkg" = vantor-adjust ]; then
    # The udev rule travels with the command-line tool; the icon is drawn by Qt's SVG plugin.
    depends="vantorctl (= $version), $depends"
    extra=("Recommends: libqt6svg6")
  fi
  {
    sed '/^Description:/,$d' "$src/packaging/deb/$pkg.control"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -s -k --apparent-size "$root/usr" | cut -f1)"
    echo "Depends: $depends"
    [ ${#extra[@]} -eq 0 ] || printf '%s\n' "${extra[@]}"
    sed -n '/^Description:/,$p' "$src/packaging/deb/$pkg.control"
  } >"$root/DEBIAN/control"
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
  chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/${pkg}_${version}_$arch.deb" >/dev/null
  echo "$out/${pkg}_${version}_$arch.deb"
done

status=0
if [ $gui -eq 1 ]; then
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/vantor-adjust/usr/share/metainfo/"*.metainfo.xml >"$work/as.log" 2>&1 ||
      { cat "$work/as.log" >&2; status=1; }
  else
    echo "appstreamcli is not installed: the AppStream entry is not validated" >&2
  fi
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$out"/*.deb >&2 || status=1
else
  echo "lintian is not installed: the packages are not checked" >&2
fi
exit $status
