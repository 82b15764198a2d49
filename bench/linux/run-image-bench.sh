#!/usr/bin/env bash
# The image steps before recognition beside Leptonica's operations, on a virtual
# desktop filled with a page of known text, in one run.
#   bench/linux/run-image-bench.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
exec "$top/scripts/with-virtual-desktop.sh" "$build_dir/bench/linux/morvel_image_bench"
