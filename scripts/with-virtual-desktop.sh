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

screen_geometry="${MORVEL_SCREEN_GEOMETRY:-1920x1080x24}"
service_control="$(cd "$(dirname "$0")" && pwd)/desktop-service.sh"
runtime_prefix=morvel-desktop
source "$(dirname "$0")/desktop-common.sh"

# Xvfb picks a free display itself and writes its number to the fd it is given.
display_file="$runtime_dir/display"
start_service xvfb bash -c 'exec Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$2"' \
  xvfb "$screen_geometry" "$display_file"
wait_for "Xvfb" test -s "$display_file"
export DISPLAY=":$(head -n1 "$display_file")"
# Started again, the server takes the same number.
printf '%q ' Xvfb "$DISPLAY" -screen 0 "$screen_geometry" -nolisten tcp -noreset >"$services_dir/xvfb.cmd"

export_session_environment
export GDK_BACKEND=x11

start_buses
# Clients find the accessibility bus through the root window's property.
wait_for "the accessibility bus's address on the display" "$service_control" ready a11y-bus

start_service openbox openbox --sm-disable
wait_for "openbox" "$service_control" ready openbox

run_in_desktop "$@"
