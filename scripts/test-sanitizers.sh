#!/usr/bin/env bash
# The whole test suite again, built with AddressSanitizer (with LeakSanitizer)
# and UndefinedBehaviorSanitizer into build-sanitize/ (or SANITIZE_BUILD_DIR).
# scripts/test.sh runs it after the normal tests; it can also run on its own.
#
# Every sanitizer report fails the run: a report stops the process that makes
# it, and reports of processes the tests start (the simulator, the helper, the
# sample applications) are written under the build folder and checked at the
# end. Leaks that libraries of the desktop keep on purpose (GLib's type system,
# libatspi's caches, fontconfig, ...) are suppressed by scripts/lsan-third-party.supp;
# nothing of ours is.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${SANITIZE_BUILD_DIR:-$top/build-sanitize}"

"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DMORVEL_WERROR=ON -DMORVEL_SANITIZE=ON -DMORVEL_BUILD_BENCH=OFF
cmake --build "$build_dir"

reports="$build_dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$top/scripts/lsan-third-party.supp:print_suppressions=0"

status=0
# The MCP client tests run the same server code as the protocol tests, through
# Node; the sway session tests run once, in scripts/test.sh.
ctest --test-dir "$build_dir" --output-on-failure -j2 -LE 'integration|wayland|gnome|mcp-client' || status=1
# The fast unwinder: with the slow one (which sees through the desktop's libraries,
# built without frame pointers) recognition runs past the tests' reply time-outs.
"$top/scripts/with-virtual-desktop.sh" ctest --test-dir "$build_dir" --output-on-failure -L integration -LE 'mcp-client|thirdparty' || status=1

if compgen -G "$reports/*" >/dev/null; then
  for report in "$reports"/*; do
    echo "==== $report" >&2
    cat "$report" >&2
  done
  echo "test-sanitizers: the sanitizers reported the problems above" >&2
  status=1
fi
exit "$status"
