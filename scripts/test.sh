#!/usr/bin/env bash
# The whole test suite on a fresh Debian machine: installs what is missing,
# builds with warnings as errors, runs every test, then runs them all again
# under the sanitizers (scripts/test-sanitizers.sh).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"

"$top/scripts/build.sh"
"$top/scripts/install-test-clients.sh"
ctest --test-dir "$build_dir" --output-on-failure -j2 -LE 'integration|wayland|gnome'
"$top/scripts/package.sh" >/dev/null
# The helper on a real desktop: a throw-away one, torn down afterwards.
"$top/scripts/with-virtual-desktop.sh" ctest --test-dir "$build_dir" --output-on-failure -L integration
# The same helper in a throw-away sway session; once, not again under the sanitizers.
"$top/scripts/with-wayland-desktop.sh" ctest --test-dir "$build_dir" --output-on-failure -L wayland
# Again with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
"$top/scripts/test-sanitizers.sh"
