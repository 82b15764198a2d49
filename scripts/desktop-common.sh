# Sourced by scripts/with-virtual-desktop.sh and scripts/with-wayland-desktop.sh
# (the caller's arguments are the command to run; it sets runtime_prefix first).
#
# Makes the throw-away runtime directory, starts services in sessions (and
# process groups) of their own and stops them in reverse order when the wrapper
# exits, then removes the runtime directory; the exit status is the command's.
# Each service's process group and the command that starts it again are kept in
# $XDG_RUNTIME_DIR/services (scripts/desktop-service.sh reads them).

if [ "$#" -eq 0 ]; then
  echo "usage: $0 CMD [ARG...]" >&2
  exit 2
fi

desktop_tool="$(basename "$0" .sh)"
startup_deadline_s=20

runtime_dir="$(mktemp -d "/tmp/$runtime_prefix.XXXXXX")"
chmod 700 "$runtime_dir"
log_dir="${MORVEL_DESKTOP_LOGS:-$runtime_dir/logs}"
mkdir -p "$log_dir"
services_dir="$runtime_dir/services"
mkdir -p "$services_dir"
service_names=()

# The children a service spawns (Xwayland, the accessibility bus daemon, the
# registry) share its process group and go down with it.
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
  echo "$desktop_tool: $what did not come up within ${startup_deadline_s}s (logs in $log_dir)" >&2
  return 1
}

export_session_environment() {
  export XDG_RUNTIME_DIR="$runtime_dir"
  export XDG_CACHE_HOME="$runtime_dir/cache"
  export XDG_CONFIG_HOME="$runtime_dir/config"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime_dir/bus"
  export GSETTINGS_BACKEND=memory
  export NO_AT_BRIDGE=0
  export GTK_A11Y=atspi
  unset WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS SESSION_MANAGER
}

bus_answers() {
  dbus-send --session "--dest=$1" --type=method_call --print-reply "$2" "$3"
}

# The accessibility bus is started here rather than by bus activation, so that
# it belongs to a group we stop.
start_buses() {
  start_service session-bus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
  wait_for "the session bus" bus_answers org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListNames
  start_service a11y-bus /usr/libexec/at-spi-bus-launcher --launch-immediately
  wait_for "the accessibility bus" bus_answers org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress
}

run_in_desktop() {
  local status=0
  "$@" || status=$?
  exit "$status"
}
