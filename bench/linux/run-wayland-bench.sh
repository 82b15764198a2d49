#!/usr/bin/env bash
# X11 beside sway in one run (capture in process and through grim, and the
# tree commands through the helper): a sway session and, inside it, an X
# virtual desktop; the benchmark reaches sway through the absolute path of its
# socket and its own session bus.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"
cmake --build "$build_dir" --target morvel_wayland_bench >&2
bench="$build_dir/bench/linux/morvel_wayland_bench"
# A window on each, so that neither captures a bare background only; the
# contacts application comes on top of it for the tree commands.
exec "$top/scripts/with-wayland-desktop.sh" bash -c '
  export MORVEL_BENCH_WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" MORVEL_BENCH_SWAYSOCK="$SWAYSOCK" \
    MORVEL_BENCH_BUS="$DBUS_SESSION_BUS_ADDRESS" MORVEL_BENCH_RUNTIME_DIR="$XDG_RUNTIME_DIR"
  gtk3-widget-factory >/dev/null 2>&1 &
  exec "$1/scripts/with-virtual-desktop.sh" bash -c "gtk3-widget-factory >/dev/null 2>&1 & sleep 3; \"\$0\"" "$2"
' bash "$top" "$bench"
