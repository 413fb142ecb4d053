#!/usr/bin/env bash
# Installs what the build lacks, builds the command-line tool
# (build/bin/tabrino), and converts the bundled sample list with it.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== Installing what the build needs (through apt, where something is missing)"
scripts/install-deps.sh
echo "== Building build/bin/tabrino"
# Warnings and errors only: the notes about tests concern a build of the tests.
cmake --preset default --log-level=WARNING >/dev/null
cmake --build --preset default --target tabrino
echo "== Converting examples/sample-cameras.txt"
build/bin/tabrino convert examples/sample-cameras.txt --output-dir build
echo "Done. The tool is build/bin/tabrino; README.md says how to run it from anywhere."
