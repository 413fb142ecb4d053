#!/usr/bin/env bash
# Installs what the build lacks (not what the tests need: scripts/test.sh
# installs that), builds the command-line tool (build/bin/tabrino) without
# the tests, and converts the bundled sample list with it.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== Installing what the build needs (through apt, where something is missing)"
scripts/install-deps.sh
echo "== Building build/bin/tabrino"
# Warnings and errors only. The tests need more than the build set installs
# (GoogleTest, osmium-tool): -DTABRINO_BUILD_TESTS=ON turns them on again.
cmake --preset default -DTABRINO_BUILD_TESTS=OFF --log-level=WARNING >/dev/null
cmake --build --preset default --target tabrino
echo "== Converting examples/sample-cameras.txt"
build/bin/tabrino convert examples/sample-cameras.txt --output-dir build
echo "Done. The tool is build/bin/tabrino; README.md says how to run it from anywhere."
