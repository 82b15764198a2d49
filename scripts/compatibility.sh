#!/usr/bin/env bash
# Runs the compatibility tests (every command on applications of other toolkits)
# on a throw-away virtual desktop and writes docs/compatibility.md from what they
# recorded: per application and command, "works" or how the command degrades.
# The build in build/ (or BUILD_DIR) must be current: scripts/build.sh.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"
tests="$build_dir/tests/integration/morvel_thirdparty_tests"
report="$top/docs/compatibility.md"

"$top/scripts/bootstrap.sh"
results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT
# A failing application still has its row: the table says what went wrong.
"$top/scripts/with-virtual-desktop.sh" "$tests" --gtest_output="xml:$results/results.xml" || true

python3 - "$results/results.xml" "$report" <<'PYTHON'
import datetime
import platform
import sys
import xml.etree.ElementTree as ElementTree

results, report = sys.argv[1], sys.argv[2]
commands = ["element-at", "selector-at then find", "focused", "fields", "structure", "fingerprint"]
rows = []
menus = []
popovers = []
spins = []
web_views = []
for case in ElementTree.parse(results).iter("testcase"):
    recorded = {p.get("name"): p.get("value") for p in case.iter("property")}
    # gtest writes a test's recorded properties as attributes of its case.
    recorded.update({k: v for k, v in case.attrib.items() if k in commands or k in ("application", "toolkit", "menus", "popover", "spin box", "web view")})
    failed = case.find("failure") is not None
    outcome = "fails" if failed else "works"
    if "menus" in recorded:
        menus.append(f"{recorded['application']} ({recorded['menus']}): {outcome}")
    if "popover" in recorded:
        popovers.append(f"{recorded['application']} ({recorded['popover']}): {outcome}")
    if "spin box" in recorded:
        spins.append(f"{recorded['application']} ({recorded['spin box']}): {outcome}")
    if "web view" in recorded:
        web_views.append(f"{recorded['application']} ({recorded['web view']}): {outcome}")
    if not all(key in recorded for key in commands):
        continue  # another test of the application, or one that did not run
    cells = [recorded.get(command, "?") for command in commands]
    if failed:
        cells = [cell if cell == "works" else cell + " (not as expected)" for cell in cells]
    rows.append([recorded["application"], recorded["toolkit"]] + cells)

with open(report, "w") as out:
    out.write("# Compatibility with other toolkits' applications\n\n")
    out.write("Written by `scripts/compatibility.sh` from the results of the compatibility tests\n"
              "(`tests/integration/ThirdPartyAppsTest.cpp`) on a virtual desktop (X11, openbox),\n"
              f"{datetime.date.today().isoformat()}, Debian's packages on {platform.machine()}.\n"
              "Each cell is what the command did with that application in front: \"works\" or how\n"
              "it degrades. found:false is the answer where the toolkit gives the helper no tree;\n"
              "\"screen text (no table)\" is `structure` reading the window's text from the screen.\n\n")
    out.write("| application | toolkit | " + " | ".join(f"`{c}`" if c != "selector-at then find" else "`selector-at` then `find`"
                                                  for c in commands) + " |\n")
    out.write("|" + "---|" * (len(commands) + 2) + "\n")
    for row in rows:
        out.write("| " + " | ".join(row) + " |\n")
    if menus:
        out.write("\n`element-at` on the items of menus opened from the menu bar, then of their\n"
                  "submenus, each answering the item with its frame: " + "; ".join(menus) + ".\n")
    if popovers:
        out.write("\n`element-at` on an item of an open popover, answering the item with its frame\n"
                  "(GTK 4 gives a popover a window of its own, GTK 3 draws it inside its window):\n"
                  + "; ".join(popovers) + ".\n")
    if spins:
        out.write("\nA spin box whose editor the toolkit lists as its child, listed once by `fields`,\n"
                  "hit by `element-at` and found again by `selector-at` then `find`: " + "; ".join(spins) + ".\n")
    if web_views:
        out.write("\nA page that WebKitGTK hangs into its application's window from another process:\n"
                  "`element-at` answers its element, found again by `selector-at` then `find`, and\n"
                  "`focused` answers it once tabbed to: "
                  + "; ".join(web_views) + ".\n")
PYTHON
echo "compatibility: wrote $report"
