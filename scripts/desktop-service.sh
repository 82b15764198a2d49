#!/usr/bin/env bash
# desktop-service.sh ACTION SERVICE [NAME]
#
# Controls one service of the virtual desktop that scripts/with-virtual-desktop.sh
# or scripts/with-wayland-desktop.sh runs (the desktop's environment must be in
# force: XDG_RUNTIME_DIR, DISPLAY or WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS).
# SERVICE is one of xvfb, session-bus, a11y-bus, openbox; in the Wayland
# session sway and keyboard (the virtual keyboard on sway's seat).
#
#   ready SERVICE          succeeds when the service answers
#   kill SERVICE [NAME]    kills the service's process group at once, as a crash
#                          would; with a11y-bus and a bus NAME only the process
#                          that owns NAME on the accessibility bus
#                          (org.a11y.atspi.Registry: the registry alone)
#   start SERVICE          starts it again with the command it was first started
#                          with (Xvfb on the same display number) and waits until
#                          it answers; a sway started again listens on a socket
#                          of its own (sway-ipc.UID.PID.sock in the runtime
#                          directory) while the one in SWAYSOCK is left over
set -euo pipefail

readiness_deadline_s=20

usage() {
  echo "usage: $0 ready|kill|start SERVICE [NAME]" >&2
  exit 2
}
[ "$#" -ge 2 ] || usage
action="$1"
service="$2"
services_dir="${XDG_RUNTIME_DIR:?run inside scripts/with-virtual-desktop.sh}/services"
log_dir="${MORVEL_DESKTOP_LOGS:-$XDG_RUNTIME_DIR/logs}"

# The sway socket that answers: SWAYSOCK's, or one a sway started again made.
live_sway_socket() {
  local socket
  for socket in "${SWAYSOCK:-}" "$XDG_RUNTIME_DIR"/sway-ipc.*.sock; do
    [ -S "$socket" ] || continue
    if SWAYSOCK="$socket" swaymsg -t get_version >/dev/null 2>&1; then
      echo "$socket"
      return 0
    fi
  done
  return 1
}

is_ready() {
  local socket
  case "$service" in
    xvfb) xprop -root -len 0 _NET_SUPPORTED >/dev/null 2>&1 ;;
    session-bus)
      dbus-send --session --dest=org.freedesktop.DBus --type=method_call --print-reply \
        /org/freedesktop/DBus org.freedesktop.DBus.ListNames >/dev/null 2>&1 ;;
    a11y-bus)
      dbus-send --session --dest=org.a11y.Bus --type=method_call --print-reply \
        /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 &&
        xprop -root AT_SPI_BUS 2>/dev/null | grep -q unix: ;;
    openbox) xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" ;;
    sway) live_sway_socket >/dev/null ;;
    keyboard)
      socket="$(live_sway_socket)" &&
        SWAYSOCK="$socket" swaymsg -t get_inputs 2>/dev/null | grep -q '"type": "keyboard"' ;;
    *) usage ;;
  esac
}

group_of() {
  cat "$services_dir/$service.pgid" 2>/dev/null || { echo "desktop-service: no service $service" >&2; exit 1; }
}

kill_service() {
  local group
  group="$(group_of)"
  if [ "$#" -eq 0 ]; then
    kill -KILL -- "-$group" 2>/dev/null || true
    # Gone when the group has no process left.
    for _ in $(seq 1 $((readiness_deadline_s * 10))); do
      kill -0 -- "-$group" 2>/dev/null || return 0
      sleep 0.1
    done
    return 1
  fi
  # One process on the accessibility bus: the owner of a bus name there.
  local address pid
  address="$(dbus-send --session --dest=org.a11y.Bus --type=method_call --print-reply=literal \
    /org/a11y/bus org.a11y.Bus.GetAddress | tr -d ' ')"
  pid="$(dbus-send --bus="$address" --dest=org.freedesktop.DBus --type=method_call --print-reply=literal \
    /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" | awk '{print $2}')"
  if [ -z "$pid" ]; then
    echo "desktop-service: nothing owns $1 on the accessibility bus" >&2
    return 1
  fi
  kill -KILL "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
}

start_service() {
  local command
  command="$(cat "$services_dir/$service.cmd")"
  eval "setsid $command </dev/null >>\"\$log_dir/\$service.log\" 2>&1 &"
  echo "$!" >"$services_dir/$service.pgid"
  for _ in $(seq 1 $((readiness_deadline_s * 10))); do
    if is_ready; then return 0; fi
    sleep 0.1
  done
  echo "desktop-service: $service did not come back within ${readiness_deadline_s}s" >&2
  return 1
}

case "$action" in
  ready) is_ready ;;
  kill) kill_service "${@:3}" ;;
  start) start_service ;;
  *) usage ;;
esac
