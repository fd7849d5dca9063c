#!/usr/bin/env bash
# Installs what is missing, builds, and starts the chooser on the given files:
#   ./run.sh FILE...
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/install-deps.sh build
cmake --preset release >/dev/null
cmake --build --preset release --target marvoline
exec build/release/src/marvoline "$@"
