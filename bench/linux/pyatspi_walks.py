#!/usr/bin/python3
"""The helper's walks done the way a dogtail-style pyatspi client does them, for
a side-by-side benchmark: per command the median latency, the number of pyatspi
calls made, and the D-Bus round trips they cost (counted by
libmorvel_bus_call_counter.so when it is preloaded, "-" without it). Each walk
reads what the helper's command reads to build the same reply: the same
elements, the same attributes, the same bounds; it compares AT-SPI roles
directly instead of mapping them onto AX names, and keeps nothing between reads
but the values in hand, as such a client does. Same output format as
morvel_ax_bench, and the same options (--rounds=N, --find-button=TITLE). It
also measures "walk": the whole tree of the front window read the way such a
client dumps it, role and name of every element, the yardstick for the
helper's walks on large trees. An element that does not answer within the
helper's own time-out per call is skipped with what lies below it, as the
helper skips it. Reports only; never fails on a time."""

import argparse
import collections
import ctypes
import hashlib
import re
import statistics
import time
import warnings

import gi
import pyatspi

gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib  # noqa: E402

WARMUP_ROUNDS = 1
PROBE_POINTS = [(0.25, 0.30), (0.50, 0.50), (0.75, 0.30), (0.30, 0.80), (0.60, 0.70)]
SEARCH_LEVELS = 4
STOP_ROLES = {pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW, pyatspi.ROLE_DIALOG, pyatspi.ROLE_SCROLL_PANE,
              pyatspi.ROLE_APPLICATION, pyatspi.ROLE_DOCUMENT_WEB}
PATH_END_ROLES = {pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW, pyatspi.ROLE_DIALOG, pyatspi.ROLE_APPLICATION}
LONGEST_PATH = 12
# Toolkits whose own hit test answers the deepest element under the point.
DEEP_HIT_TOOLKITS = {"Chromium", "Gecko"}
# No toolkit nests this deep; the bound stops a tree that answers with a cycle.
DEEPEST_HIT = 64
# The bounds of the helper's walks.
FIND_DEPTH, FIND_BUDGET = 35, 9000
CONTAINER_DEPTH, CONTAINER_BUDGET = 25, 5000
CONTAINER_ROLES = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST,
                   pyatspi.ROLE_LIST_BOX}
ROW_ROLES = {pyatspi.ROLE_TABLE_ROW, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TREE_ITEM}
MOST_ROWS, MOST_CELLS = 200, 40
BUTTON_DEPTH, BUTTON_BUDGET = 20, 4000
BUTTON_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_PUSH_BUTTON_MENU, pyatspi.ROLE_COMBO_BOX}
ADD_PATTERN = re.compile(r"\b(add|new|create|insert)\b|^\s*\+\s*$|plus", re.IGNORECASE)
FIELD_DEPTH, FIELD_BUDGET, MOST_FIELDS = 35, 9000, 120
FIELD_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON,
               pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TOGGLE_BUTTON,
               pyatspi.ROLE_RADIO_BUTTON}
CHECK_ROLES = {pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_RADIO_BUTTON}
LABEL_DEPTH, LABEL_BUDGET, MOST_LABELS, LONGEST_LABEL = 35, 6000, 400, 80
LARGEST_LEFT_GAP, LARGEST_ABOVE_GAP, OVERLAP_TOLERANCE = 320.0, 60.0, 4.0
DUMP_DEPTH, DUMP_BREADTH = 3, 12
CALL_TIMEOUT_MS = 2000


def round_trip_counter():
    try:
        counter = ctypes.CDLL(None).morvel_bus_round_trips
    except AttributeError:
        return None
    counter.restype = ctypes.c_uint64
    return counter


ROUND_TRIPS = round_trip_counter()


class Counter:
    calls = 0


def call(function, *args):
    Counter.calls += 1
    return function(*args)


def children(element, limit=None):
    try:
        count = call(lambda: element.childCount)
    except GLib.Error:
        return []
    if limit is not None:
        count = min(count, limit)
    found = []
    for index in range(count):
        try:
            child = call(element.getChildAtIndex, index)
        except GLib.Error:
            continue
        if child is not None:
            found.append(child)
    return found


