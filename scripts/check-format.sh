#!/usr/bin/env bash
# Fails when a C++ file differs from what clang-format makes of it with the project's style.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files clean"
