#!/usr/bin/env bash
# Installs what is needed, builds, and starts Tegaro on the embedded demo
# database (サーバー接続 → 読込 → 接続 opens it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec build/default/bin/tegaro "$@"
