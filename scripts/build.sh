#!/usr/bin/env bash
# Configures and builds the default preset (shared by run.sh and test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
