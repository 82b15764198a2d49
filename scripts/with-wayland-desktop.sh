#!/usr/bin/env bash
# with-wayland-desktop.sh CMD [ARG...]
#
# Runs CMD in a throw-away Wayland session of its own: a private runtime
# directory, a session bus, the accessibility bus with its registry, sway on the
# headless backend (software rendering, no input devices) with Xwayland, and a
# virtual keyboard on the seat so that the focused window is active for the
# toolkits. CMD gets WAYLAND_DISPLAY, SWAYSOCK, DISPLAY (Xwayland),
# DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR. When CMD ends, every process
# started here is stopped by its process group id and the runtime directory is
# removed; the exit status is CMD's.
#
# sway refuses to run as root: when started by root, the compositor runs as
# MORVEL_WAYLAND_USER (default nobody), which owns the runtime directory.
# Logs go to $XDG_RUNTIME_DIR/logs; set MORVEL_DESKTOP_LOGS=DIR to keep them.
#
# Each service's process group and the command that starts it again are kept in
# $XDG_RUNTIME_DIR/services, so that a test can stop a service and bring it back
# (scripts/desktop-service.sh); the teardown stops whatever runs then.
set -euo pipefail

if [ "$#" -eq 0 ]; then
  echo "usage: $0 CMD [ARG...]" >&2
  exit 2
fi

# MORVEL_OUTPUT_SCALE=N gives the output N pixels per point, with the same
# logical size (1920x1080 points).
output_scale="${MORVEL_OUTPUT_SCALE:-1}"
output_mode="$((1920 * output_scale))x$((1080 * output_scale))"
startup_deadline_s=20

runtime_dir="$(mktemp -d /tmp/morvel-wayland.XXXXXX)"
chmod 700 "$runtime_dir"
log_dir="${MORVEL_DESKTOP_LOGS:-$runtime_dir/logs}"
mkdir -p "$log_dir"
services_dir="$runtime_dir/services"
mkdir -p "$services_dir"
service_names=()

as_compositor_user=()
if [ "$(id -u)" -eq 0 ]; then
  compositor_user="${MORVEL_WAYLAND_USER:-nobody}"
  chown "$compositor_user" "$runtime_dir" "$log_dir"
  as_compositor_user=(setpriv "--reuid=$compositor_user" "--regid=$(id -g "$compositor_user")" --clear-groups)
fi

# Every service runs in a session (and process group) of its own, so that the
# children it spawns (Xwayland, the accessibility bus daemon) go down with it.
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
  echo "with-wayland-desktop: $what did not come up within ${startup_deadline_s}s (logs in $log_dir)" >&2
  return 1
}

export XDG_RUNTIME_DIR="$runtime_dir"
export XDG_CACHE_HOME="$runtime_dir/cache"
export XDG_CONFIG_HOME="$runtime_dir/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime_dir/bus"
export SWAYSOCK="$runtime_dir/sway-ipc.sock"
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=0
export GTK_A11Y=atspi
unset DISPLAY WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS SESSION_MANAGER GDK_BACKEND QT_QPA_PLATFORM

start_service session-bus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
wait_for "the session bus" dbus-send --session --dest=org.freedesktop.DBus --type=method_call --print-reply \
  /org/freedesktop/DBus org.freedesktop.DBus.ListNames

start_service a11y-bus /usr/libexec/at-spi-bus-launcher --launch-immediately
wait_for "the accessibility bus" dbus-send --session --dest=org.a11y.Bus --type=method_call --print-reply \
  /org/a11y/bus org.a11y.Bus.GetAddress

# Windows float at the size they ask for, as on a desktop, rather than tiling
# (a tiled GTK 3 window drops its client-side shadow).
sway_config="$runtime_dir/sway.config"
cat >"$sway_config" <<CONFIG
output * mode $output_mode scale $output_scale position 0 0 background #3a3a3a solid_color
xwayland enable
for_window [app_id=".*"] floating enable
for_window [class=".*"] floating enable
CONFIG
chmod 644 "$sway_config"

start_service sway env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  "${as_compositor_user[@]}" sway --config "$sway_config"
wait_for "sway" swaymsg -t get_version
socket="$(cd "$runtime_dir" && ls wayland-[0-9]* 2>/dev/null | grep -v '\.lock$' | head -n1)"
export WAYLAND_DISPLAY="$socket"

# Xwayland's display as sway hands it to its own children.
display_file="$runtime_dir/xwayland-display"
swaymsg exec "printenv DISPLAY > $display_file" >/dev/null
wait_for "Xwayland's display" test -s "$display_file"
export DISPLAY="$(head -n1 "$display_file")"

# A held virtual keyboard: without a keyboard on the seat no toolkit marks its
# window active. The sleep is the longest wtype accepts (milliseconds).
start_service keyboard wtype -s 2147483647
wait_for "the virtual keyboard" sh -c 'swaymsg -t get_inputs | grep -q "\"type\": \"keyboard\""'

set +e
"$@"
status=$?
set -e
exit "$status"
