#!/usr/bin/env bash
# Installs what is missing, checks the layers and the formatting, builds the sanitizer (debug),
# release and headless (no Qt) builds and runs every test of each, makes the Debian packages from
# the release build and tests them installed, then drives the headless
# vantorctl through a real kernel's USB stack in QEMU, then runs each fuzz target briefly, then
# cross-builds both programs for Windows (with a static Qt built once from Debian's source) and
# runs those tests under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
status=0
# One compiler cache for the run's builds, kept in the clone: the headless build compiles the
# same files with the same flags as the release build, and a second run rebuilds only what changed.
# A miss takes the headers from the compiler's own dependency list rather than from a second,
# preprocessing run of the compiler.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-$PWD/build/ccache} CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  export CCACHE_DEPEND=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The Windows build (Qt, GoogleTest and libpng from Debian's sources first, then both programs
# and their tests) takes longest of all and needs nothing the Linux stages build: it starts now,
# at the lowest priority, in the cores' idle moments (tests waiting on the clock, the QEMU guest,
# configure steps), and the Windows stage waits for what is left of it, then runs the tests.
windows=0
if [ "${VANTOR_WINDOWS:-1}" = 1 ] && ./scripts/install-deps.sh --windows; then windows=1; fi
# The Linux builds the Windows tests compare with; they exist by the time the tests run.
export VANTOR_LINUX_VANTORCTL=$PWD/build/ci-headless/cli/vantorctl
export VANTOR_LINUX_ADJUST=$PWD/build/ci-release/app/vantor-adjust
win_pid=
win_log=$PWD/build/windows-build.log
if [ $windows = 1 ]; then
  mkdir -p build
  # In its own session, which is its own scheduling group where the kernel groups by session:
  # the group, not only its processes, is made the least important.
  setsid -w sh -c 'echo 19 2>/dev/null >/proc/self/autogroup; exec nice -n 19 "$@"' sh \
    ./scripts/build-windows.sh --no-tests >"$win_log" 2>&1 &
  win_pid=$!
  trap '[ -z "$win_pid" ] || kill -- -"$win_pid" 2>/dev/null || true' EXIT
fi
echo "== format"
./scripts/check-format.sh || status=1
# The debug build with warnings as errors is the sanitizer build: a plain debug build on top
# would compile the same code a third time and run the same tests without the sanitizers. The
# headless build is the release build without Qt, so the compiler cache serves most of it.
# Unity builds here (each file still compiles alone in the dev preset, as developers build it).
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8)
# The test programs of build B that are byte for byte those of build A: running them again would
# repeat the same program on the same input. Their tests are labelled by program name.
same_programs() {
  local f
  (cd "$2/tests" && find . -path '*/CMakeFiles' -prune -o -type f -executable ! -name '*.sh' -print) |
    while read -r f; do
      if cmp -s "$1/tests/$f" "$2/tests/$f"; then basename "$f"; fi
    done
}
# The sanitizer build keeps line tables only (-g1): its reports name each frame's function, file
# and line, and a debugger's view of local variables is the dev preset's.
for preset in asan ci-release ci-headless; do
  echo "== $preset: configure and build"
  started=$SECONDS
  debug=()
  [ "$preset" != asan ] || debug=(-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
  cmake --preset "$preset" "${launcher[@]}" "${unity[@]}" "${debug[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: built in $((SECONDS - started)) s; tests"
  started=$SECONDS
  same=()
  [ "$preset" != ci-headless ] || mapfile -t same < <(same_programs build/ci-release build/ci-headless)
  skip=()
  if [ ${#same[@]} -gt 0 ]; then
    echo "== $preset: ${#same[@]} test programs are byte for byte the release build's, run there"
    skip=(-LE "^($(IFS='|' && echo "${same[*]}"))\$")
  fi
  ctest --preset "$preset" -j "$jobs" "${skip[@]}" || status=1
  echo "== $preset: tests ran in $((SECONDS - started)) s"
done
# The Debian packages from the release build, checked by lintian, installed into a scratch root,
# used and purged.
if ./scripts/install-deps.sh --packages; then
  echo "== packages"
  started=$SECONDS
  # A lintian or AppStream complaint fails the stage, but the packages made are still tested.
  debs=$(./scripts/package.sh build/ci-release build/packages) || status=1
  # shellcheck disable=SC2086
  [ -z "$debs" ] || tests/install/package_test.sh $debs || status=1
  echo "== packages: made and tested in $((SECONDS - started)) s"
else
  echo "== packages: skipped (dpkg-dev, lintian or appstream could not be installed)"
fi
# USB through Debian's own kernel in QEMU, when QEMU and the kernel package can be had.
if ./scripts/install-deps.sh --usb-kernel; then
  echo "== usb-kernel"
  started=$SECONDS
  usb=0
  ./scripts/usb-kernel-stage.sh build/ci-headless/cli/vantorctl || usb=$?
  [ $usb -eq 0 ] || [ $usb -eq 77 ] || status=1
  echo "== usb-kernel: ran in $((SECONDS - started)) s"
else
  echo "== usb-kernel: skipped (QEMU, busybox-static or cpio could not be installed)"
fi
echo "== fuzz"
./scripts/fuzz.sh || status=1
# vantorctl.exe and vantor-adjust.exe, cross-built and tested under Wine, when MinGW-w64 and
# Wine can be had (VANTOR_WINDOWS=0 skips it). The Linux builds are the references.
if [ $windows = 1 ]; then
  echo "== windows"
  started=$SECONDS
  built=0
  if [ -n "$win_pid" ]; then
    wait "$win_pid" || built=$?
    win_pid=
    grep '^== ' "$win_log" || true
  fi
  if [ $built != 0 ]; then
    cat "$win_log"
    echo "== windows: the build for MinGW-w64 failed (exit $built)"
    status=1
  else
    # Builds nothing more, packs the zip again, and runs the tests under Wine.
    ./scripts/build-windows.sh || status=1
  fi
  echo "== windows: built and tested in $((SECONDS - started)) s"
else
  echo "== windows: skipped (MinGW-w64, Wine, or the sources of libpng and Qt could not be had)"
fi
echo "== done in $SECONDS s"
exit $status
