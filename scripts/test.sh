#!/usr/bin/env bash
# Installs what is missing, builds, runs the example and the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/run-example.sh
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
