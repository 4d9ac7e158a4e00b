#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for a while, starting from the
# seed corpora in fuzz/corpus. New inputs go to a scratch folder, not into the repository;
# a failing input is kept in build/fuzz/artifacts.
#   scripts/fuzz.sh                    every target, FUZZ_SECONDS (20) each
#   FUZZ_SECONDS=3600 scripts/fuzz.sh print_stream
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
build=${FUZZ_BUILD:-build/fuzz}
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing; skipped (scripts/install-deps.sh installs it)"
  exit 0
fi
targets=(link_replies replies id_codecs print_stream page_renderer virtual_printer)
if [ $# -gt 0 ]; then targets=("$@"); fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTOR_FUZZ=ON -DVANTOR_BUILD_TESTS=OFF -DVANTOR_BUILD_GUI=OFF \
  -DVANTOR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
# Each target runs on one core for a fixed time, so as many run at once as there are cores.
run_one() {  # TARGET: one target's run; its summary printed at the end as one block
  local t=$1 extra=()
  mkdir -p "$scratch/$t"
  # Streams and pages cost per byte: shorter inputs give many more runs in the time.
  case $t in print_stream | page_renderer) extra=(-max_len=4096) ;; esac
  if ! "$build/fuzz/fuzz_$t" "${extra[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/$t-" "$scratch/$t" "fuzz/corpus/$t" \
      >"$scratch/$t.log" 2>&1; then
    { echo "== fuzz $t (${seconds} s)"; tail -40 "$scratch/$t.log"; echo "fuzz $t: FAILED; the input is in $build/artifacts/"; } >"$scratch/$t.out"
    cat "$scratch/$t.out"
    return 1
  fi
  { echo "== fuzz $t (${seconds} s)"; grep -E "^Done|#[0-9]+.*DONE" "$scratch/$t.log" | tail -1 || true; } \
    >"$scratch/$t.out"
  cat "$scratch/$t.out"
}
status=0
running=()
for t in "${targets[@]}"; do
  run_one "$t" &
  running+=($!)
  if [ ${#running[@]} -ge "$(nproc)" ]; then
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  fi
done
for pid in "${running[@]}"; do wait "$pid" || status=1; done
exit $status
