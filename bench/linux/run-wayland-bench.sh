#!/usr/bin/env bash
# run-wayland-bench.sh [--gnome]
# X11 beside sway (capture in process, through grim and on X11, and the tree
# commands through the helper), or with --gnome beside GNOME Shell through the
# helper's extension: the Wayland session and, inside it, an X virtual desktop;
# the benchmark reaches the compositor through the absolute path of its socket
# and its own session bus. Under the captured rectangle, on both, a page
# of painted text that stays still, so that the pixels compared are a real
# screen's; the contacts application comes on top of it for the tree commands.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"
bench="$build_dir/bench/linux/morvel_wayland_bench"
painted="$build_dir/examples/apps/morvel_painted_text_app"

# Runs the page of text, and CMD; the page ends with its input when CMD has.
with_painted_page() {
  exec 4< <(exec sleep 3600)
  local holder=$!
  "$painted" page 1000 800 <&4 >/dev/null 2>&1 &
  sleep 3
  local status=0
  "$@" || status=$?
  kill "$holder"
  return "$status"
}

case "${1:-}" in
  --in-wayland)
    export MORVEL_BENCH_WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" MORVEL_BENCH_SWAYSOCK="${SWAYSOCK:-}" \
      MORVEL_BENCH_BUS="$DBUS_SESSION_BUS_ADDRESS" MORVEL_BENCH_RUNTIME_DIR="$XDG_RUNTIME_DIR"
    [ -n "$MORVEL_BENCH_SWAYSOCK" ] || unset MORVEL_BENCH_SWAYSOCK
    GDK_BACKEND=wayland with_painted_page "$top/scripts/with-virtual-desktop.sh" "$0" --in-x11
    exit
    ;;
  --in-x11)
    with_painted_page "$bench"
    exit
    ;;
esac
cmake --build "$build_dir" --target morvel_wayland_bench morvel_painted_text_app >&2
if [ "${1:-}" = --gnome ]; then
  # The benchmark asks the helper's extension for captures itself.
  # The monitor of the figures kept so far.
  MORVEL_AX_HELPER_TRUSTED="$build_dir/app/morvel_ax_helper:$bench" MORVEL_GNOME_MONITOR=1280x800 \
    exec "$top/scripts/with-gnome-desktop.sh" "$0" --in-wayland
fi
exec "$top/scripts/with-wayland-desktop.sh" "$0" --in-wayland
