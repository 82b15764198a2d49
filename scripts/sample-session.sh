#!/usr/bin/env bash
# sample-session.sh HELPER APPLICATION
#
# Inside a desktop: starts the sample contacts application, waits until its
# window is up and in front, then runs the helper on this terminal. The
# application is stopped by its process id when the helper ends.
set -euo pipefail
helper="$1"
app="$2"
ready_deadline_s=20

work_dir="$(mktemp -d /tmp/morvel-sample.XXXXXX)"
mkfifo "$work_dir/commands"
# Held open for the application's whole life: it quits at end of its input.
exec 3<>"$work_dir/commands"
"$app" <&3 >"$work_dir/app.out" 2>"$work_dir/app.err" &
app_pid=$!
cleanup() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  exec 3>&-
  rm -rf "$work_dir"
}
trap cleanup EXIT

for _ in $(seq 1 $((ready_deadline_s * 10))); do
  grep -q '^ready$' "$work_dir/app.out" && break
  kill -0 "$app_pid" 2>/dev/null || { echo "sample application failed to start" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready$' "$work_dir/app.out" || { echo "sample application did not show its window" >&2; exit 1; }

cat >&2 <<'HINT'
morvel_ax_helper is reading this terminal; the "Contacts" sample window is in front.
Type one JSON request per line, for example:
  {"id":1,"cmd":"ping"}
  {"id":2,"cmd":"focused"}
  {"id":3,"cmd":"element-at","x":760,"y":320}
End with Ctrl-D.
HINT
"$helper"
