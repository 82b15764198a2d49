#!/usr/bin/env bash
# with-gnome-desktop.sh CMD [ARG...]
#
# Runs CMD in a throw-away GNOME Shell session of its own: a private runtime
# directory, a session bus, a private system bus (the shell asks it for
# logind, accounts and more, and the machine's own is not ours), the
# accessibility bus, PipeWire with its session manager (for screen casts),
# gnome-shell as a headless Wayland compositor with one
# virtual monitor and the helper's extension enabled, and a virtual keyboard on
# the seat (scripts/gnome-virtual-keyboard.py) so that the focused window is
# active for the toolkits. CMD gets
# WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and
# MORVEL_GNOME_SESSION=1. When CMD ends,
# every process started here is stopped by its process group id and the
# runtime directory is removed; the exit status is CMD's.
#
# GNOME Shell is installed first when missing (scripts/bootstrap.sh --gnome).
# MORVEL_GNOME_EXTENSION=DIR is the extension to enable (default: the one in
# this checkout). The extension answers only the executables named in
# MORVEL_AX_HELPER_TRUSTED (default: this checkout's helper builds, the GNOME
# session tests, which compare the screen cast with the shell's PNG, and
# dbus-send, which the session tests ask for the shell's own view; any other
# caller, gdbus for one, is refused). Logs go to $XDG_RUNTIME_DIR/logs; set MORVEL_DESKTOP_LOGS=DIR
# to keep them. MORVEL_GNOME_FRACTIONAL_SCALES=1 turns on mutter's
# scale-monitor-framebuffer, which offers fractional monitor scales.
# MORVEL_GNOME_X11=1 runs GNOME's X11 session instead: gnome-shell as the
# window and compositing manager of a virtual X display (Xvfb, the monitor's
# size), CMD with DISPLAY and GDK_BACKEND=x11 and no WAYLAND_DISPLAY.
set -euo pipefail

top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/bootstrap.sh" --gnome
# Large enough that the monitor offers scale 2 (the session tests use it).
monitor="${MORVEL_GNOME_MONITOR:-2560x1600}"
extension_dir="${MORVEL_GNOME_EXTENSION:-$top/platform/linux/gnome/extension}"
extension_uuid=morvel-ax-helper@morvel.org
runtime_prefix=morvel-gnome
source "$(dirname "$0")/desktop-common.sh"

export_session_environment
unset DISPLAY GDK_BACKEND QT_QPA_PLATFORM SWAYSOCK
x11_session="${MORVEL_GNOME_X11:-0}"
if [ "$x11_session" = 1 ]; then export XDG_SESSION_TYPE=x11; else export XDG_SESSION_TYPE=wayland; fi
export XDG_CURRENT_DESKTOP=GNOME
export XDG_DATA_HOME="$runtime_dir/data"
build_dir="${BUILD_DIR:-$top/build}"
export MORVEL_AX_HELPER_TRUSTED="${MORVEL_AX_HELPER_TRUSTED:-$build_dir/app/morvel_ax_helper:$top/build-sanitize/app/morvel_ax_helper:$build_dir/tests/wayland/morvel_gnome_session_tests:/usr/bin/dbus-send}"
# Settings in a key file the shell and the applications share, so that the
# extension is enabled as a user would enable it; text carets stay still, so
# that two captures of an unchanged window are the same.
export GSETTINGS_BACKEND=keyfile
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings" "$XDG_DATA_HOME/gnome-shell/extensions"
cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<SETTINGS
[org/gnome/shell]
enabled-extensions=['$extension_uuid']
welcome-dialog-last-shown-version='999'
[org/gnome/desktop/interface]
toolkit-accessibility=true
cursor-blink=false
SETTINGS
if [ "${MORVEL_GNOME_FRACTIONAL_SCALES:-0}" = 1 ]; then
  printf '[org/gnome/mutter]\nexperimental-features=[%s]\n' "'scale-monitor-framebuffer'" \
    >>"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
fi
ln -s "$extension_dir" "$XDG_DATA_HOME/gnome-shell/extensions/$extension_uuid"
# The user's session, but without the overview it opens on at start, which
# would hide every window behind it and keep the focus.
# Modes are read from the system's data directories only.
modes_dir="$runtime_dir/system-data/gnome-shell/modes"
mkdir -p "$modes_dir"
echo '{"parentMode": "user", "hasOverview": false}' >"$modes_dir/morvel-test.json"
export XDG_DATA_DIRS="$runtime_dir/system-data:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"

system_bus_config="$runtime_dir/system-bus.conf"
cat >"$system_bus_config" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$runtime_dir/system-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONFIG
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime_dir/system-bus"
start_service system-bus dbus-daemon --nofork --nopidfile --config-file="$system_bus_config"
wait_for "the private system bus" dbus-send --system --dest=org.freedesktop.DBus --type=method_call --print-reply \
  /org/freedesktop/DBus org.freedesktop.DBus.ListNames

start_buses

# Screen casts go over PipeWire; its session manager links the streams.
start_service pipewire pipewire
wait_for "pipewire" test -S "$runtime_dir/pipewire-0"
start_service wireplumber wireplumber

if [ "$x11_session" = 1 ]; then
  display_file="$runtime_dir/display"
  start_service xvfb bash -c 'exec Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$2"' \
    xvfb "${monitor}x24" "$display_file"
  wait_for "Xvfb" test -s "$display_file"
  export DISPLAY=":$(head -n1 "$display_file")"
  start_service gnome-shell gnome-shell --mode=morvel-test --x11 --replace
else
  start_service gnome-shell gnome-shell --mode=morvel-test --headless --wayland --no-x11 \
    --virtual-monitor "$monitor" --wayland-display=wayland-0
fi
wait_for "gnome-shell" bus_answers org.gnome.Shell /org/gnome/Shell org.freedesktop.DBus.Peer.Ping
wait_for "the helper's extension" bus_answers org.morvel.AxHelper.Shell /org/morvel/AxHelper/Shell \
  org.freedesktop.DBus.Peer.Ping
if [ "$x11_session" = 1 ]; then
  export GDK_BACKEND=x11
  export MORVEL_GNOME_SESSION=1
  run_in_desktop "$@"
fi
export WAYLAND_DISPLAY=wayland-0

start_service keyboard "$top/scripts/gnome-virtual-keyboard.py"
wait_for "the virtual keyboard" grep -q "keyboard on the seat" "$log_dir/keyboard.log"
export MORVEL_GNOME_SESSION=1

run_in_desktop "$@"
