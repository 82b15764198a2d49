#!/usr/bin/env bash
# Side-by-side benchmark of the helper's accessibility commands and a pyatspi
# client doing the same walks, on one application in a virtual desktop, in one
# run. Both sides run with libmorvel_bus_call_counter.so preloaded, which counts
# the D-Bus round trips each makes. The two sides take turns, so that a change in
# the machine's load falls on both; each figure is the median of a side's
# per-turn medians.
#   bench/linux/run-ax-bench.sh [BUILD_DIR] [APPLICATION]
# APPLICATION: gtk3 (gtk3-widget-factory, the default), gtk4 (gtk4-widget-factory,
# one measured round a turn, for structure reads its text from the screen),
# featherpad (Qt 5), chromium or firefox (a generated page of about 4,000
# elements: 60 labelled fields and a 400-row table with a button per row; fewer
# rounds, for the pyatspi side takes seconds a walk).
# MORVEL_BENCH_TURNS sets how many turns each side takes (5, 3 for the browsers),
# so that a slow application (GTK 4 under load) can be measured in fewer.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
application="${2:-gtk3}"
case "${MORVEL_BENCH_TURNS-1}" in
  "" | *[!0-9]* | 0*)
    echo "MORVEL_BENCH_TURNS must be a positive number of turns, not \"$MORVEL_BENCH_TURNS\"" >&2
    exit 2
    ;;
esac
exec "$top/scripts/with-virtual-desktop.sh" bash -c '
  set -euo pipefail
  build_dir="$1"
  top="$2"
  application="$3"
  out="$(mktemp -d)"
  page="file://$top/bench/linux/pages/web-scale.html"
  turns=5
  options=()
  title=""
  on_bus=""
  case "$application" in
    gtk3)
      gtk3-widget-factory >/dev/null 2>&1 &
      ;;
    gtk4)
      # cairo draws the first frame at once; GL on a software renderer takes long.
      GSK_RENDERER=cairo gtk4-widget-factory >/dev/null 2>&1 &
      # structure reads the text of the window from the screen, seconds a round.
      options=(--rounds 1)
      title="Widget Factory"
      on_bus=1
      ;;
    featherpad)
      printf "Notes from Qt\nsecond line\n" >"$out/notes.txt"
      QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb featherpad --standalone "$out/notes.txt" >/dev/null 2>&1 &
      title="notes.txt"
      on_bus=1
      ;;
    chromium)
      # Chromium joins the accessibility bus only when told to; --test-type keeps
      # the late infobar about --no-sandbox off the page.
      ACCESSIBILITY_ENABLED=1 chromium --no-sandbox --test-type --force-renderer-accessibility \
        --no-first-run --disable-gpu --user-data-dir="$out/profile" --app="$page" >/dev/null 2>&1 &
      turns=3
      options=(--rounds 3 --find-button "Open 200")
      title="Morvel web-scale page"
      ;;
    firefox)
      # A fresh profile that forces accessibility on, with none of the first-run
      # pages or bars; MOZ_HEADLESS unset, not empty: Firefox draws no window while
      # the variable is set at all.
      mkdir -p "$out/profile"
      printf "%s\n" "user_pref(\"accessibility.force_disabled\", -1);" \
        "user_pref(\"browser.shell.checkDefaultBrowser\", false);" \
        "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);" \
        "user_pref(\"datareporting.policy.dataSubmissionPolicyBypassNotification\", true);" \
        "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);" \
        "user_pref(\"browser.aboutwelcome.enabled\", false);" \
        "user_pref(\"browser.sessionstore.resume_from_crash\", false);" \
        "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");" >"$out/profile/user.js"
      env -u MOZ_HEADLESS GNOME_ACCESSIBILITY=1 firefox-esr --no-remote --new-instance --profile "$out/profile" "$page" \
        >/dev/null 2>&1 &
      turns=3
      options=(--rounds 3 --find-button "Open 200")
      title="Morvel web-scale page"
      ;;
    *)
      echo "unknown application: $application (gtk3, gtk4, featherpad, chromium or firefox)" >&2
      exit 2
      ;;
  esac
  app=$!
  turns="${MORVEL_BENCH_TURNS:-$turns}"
  cleanup() {
    local status=$?
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    # A side that could not start (no front window) says why.
    [ "$status" -eq 0 ] || tail -n 3 "$out"/*.* 2>/dev/null || true
    rm -rf "$out"
  }
  trap cleanup EXIT
  for _ in $(seq 1 300); do
    xprop -root _NET_ACTIVE_WINDOW | grep -q "window id # 0x[1-9a-f]" && break
    sleep 0.1
  done
  # Until the front window has its title (the first window of a browser may come
  # up before the page) and the application is on the accessibility bus (GTK 4
  # joins it late), then a little longer for the layout to settle.
  for _ in $(seq 1 1800); do
    window="$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n "s/.*window id # \(0x[0-9a-f]*\).*/\1/p" || true)"
    [ -z "$title" ] && break
    [ -n "$window" ] && xprop -id "$window" _NET_WM_NAME 2>/dev/null | grep -q "$title" &&
      { [ -z "$on_bus" ] || /usr/bin/python3 -c "import pyatspi, sys; sys.exit(not any(a is not None and a.get_process_id() == $app for a in pyatspi.Registry.getDesktop(0)))" 2>/dev/null; } &&
      break
    sleep 0.1
  done
  sleep 3
  counter="$build_dir/bench/linux/libmorvel_bus_call_counter.so"
  for turn in $(seq 1 "$turns"); do
    LD_PRELOAD="$counter" "$build_dir/bench/linux/morvel_ax_bench" "${options[@]}" >"$out/ours.$turn"
    MORVEL_AX_SERIAL_READS=1 LD_PRELOAD="$counter" "$build_dir/bench/linux/morvel_ax_bench" "${options[@]}" \
      >"$out/serial.$turn"
    LD_PRELOAD="$counter" /usr/bin/python3 -u "$top/bench/linux/pyatspi_walks.py" "${options[@]}" >"$out/pyatspi.$turn"
  done
  echo "== morvel_ax_helper (in-process, libatspi), last turn =="
  cat "$out/ours.$turns"
  echo "== pyatspi client, last turn =="
  cat "$out/pyatspi.$turns"
  echo
  echo "== side by side: median of $turns turns (ratio = ours / pyatspi latency; walk = ours / pyatspi full walk;"
  echo "   serial = ours with every read asked on its own, MORVEL_AX_SERIAL_READS=1; rt = D-Bus round trips) =="
  awk -f "$top/bench/linux/side-by-side.awk" "$out"/ours.* "$out"/serial.* "$out"/pyatspi.*
' run-ax-bench "$build_dir" "$top" "$application"