def front_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        for window in children(app):
            if call(window.getState).contains(pyatspi.STATE_ACTIVE):
                return app, window
    return None, None


Box = collections.namedtuple("Box", "x y width height")
SCREEN_ORIGIN = (0, 0)


def extents(element, origin=SCREEN_ORIGIN):
    """Screen extents; `origin` is where the element's window lies on the screen
    for a toolkit that reports extents relative to its window."""
    try:
        box = call(call(element.queryComponent).getExtents, pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return None
    if box.x == -2147483648 or box.y == -2147483648:
        return None
    return Box(box.x + origin[0], box.y + origin[1], box.width, box.height)


def place_of(element, origin):
    """The extents; an element with none of its own that holds one element (GTK
    4's stack page) lies where that does."""
    try:
        call(element.queryComponent)
    except NotImplementedError:
        held = children(element, 2)
        return extents(held[0], origin) if len(held) == 1 else None
    return extents(element, origin)


def origin_of(app, window):
    """GTK 4 reports extents relative to its window, even asked for the screen's:
    there where the window in front lies on the screen, else none. The window
    system's window holds the toolkit's with its shadow around it, as wide on
    each side."""
    if call(lambda: app.toolkitName) != "GTK" or not call(lambda: app.toolkitVersion).startswith("4."):
        return SCREEN_ORIGIN
    with warnings.catch_warnings():
        # The active window is asked of the window manager (_NET_ACTIVE_WINDOW).
        warnings.simplefilter("ignore", DeprecationWarning)
        active = Gdk.Screen.get_default().get_active_window()
    inner = extents(window)
    if active is None or inner is None:
        return SCREEN_ORIGIN
    _, x, y = active.get_origin()
    outer = active.get_geometry()
    return (x + (outer.width - inner.width) // 2, y + (outer.height - inner.height) // 2)


def text_of(element):
    try:
        text = call(element.queryText)
    except NotImplementedError:
        return None
    return call(text.getText, 0, -1)


def value_of(element, role):
    if role in CHECK_ROLES:
        states = call(element.getState)
        return 1 if states.contains(pyatspi.STATE_CHECKED) or states.contains(pyatspi.STATE_PRESSED) else 0
    if role == pyatspi.ROLE_COMBO_BOX:
        return call(lambda: element.name)
    text = text_of(element)
    if text is not None:
        return text
    try:
        number = call(element.queryValue)
    except NotImplementedError:
        return None
    return call(lambda: number.currentValue)


def parent_of(element):
    """The parent as the helper's tree has it: a notebook's page hangs from the
    tab list, not from its tab (a tab holds nothing)."""
    parent = call(lambda: element.parent)
    if parent is not None and call(parent.getRole) == pyatspi.ROLE_PAGE_TAB:
        parent = call(lambda: parent.parent)
    return parent


def sibling_index(element):
    parent = parent_of(element)
    if parent is None:
        return 0
    role = call(element.getRole)
    position = 0
    for sibling in children(parent):
        if call(sibling.getRole) != role:
            continue
        if sibling == element:
            return position
        position += 1
    return 0


def descriptor(element, with_value):
    role = call(element.getRole)
    described = {"role": role,
                 "identifier": call(element.get_accessible_id),
                 "title": call(lambda: element.name),
                 "description": call(lambda: element.description),
                 "roleDescription": call(element.getLocalizedRoleName)}
    if with_value:
        described["value"] = value_of(element, role)
    described["index"] = sibling_index(element)
    return described


def describe(element, with_selection, origin=SCREEN_ORIGIN):
    reply = {"found": True}
    reply["role"] = call(element.getRole)
    reply["title"] = call(lambda: element.name)
    reply["description"] = call(lambda: element.description)
    try:
        text = call(element.queryText)
        reply["value"] = call(text.getText, 0, call(lambda: text.characterCount))
        if with_selection and call(text.getNSelections) > 0:
            start, end = call(text.getSelection, 0)
            reply["selectedText"] = call(text.getText, start, end)
    except NotImplementedError:
        pass
    if not with_selection:
        reply["enabled"] = call(element.getState).contains(pyatspi.STATE_ENABLED)
    reply["frame"] = place_of(element, origin)
    return reply


FOCUS_SEARCH_BUDGET = 2000


def searched_focus(window):
    """Without a Collection (Qt, GTK 4): the window's visible elements, breadth first."""
    pending = [window]
    unfocusable = None
    for _ in range(FOCUS_SEARCH_BUDGET):
        if not pending:
            break
        current = pending.pop(0)
        states = call(current.getState)
        if states.contains(pyatspi.STATE_FOCUSED):
            # Qt marks its current page tab focused, though the tab takes no focus.
            if states.contains(pyatspi.STATE_FOCUSABLE):
                return describe(current, True)
            unfocusable = unfocusable or current
        pending.extend(child for child in children(current) if call(child.getState).contains(pyatspi.STATE_VISIBLE))
    return describe(unfocusable, True) if unfocusable else {"found": False}


def focused():
    app, window = front_window()
    if app is None:
        return {"found": False}
    try:
        collection = call(app.queryCollection)
    except NotImplementedError:
        return searched_focus(window)
    rule = collection.createMatchRule(pyatspi.StateSet(pyatspi.STATE_FOCUSED), collection.MATCH_ALL, "",
                                      collection.MATCH_ALL, [], collection.MATCH_ALL, [], collection.MATCH_ALL, False)
    matches = call(collection.getMatches, rule, collection.SORT_ORDER_CANONICAL, 1, True)
    if not matches:
        return {"found": False}
    return describe(matches[0], True)


def contains(box, x, y):
    return box is not None and box.x <= x < box.x + box.width and box.y <= y < box.y + box.height


def child_by_extents(element, x, y, origin):
    """The topmost visible child of `element` whose extents hold the point. A
    child with no extents of its own (GTK 4's stack page) and a page tab (its page
    lies outside the tab) hold what lies under the point among their children."""
    found = None
    for child in children(element):
        try:
            call(child.queryComponent)
        except NotImplementedError:
            found = child_by_extents(child, x, y, origin) or found
            continue
        box = extents(child, origin)
        if box is not None and box.width > 0 and box.height > 0 and contains(box, x, y):
            if call(child.getState).contains(pyatspi.STATE_VISIBLE):
                found = child
        elif call(child.getRole) == pyatspi.ROLE_PAGE_TAB:
            found = child_by_extents(child, x, y, origin) or found
    return found


def answers_the_point(element, x, y, origin):
    """Whether a hit test's answer is shown and holds the point: a toolkit may
    answer with a hidden page's widget or one beside the point. GTK 4 (the one
    toolkit placed by its window's origin) never marks what it shows SHOWING."""
    if not contains(extents(element, origin), x, y):
        return False
    states = call(element.getState)
    marks_showing = origin == SCREEN_ORIGIN
    return states.contains(pyatspi.STATE_VISIBLE) and (states.contains(pyatspi.STATE_SHOWING) or not marks_showing)


def descend(window, x, y, origin, goes_deep):
    """The toolkit's own hit test while it goes deeper; where it stops at a
    container or answers nothing, the children's extents go on, unless the
    toolkit's hit test is known to go down to the deepest element itself;
    where its answer is not shown or not under the point, they go on too."""
    hit = window
    for _ in range(DEEPEST_HIT):
        deeper = call(call(hit.queryComponent).getAccessibleAtPoint, int(x) - origin[0], int(y) - origin[1],
                      pyatspi.DESKTOP_COORDS if origin == SCREEN_ORIGIN else pyatspi.WINDOW_COORDS)
        if deeper is None or deeper == hit:
            if goes_deep:
                break
            deeper = child_by_extents(hit, x, y, origin)
        elif not answers_the_point(deeper, x, y, origin):
            deeper = child_by_extents(hit, x, y, origin)
        if deeper is None:
            break
        hit = deeper
    return hit


def hit_test(x, y):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        for window in children(app):
            if not call(window.getState).contains(pyatspi.STATE_SHOWING):
                continue
            origin = origin_of(app, window)
            if contains(extents(window, origin), x, y):
                goes_deep = call(lambda: app.toolkitName) in DEEP_HIT_TOOLKITS
                return descend(window, x, y, origin, goes_deep), origin
    return None, None


def element_at(x, y):
    hit, origin = hit_test(x, y)
    if hit is None:
        return {"found": False}
    described, current = hit, hit
    for level in range(SEARCH_LEVELS + 1):
        if level > 0 and call(current.getRole) in STOP_ROLES:
            break
        name = call(lambda: current.description) or call(lambda: current.name)
        if name.strip():
            described = current
            break
        parent = parent_of(current)
        if parent is None:
            break
        current = parent
    return describe(described, False, origin)


def selector_at(x, y):
    hit, origin = hit_test(x, y)
    if hit is None:
        return {"found": False}
    path = []
    current = hit
    for step in range(LONGEST_PATH):
        path.append(descriptor(current, step == 0))
        if call(current.getRole) in PATH_END_ROLES:
            break
        parent = parent_of(current)
        if parent is None:
            break
        current = parent
    # Not part of the reply: the element the path leads to, for comparing answers.
    reply = {"found": True, "path": path, "hit": (hit, origin)}
    _, window = front_window()
    if window is not None:
        reply["windowTitle"] = call(lambda: window.name)
        reply["appName"] = reply["windowTitle"]
    return reply


def walk(element, roles, depth, max_depth, budget, visit):
    """Pre-order over the children, as the helper walks: one unit of budget per
    element examined; `visit` returns False to stop."""
    if budget[0] < 1 or depth > max_depth:
        return True
    budget[0] -= 1
    try:
        role = call(element.getRole)
    except GLib.Error:
        return True
    if role in roles and not visit(element):
        return False
    if depth >= max_depth or budget[0] < 1:
        return True
    for child in children(element):
        if not walk(child, roles, depth + 1, max_depth, budget, visit):
            return False
    return True


def collect(root, roles, max_depth, budget, limit=None):
    found = []

    def keep(element):
        found.append(element)
        return limit is None or len(found) < limit

    walk(root, roles, 0, max_depth, [budget], keep)
    return found


def score(element, target):
    points = 1
    if target.get("identifier"):
        if call(element.get_accessible_id) != target["identifier"]:
            return 0
        points += 200
    if target.get("title") and call(lambda: element.name) == target["title"]:
        points += 60
    if target.get("description") and call(lambda: element.description) == target["description"]:
        points += 60
    if target.get("roleDescription") and call(element.getLocalizedRoleName) == target["roleDescription"]:
        points += 5
    if target.get("value") not in (None, "") and value_of(element, target["role"]) == target["value"]:
        points += 10
    return points


def find(selector):
    if not selector.get("found"):
        return {"found": False}
    target = selector["path"][0]
    app, window = front_window()
    if window is None:
        return {"found": False}
    call(lambda: window.name)  # the title the selector names is the front window's
    candidates = collect(window, {target["role"]}, FIND_DEPTH, FIND_BUDGET)
    best, best_score, best_distance = None, 0, None
    for position, candidate in enumerate(candidates):
        points = score(candidate, target)
        distance = abs(position - target["index"])
        if points > best_score or (points == best_score and points > 0 and distance < best_distance):
            best, best_score, best_distance = candidate, points, distance
    if best is None:
        return {"found": False}
    frame = extents(best, origin_of(app, window))
    if frame is None:
        return {"found": False}
    role = call(best.getRole)
    return {"found": True, "score": best_score, "frame": frame,
            "enabled": call(best.getState).contains(pyatspi.STATE_ENABLED),
            "role": role, "value": value_of(best, role)}


def first_value(element, depth, budget):
    if budget[0] < 1 or depth > SEARCH_LEVELS:
        return None
    budget[0] -= 1
    value = text_of(element) or call(lambda: element.name)
    if value:
        return value
    if depth >= SEARCH_LEVELS:
        return None
    for child in children(element):
        found = first_value(child, depth + 1, budget)
        if found:
            return found
    return None


def cell_record(cell):
    return {"role": call(cell.getRole), "value": first_value(cell, 0, [60]), "frame": extents(cell)}


def union(boxes):
    boxes = [box for box in boxes if box is not None]
    if not boxes:
        return None
    left = min(box.x for box in boxes)
    top = min(box.y for box in boxes)
    return (left, top, max(box.x + box.width for box in boxes) - left, max(box.y + box.height for box in boxes) - top)


def table_rows(container):
    try:
        table = call(container.queryTable)
    except NotImplementedError:
        return None
    rows = min(call(lambda: table.nRows), MOST_ROWS)
    columns = min(call(lambda: table.nColumns), MOST_CELLS)
    records = []
    for row in range(rows):
        cells = [cell_record(call(table.getAccessibleAt, row, column)) for column in range(columns)]
        records.append({"index": row, "cells": cells, "frame": union(cell["frame"] for cell in cells)})
    return records


def child_rows(container):
    rows = [child for child in children(container) if call(child.getRole) in ROW_ROLES][:MOST_ROWS]
    if not rows:
        rows = children(container)[:MOST_ROWS]
    records = []
    for index, row in enumerate(rows):
        cells = children(row)[:MOST_CELLS] or [row]
        records.append({"index": index, "cells": [cell_record(cell) for cell in cells], "frame": extents(row)})
    return records


def add_affordance(window):
    found = []

    def judge(control):
        text = " ".join([call(lambda: control.name), call(lambda: control.description)])
        if not ADD_PATTERN.search(text):
            return True
        found.append({"title": call(lambda: control.name), "frame": extents(control)})
        return False

    walk(window, BUTTON_ROLES, 0, BUTTON_DEPTH, [BUTTON_BUDGET], judge)
    return found[0] if found else None


def structure():
    _, window = front_window()
    if window is None:
        return {"found": False}
    containers = collect(window, CONTAINER_ROLES, CONTAINER_DEPTH, CONTAINER_BUDGET, limit=1)
    if not containers:
        return {"found": False}
    container = containers[0]
    rows = table_rows(container)
    if rows is None:
        rows = child_rows(container)
    return {"found": True, "containerRole": call(container.getRole), "rowCount": len(rows), "rows": rows,
            "containerFrame": extents(container), "addAffordance": add_affordance(window)}


def label_candidates(window):
    candidates = []
    for label in collect(window, {pyatspi.ROLE_LABEL}, LABEL_DEPTH, LABEL_BUDGET, limit=MOST_LABELS):
        text = (text_of(label) or call(lambda: label.name)).strip()
        if not text or len(text) > LONGEST_LABEL:
            continue
        box = extents(label)
        if box is not None:
            candidates.append((text, box))
    return candidates


def label_distance(field, label):
    def overlap(a0, a1, b0, b1):
        return min(a1, b1) > max(a0, b0)

    distances = []
    if overlap(field.y, field.y + field.height, label.y, label.y + label.height) and \
            label.x + label.width <= field.x + OVERLAP_TOLERANCE:
        gap = field.x - (label.x + label.width)
        if gap <= LARGEST_LEFT_GAP:
            distances.append(gap)
    if overlap(field.x, field.x + field.width, label.x, label.x + label.width) and \
            label.y + label.height <= field.y + OVERLAP_TOLERANCE:
        gap = field.y - (label.y + label.height)
        if gap <= LARGEST_ABOVE_GAP:
            distances.append(gap)
    return min(distances) if distances else None


def field_label(field, frame, candidates):
    for source, read in (("title", lambda: field.name), ("description", lambda: field.description),
                         ("placeholder", lambda: (call(field.get_attributes) or {}).get("placeholder-text", ""))):
        label = call(read).strip()
        if label:
            return label, source
    for relation in call(field.getRelationSet):
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets() > 0:
            target = relation.getTarget(0)
            label = (text_of(target) or call(lambda: target.name)).strip()
            if label:
                return label, "titleElement"
    if frame is None:
        return None
    nearest = None
    for text, box in candidates:
        distance = label_distance(frame, box)
        if distance is not None and (nearest is None or distance < nearest[0]):
            nearest = (distance, text)
    return (nearest[1], "nearby") if nearest else None


def fields():
    _, window = front_window()
    if window is None:
        return {"found": False}
    found = collect(window, FIELD_ROLES, FIELD_DEPTH, FIELD_BUDGET, limit=MOST_FIELDS)
    candidates = label_candidates(window)
    records = []
    for field in found:
        frame = extents(field)
        if frame is not None and (frame.width < 2 or frame.height < 2):
            continue
        role = call(field.getRole)
        states = call(field.getState)
        record = {"role": role, "value": value_of(field, role), "frame": frame,
                  "enabled": states.contains(pyatspi.STATE_ENABLED),
                  "secure": role == pyatspi.ROLE_PASSWORD_TEXT, "label": field_label(field, frame, candidates),
                  "path": [descriptor(field, False)]}
        records.append(record)
    return {"found": bool(records), "fieldCount": len(records), "fields": records,
            "windowTitle": call(lambda: window.name), "windowFrame": extents(window)}


def dump(element, depth, lines):
    lines.append(" " * depth + "%s:%s" % (call(element.getRole), call(lambda: element.name)))
    if depth >= DUMP_DEPTH:
        return
    for child in children(element, DUMP_BREADTH):
        dump(child, depth + 1, lines)


def fingerprint():
    _, window = front_window()
    lines = []
    if window is None:
        lines.append("no-window")
    else:
        dump(window, 0, lines)
    return {"found": True, "axDigest": hashlib.sha256("\n".join(lines).encode()).hexdigest()}


def full_walk():
    _, window = front_window()
    if window is None:
        return {"found": False}
    seen = 0
    pending = [window]
    while pending:
        element = pending.pop()
        try:
            call(element.getRole)
            call(lambda: element.name)
        except GLib.Error:
            continue
        seen += 1
        pending.extend(reversed(children(element)))
    return {"found": True, "elements": seen}


def find_button(title):
    target = {"role": pyatspi.ROLE_PUSH_BUTTON, "title": title, "index": 0}
    return find({"found": True, "path": [target]})


def answered_frame(name, reply):
    """The frame of the element element-at answered or selector-at's path leads
    to, read after the measured rounds, where the two sides' answers are compared."""
    frame = None
    if name.startswith("element-at"):
        frame = reply.get("frame")
    elif name.startswith("selector-at") and reply.get("found"):
        frame = extents(*reply["hit"])
    return "" if frame is None else " answer=%d,%d,%d,%d" % tuple(frame)


def measure(name, command, rounds):
    micros = []
    reply = {}
    calls = 0
    trips = None
    for round_index in range(WARMUP_ROUNDS + rounds):
        before = Counter.calls
        trips_before = ROUND_TRIPS() if ROUND_TRIPS else 0
        started = time.perf_counter()
        reply = command()
        took = time.perf_counter() - started
        if round_index >= WARMUP_ROUNDS:
            micros.append(took * 1e6)
            calls = Counter.calls - before
            if ROUND_TRIPS:
                trips = ROUND_TRIPS() - trips_before
    answer = answered_frame(name, reply)
    print("%s median_us=%.0f calls=%d round_trips=%s found=%s%s" % (
        name, statistics.median(micros), calls, "-" if trips is None else trips,
        "true" if reply.get("found") else "false", answer), flush=True)
    return reply


def main():
    options = argparse.ArgumentParser()
    options.add_argument("--rounds", type=int, default=9)
    options.add_argument("--find-button")
    arguments = options.parse_args()
    rounds = max(1, arguments.rounds)
    pyatspi.setTimeout(CALL_TIMEOUT_MS, CALL_TIMEOUT_MS)
    app, window = front_window()
    if window is None:
        print("no front window")
        return
    frame = extents(window, origin_of(app, window))
    points = [(frame.x + frame.width * fx, frame.y + frame.height * fy) for fx, fy in PROBE_POINTS]
    measure("focused", focused, rounds)
    for index, (x, y) in enumerate(points):
        measure("element-at#%d" % index, lambda: element_at(x, y), rounds)
    selectors = []
    for index, (x, y) in enumerate(points):
        selectors.append(measure("selector-at#%d" % index, lambda: selector_at(x, y), rounds))
    for index, selector in enumerate(selectors):
        measure("find#%d" % index, lambda: find(selector), rounds)
    if arguments.find_button:
        measure("find-button", lambda: find_button(arguments.find_button), rounds)
    measure("structure", structure, rounds)
    measure("fields", fields, rounds)
    measure("fingerprint", fingerprint, rounds)
    measure("walk", full_walk, rounds)


if __name__ == "__main__":
    main()
