#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample list.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target tabrino
build/bin/tabrino convert examples/sample-cameras.txt --output-dir build
