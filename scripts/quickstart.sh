#!/usr/bin/env bash
# Installs what is missing, builds the command-line tool, and converts the
# bundled sample list.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tabrino
build/bin/tabrino convert examples/sample-cameras.txt --output-dir build
