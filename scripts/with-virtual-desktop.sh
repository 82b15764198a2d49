#!/usr/bin/env bash
# with-virtual-desktop.sh CMD [ARG...]
#
# Runs CMD on a throw-away desktop of its own: Xvfb on a free display, a private
# runtime directory, a session bus, the accessibility bus with its registry, and
# openbox as window manager. CMD inherits the terminal's stdin and stdout and the
# environment that reaches the desktop (DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR). When CMD ends, every process started here is stopped by its
# process group id and the runtime directory is removed; the exit status is CMD's.
#
# Logs of the desktop's services go to $XDG_RUNTIME_DIR/logs while it runs;
# set MORVEL_DESKTOP_LOGS=DIR to keep them in DIR instead.
# MORVEL_SCREEN_GEOMETRY=WxHxDEPTH sizes the screen (default 1920x1080x24), for
# tests that need room for windows of scaled applications.
#
# Each service's process group and the command that starts it again are kept in
# $XDG_RUNTIME_DIR/services, so that a test can stop a service and bring it back
# (scripts/desktop-service.sh); the teardown stops whatever runs then.
set -euo pipefail

if [ "$#" -eq 0 ]; then
  echo "usage: $0 CMD [ARG...]" >&2
  exit 2
fi

screen_geometry="${MORVEL_SCREEN_GEOMETRY:-1920x1080x24}"
service_control="$(cd "$(dirname "$0")" && pwd)/desktop-service.sh"
startup_deadline_s=20

runtime_dir="$(mktemp -d /tmp/morvel-desktop.XXXXXX)"
chmod 700 "$runtime_dir"
log_dir="${MORVEL_DESKTOP_LOGS:-$runtime_dir/logs}"
mkdir -p "$log_dir"
services_dir="$runtime_dir/services"
mkdir -p "$services_dir"
service_names=()

# Every service runs in a session (and process group) of its own, so that the
# children it spawns (the accessibility bus daemon, the registry) go down with it.
start_service() {
  local name="$1"
  shift
  setsid "$@" </dev/null >>"$log_dir/$name.log" 2>&1 &
  echo "$!" >"$services_dir/$name.pgid"
  printf '%q ' "$@" >"$services_dir/$name.cmd"
  service_names+=("$name")
}

teardown() {
  local status=$?
  local group name
  local groups=()
  for ((i = ${#service_names[@]} - 1; i >= 0; i--)); do
    name="${service_names[$i]}"
    group="$(cat "$services_dir/$name.pgid" 2>/dev/null || true)"
    [ -n "$group" ] || continue
    groups+=("$group")
    kill -TERM -- "-$group" 2>/dev/null || true
  done
  for group in "${groups[@]}"; do
    for _ in $(seq 1 50); do
      kill -0 -- "-$group" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$group" 2>/dev/null || true
  done
  rm -rf "$runtime_dir"
  exit "$status"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Polls CHECK (a command) every 100 ms until it succeeds or the deadline passes.
wait_for() {
  local what="$1"
  shift
  local tries=$((startup_deadline_s * 10))
  for _ in $(seq 1 "$tries"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "with-virtual-desktop: $what did not come up within ${startup_deadline_s}s (logs in $log_dir)" >&2
  return 1
}

# Xvfb picks a free display itself and writes its number to the fd it is given.
display_file="$runtime_dir/display"
start_service xvfb bash -c 'exec Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$2"' \
  xvfb "$screen_geometry" "$display_file"
wait_for "Xvfb" test -s "$display_file"
export DISPLAY=":$(head -n1 "$display_file")"
# Started again, the server takes the same number.
printf '%q ' Xvfb "$DISPLAY" -screen 0 "$screen_geometry" -nolisten tcp -noreset >"$services_dir/xvfb.cmd"

export XDG_RUNTIME_DIR="$runtime_dir"
export XDG_CACHE_HOME="$runtime_dir/cache"
export XDG_CONFIG_HOME="$runtime_dir/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime_dir/bus"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=0
export GTK_A11Y=atspi
export GDK_BACKEND=x11
unset WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS SESSION_MANAGER

start_service session-bus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
wait_for "the session bus" "$service_control" ready session-bus

# Started here rather than by bus activation, so that it belongs to a group we stop.
start_service a11y-bus /usr/libexec/at-spi-bus-launcher --launch-immediately
wait_for "the accessibility bus" "$service_control" ready a11y-bus

start_service openbox openbox --sm-disable
wait_for "openbox" "$service_control" ready openbox

set +e
"$@"
status=$?
set -e
exit "$status"
