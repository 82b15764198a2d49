#!/usr/bin/env bash
# Side-by-side benchmark of the helper's commands and a pyatspi client doing the
# same walks, on gtk3-widget-factory in a virtual desktop, in one run.
#   bench/linux/run-ax-bench.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
exec "$top/scripts/with-virtual-desktop.sh" bash -c '
  set -euo pipefail
  gtk3-widget-factory >/dev/null 2>&1 &
  factory=$!
  trap "kill $factory 2>/dev/null || true; wait $factory 2>/dev/null || true" EXIT
  for _ in $(seq 1 100); do
    xprop -root _NET_ACTIVE_WINDOW | grep -q "window id # 0x[1-9a-f]" && break
    sleep 0.1
  done
  sleep 1  # let the first layout settle
  echo "== morvel_ax_helper (in-process, libatspi) =="
  "$1/bench/linux/morvel_ax_bench"
  echo "== pyatspi client =="
  /usr/bin/python3 -u "$2/bench/linux/pyatspi_walks.py"
' run-ax-bench "$build_dir" "$top"
