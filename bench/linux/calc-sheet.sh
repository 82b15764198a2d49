#!/usr/bin/env bash
# A LibreOffice Calc sheet (GTK 3 plugin) on the current desktop, for the Calc
# benchmark and tests: a generated 30-row CSV, opened without the import dialog
# in a fresh user profile.
#   calc-sheet.sh start DIR   writes DIR/sheet.csv, starts Calc on it with its
#                             profile in DIR, waits until the sheet's window is
#                             active and its table is on the accessibility bus
#   calc-sheet.sh stop DIR    stops that Calc (its process group)
#   calc-sheet.sh centre CELL prints the screen centre "X Y" of a cell ("B4")
#   calc-sheet.sh bottom      moves to the sheet's last row (Ctrl+Down twice from
#                             A1), waits until it shows and prints the cell under
#                             the table's top-left corner ("A1048528")
#   calc-sheet.sh top         moves back to A1 (Ctrl+Home) and waits until it shows
# The sheet: a header row "Id,Name,Quantity,Price", then rows "N,Item N,..." for
# N from 0 to 28, so that cell B4 holds "Item 2".
set -euo pipefail

# A cold start with a fresh profile on a loaded machine takes about a minute.
startup_seconds=180

write_sheet() {
  {
    echo "Id,Name,Quantity,Price"
    for n in $(seq 0 28); do
      echo "$n,Item $n,$((n * 3 + 1)),$((n + 2)).50"
    done
  } >"$1"
}

# The sheet's table, found by the Python snippets below (prepended to each).
find_table_py='
import sys
import time
import pyatspi

def find_table(accessible, depth=0):
    if depth > 12:
        return None
    if accessible.getRole() == pyatspi.ROLE_TABLE:
        return accessible
    if accessible.childCount > 200:  # a sheet'"'"'s table sits in small panels
        return None
    for child in accessible:
        if child is not None and (found := find_table(child, depth + 1)) is not None:
            return found
    return None

def sheet_table():
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and "soffice" in (application.name or "").lower():
            if (table := find_table(application)) is not None:
                return table
    sys.exit(1)
'

# The cell's extents through the Table interface of the sheet's table.
cell_centre() {
  /usr/bin/python3 -c "$find_table_py"'
name = sys.argv[1]
column = ord(name[0].upper()) - ord("A")
row = int(name[1:]) - 1
extents = sheet_table().queryTable().getAccessibleAt(row, column).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
print(extents.x + extents.width / 2, extents.y + extents.height / 2)
' "$1"
}

# Presses keys (X keycodes, comma-separated) with Control held, through the
# accessibility registry; then waits until the cell under the table's top-left
# corner is A1 ("home") or is not ("away"), and prints its name.
press_and_wait() {
  /usr/bin/python3 -c "$find_table_py"'
CONTROL = 37
keys = [int(key) for key in sys.argv[1].split(",")]
want_home = sys.argv[2] == "home"
registry = pyatspi.Registry
registry.generateKeyboardEvent(CONTROL, None, pyatspi.KEY_PRESS)
for key in keys:
    registry.generateKeyboardEvent(key, None, pyatspi.KEY_PRESSRELEASE)
registry.generateKeyboardEvent(CONTROL, None, pyatspi.KEY_RELEASE)
table = sheet_table()
for _ in range(100):
    extents = table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    corner = table.queryComponent().getAccessibleAtPoint(extents.x + 2, extents.y + 2, pyatspi.DESKTOP_COORDS)
    if corner is not None and (corner.name == "A1") == want_home:
        print(corner.name)
        sys.exit(0)
    time.sleep(0.1)
sys.exit(1)
' "$1" "$2"
}

active_title() {
  local id
  id="$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | awk '{print $5}')"
  [ -n "$id" ] && [ "$id" != "0x0" ] && xprop -id "$id" WM_NAME 2>/dev/null
}

start() {
  local dir="$1"
  mkdir -p "$dir"
  write_sheet "$dir/sheet.csv"
  # Comma-separated, double-quoted, UTF-8, from line 1: no import dialog.
  setsid env SAL_USE_VCLPLUGIN=gtk3 soffice --calc --norestore --nologo --nodefault \
    "-env:UserInstallation=file://$dir/profile" --infilter="CSV:44,34,76,1" "$dir/sheet.csv" \
    >"$dir/soffice.log" 2>&1 &
  echo $! >"$dir/soffice.pid"
  local started=$SECONDS
  until active_title | grep -q "sheet.csv" && cell_centre A1 >/dev/null 2>&1; do
    if ((SECONDS - started > startup_seconds)); then
      echo "Calc did not come up in ${startup_seconds} s" >&2
      return 1
    fi
    sleep 0.5
  done
  echo "Calc up after $((SECONDS - started)) s"
}

stop() {
  local pid
  pid="$(cat "$1/soffice.pid" 2>/dev/null)" || return 0
  kill -- "-$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do
    kill -0 -- "-$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL -- "-$pid" 2>/dev/null || true
}

case "${1:-}" in
  start) start "$2" ;;
  stop) stop "$2" ;;
  centre) cell_centre "$2" ;;
  # Control+Down twice: to the end of the filled rows, then to the last row.
  bottom) press_and_wait 116,116 away ;;
  top) press_and_wait 110 home ;;
  *)
    echo "usage: calc-sheet.sh start DIR | stop DIR | centre CELL | bottom | top" >&2
    exit 2
    ;;
esac
