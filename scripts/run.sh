#!/usr/bin/env bash
# Builds morvel_ax_helper and runs it on this terminal: one JSON request per
# line in, one reply per line out. On a desktop (WAYLAND_DISPLAY or DISPLAY set)
# it looks at that desktop; without one it starts a virtual desktop with the sample contacts
# application in front, and tears it down when the helper ends.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"

"$top/scripts/build.sh" >&2
helper="$build_dir/app/morvel_ax_helper"
if [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${DISPLAY:-}" ]; then
  exec "$helper"
fi
exec "$top/scripts/with-virtual-desktop.sh" "$top/scripts/sample-session.sh" "$helper" \
  "$build_dir/examples/apps/morvel_contacts_app"
