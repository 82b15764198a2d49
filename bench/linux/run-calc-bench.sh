#!/usr/bin/env bash
# The helper's accessibility commands on a LibreOffice Calc sheet (GTK 3 plugin)
# in a virtual desktop: a 30-row CSV in a sheet that reports 1,048,576 rows by
# 16,384 columns. Per command the median latency and the D-Bus round trips
# (libmorvel_bus_call_counter.so preloaded), with cell B4 probed by name, beside
# the same with every read asked on its own (MORVEL_AX_SERIAL_READS=1), the two
# taking turns; then the answers a client gets from morvel_ax_helper for B4 and
# for "structure". Needs libreoffice-calc and libreoffice-gtk3.
#   bench/linux/run-calc-bench.sh [BUILD_DIR] [ROUNDS] [TURNS]
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$top/build}"
rounds="${2:-3}"
turns="${3:-3}"
if ! command -v soffice >/dev/null; then
  echo "LibreOffice is not installed (apt-get install libreoffice-calc libreoffice-gtk3)"
  exit 0
fi
exec "$top/scripts/with-virtual-desktop.sh" bash -c '
  set -euo pipefail
  build_dir="$1"
  top="$2"
  rounds="$3"
  turns="$4"
  out="$(mktemp -d)"
  "$top/bench/linux/calc-sheet.sh" start "$out"
  trap "\"$top/bench/linux/calc-sheet.sh\" stop \"$out\"; rm -rf \"$out\"" EXIT
  read -r b4x b4y < <("$top/bench/linux/calc-sheet.sh" centre B4)
  echo "load average after the start: $(cut -d" " -f1-3 /proc/loadavg)"
  counter="$build_dir/bench/linux/libmorvel_bus_call_counter.so"
  bench=("$build_dir/bench/linux/morvel_ax_bench" --rounds "$rounds" --point B4 "$b4x" "$b4y")
  for turn in $(seq 1 "$turns"); do
    LD_PRELOAD="$counter" "${bench[@]}" >"$out/ours.$turn"
    MORVEL_AX_SERIAL_READS=1 LD_PRELOAD="$counter" "${bench[@]}" >"$out/serial.$turn"
  done
  echo "== morvel_ax_helper (in-process, libatspi) on the sheet: median of $turns turns of $rounds rounds"
  echo "   (serial = every read asked on its own, MORVEL_AX_SERIAL_READS=1; rt = D-Bus round trips) =="
  awk -f "$top/bench/linux/side-by-side.awk" "$out"/ours.* "$out"/serial.*
  echo
  echo "== answers of morvel_ax_helper =="
  printf "%s\n" \
    "{\"id\":\"element-at B4\",\"cmd\":\"element-at\",\"x\":$b4x,\"y\":$b4y}" \
    "{\"id\":\"structure\",\"cmd\":\"structure\"}" |
    "$build_dir/app/morvel_ax_helper" |
    /usr/bin/python3 -c "
import json, sys
for line in sys.stdin:
    reply = json.loads(line)
    if reply[\"id\"] == \"structure\":
        rows = reply.get(\"rows\", [])
        print(\"structure: rowCount\", reply.get(\"rowCount\"), \"cells per row\", len(rows[0][\"cells\"]) if rows else 0)
        for row in rows[:6]:
            print(\"  row\", row[\"index\"], [cell.get(\"value\") for cell in row[\"cells\"][:5]])
    else:
        print(reply[\"id\"] + \":\", json.dumps({k: reply.get(k) for k in (\"role\", \"title\", \"value\")}))
"
' run-calc-bench "$build_dir" "$top" "$rounds" "$turns"
