#!/usr/bin/env bash
# The whole test suite on a fresh Debian machine: installs what is missing,
# builds with warnings as errors, and runs every test.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"

"$top/scripts/build.sh"
ctest --test-dir "$build_dir" --output-on-failure -j2 -LE integration
# The helper on a real desktop: a throw-away one, torn down afterwards.
"$top/scripts/with-virtual-desktop.sh" ctest --test-dir "$build_dir" --output-on-failure -L integration
