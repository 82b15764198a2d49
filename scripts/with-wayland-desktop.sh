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
# A test can stop a service (sway, keyboard, ...) and bring it back through
# scripts/desktop-service.sh.
set -euo pipefail

# MORVEL_OUTPUT_SCALE=N gives the output N pixels per point, with the same
# logical size (1920x1080 points).
output_scale="${MORVEL_OUTPUT_SCALE:-1}"
output_mode="$((1920 * output_scale))x$((1080 * output_scale))"
runtime_prefix=morvel-wayland
source "$(dirname "$0")/desktop-common.sh"

as_compositor_user=()
if [ "$(id -u)" -eq 0 ]; then
  compositor_user="${MORVEL_WAYLAND_USER:-nobody}"
  chown "$compositor_user" "$runtime_dir" "$log_dir"
  as_compositor_user=(setpriv "--reuid=$compositor_user" "--regid=$(id -g "$compositor_user")" --clear-groups)
fi

export_session_environment
export SWAYSOCK="$runtime_dir/sway-ipc.sock"
unset DISPLAY GDK_BACKEND QT_QPA_PLATFORM

start_buses

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
# Xwayland belongs to the compositor's user and lets no one else in: the
# session's own user is let in, as on a desktop where both are one.
if [ "${#as_compositor_user[@]}" -gt 0 ]; then
  swaymsg exec "xhost +si:localuser:$(id -un) > $runtime_dir/xhost.done" >/dev/null
  wait_for "X clients let into Xwayland" test -s "$runtime_dir/xhost.done"
fi

# A held virtual keyboard: without a keyboard on the seat no toolkit marks its
# window active. The sleep is the longest wtype accepts (milliseconds).
start_service keyboard wtype -s 2147483647
wait_for "the virtual keyboard" sh -c 'swaymsg -t get_inputs | grep -q "\"type\": \"keyboard\""'

run_in_desktop "$@"
