#!/usr/bin/env bash
# Side-by-side benchmark of the helper's accessibility commands and a pyatspi
# client doing the same walks, on gtk3-widget-factory in a virtual desktop, in
# one run. Both sides run with libmorvel_bus_call_counter.so preloaded, which
# counts the D-Bus round trips each makes. The two sides take turns, five runs
# each, so that a change in the machine's load falls on both; each figure is the
# median of a side's five per-run medians.
#   bench/linux/run-ax-bench.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
exec "$top/scripts/with-virtual-desktop.sh" bash -c '
  set -euo pipefail
  build_dir="$1"
  top="$2"
  turns=5
  gtk3-widget-factory >/dev/null 2>&1 &
  factory=$!
  out="$(mktemp -d)"
  trap "kill $factory 2>/dev/null || true; wait $factory 2>/dev/null || true; rm -rf $out" EXIT
  for _ in $(seq 1 100); do
    xprop -root _NET_ACTIVE_WINDOW | grep -q "window id # 0x[1-9a-f]" && break
    sleep 0.1
  done
  sleep 1  # let the first layout settle
  counter="$build_dir/bench/linux/libmorvel_bus_call_counter.so"
  for turn in $(seq 1 "$turns"); do
    LD_PRELOAD="$counter" "$build_dir/bench/linux/morvel_ax_bench" >"$out/ours.$turn"
    LD_PRELOAD="$counter" /usr/bin/python3 -u "$top/bench/linux/pyatspi_walks.py" >"$out/pyatspi.$turn"
  done
  echo "== morvel_ax_helper (in-process, libatspi), last turn =="
  cat "$out/ours.$turns"
  echo "== pyatspi client, last turn =="
  cat "$out/pyatspi.$turns"
  echo
  echo "== side by side: median of $turns turns (ratio = ours / pyatspi latency; rt = D-Bus round trips) =="
  awk '"'"'
    function field(line, key,    n, parts, i, kv) {
      n = split(line, parts, " ")
      for (i = 2; i <= n; i++) { split(parts[i], kv, "="); if (kv[1] == key) return kv[2] }
      return ""
    }
    function middle(list,    n, values, i, j, t) {
      n = split(list, values, " ")
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (values[j] + 0 < values[i] + 0) { t = values[i]; values[i] = values[j]; values[j] = t }
      return values[int((n + 1) / 2)]
    }
    {
      side = (FILENAME ~ /pyatspi/) ? "py" : "ours"
      name = $1
      if (side == "ours" && !(name in seen)) { seen[name] = 1; order[++count] = name }
      times[side, name] = times[side, name] " " field($0, "median_us")
      trips[side, name] = field($0, "round_trips")
      found[side, name] = field($0, "found")
    }
    END {
      printf "%-14s %10s %10s %6s %8s %8s %6s %6s\n", "command", "ours_us", "py_us", "ratio", "ours_rt", "py_rt", "ours", "py"
      for (i = 1; i <= count; i++) {
        name = order[i]
        if (!(("py", name) in trips)) continue
        a = middle(times["ours", name]); b = middle(times["py", name])
        printf "%-14s %10s %10s %6.2f %8s %8s %6s %6s\n", name, a, b, (b > 0 ? a / b : 0), \
          trips["ours", name], trips["py", name], found["ours", name], found["py", name]
      }
    }'"'"' "$out"/ours.* "$out"/pyatspi.*
' run-ax-bench "$build_dir" "$top"
