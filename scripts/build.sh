#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as BUILD_DIR).
# Extra arguments go to cmake's configure step.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"

"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DMORVEL_WERROR=ON "$@"
cmake --build "$build_dir"
