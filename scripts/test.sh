#!/usr/bin/env bash
# Installs what is missing, builds everything (Linux and 32-bit Windows), and
# runs every test: the Windows ones under Wine in a private X display.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
scripts/install-deps.sh --windows

echo "== Linux build and tests"
cmake -S . -B build >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

echo "== Windows build and tests (Wine)"
cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake \
  -DTABRINO_NATIVE_CLI="$PWD/build/bin/tabrino" >/dev/null
cmake --build build-win32 -j"$jobs"
scripts/with-display.sh ctest --test-dir build-win32 --output-on-failure
