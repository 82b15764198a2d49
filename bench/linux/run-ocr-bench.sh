#!/usr/bin/env bash
# Side-by-side benchmark of "ocr-region" and the tesseract command-line tool on
# a virtual desktop filled with a page of known text, in one run.
#   bench/linux/run-ocr-bench.sh [BUILD_DIR [speed|cache|accents|matrix...]]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
exec "$top/scripts/with-virtual-desktop.sh" "$build_dir/bench/linux/morvel_ocr_bench" "${@:2}"
