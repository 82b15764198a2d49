#!/usr/bin/python3
"""The helper's walks done the way a dogtail-style pyatspi client does them, for
a side-by-side benchmark: per command the median latency and the number of
pyatspi calls that reach the accessibility bus. Same output format as
morvel_ax_bench. Reports only; never fails on a time."""

import statistics
import time

import pyatspi

WARMUP_ROUNDS = 2
MEASURED_ROUNDS = 25
PROBE_POINTS = [(0.25, 0.30), (0.50, 0.50), (0.75, 0.30), (0.30, 0.80), (0.60, 0.70)]
SEARCH_LEVELS = 4
STOP_ROLES = {pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW, pyatspi.ROLE_DIALOG, pyatspi.ROLE_SCROLL_PANE,
              pyatspi.ROLE_APPLICATION, pyatspi.ROLE_DOCUMENT_WEB}


class Counter:
    calls = 0


def call(function, *args):
    Counter.calls += 1
    return function(*args)


def front_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(call(lambda: desktop.childCount)):
        app = call(desktop.getChildAtIndex, i)
        if app is None:
            continue
        for j in range(call(lambda: app.childCount)):
            window = call(app.getChildAtIndex, j)
            if window is not None and call(window.getState).contains(pyatspi.STATE_ACTIVE):
                return app, window
    return None, None


def describe(element, with_selection):
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
    reply["frame"] = call(call(element.queryComponent).getExtents, pyatspi.DESKTOP_COORDS)
    return reply


def focused():
    app, _ = front_window()
    if app is None:
        return {"found": False}
    collection = call(app.queryCollection)
    rule = collection.createMatchRule(pyatspi.StateSet(pyatspi.STATE_FOCUSED), collection.MATCH_ALL, "",
                                      collection.MATCH_ALL, [], collection.MATCH_ALL, [], collection.MATCH_ALL, False)
    matches = call(collection.getMatches, rule, collection.SORT_ORDER_CANONICAL, 1, True)
    if not matches:
        return {"found": False}
    return describe(matches[0], True)


def contains(extents, x, y):
    return extents.x <= x < extents.x + extents.width and extents.y <= y < extents.y + extents.height


def element_at(x, y):
    desktop = pyatspi.Registry.getDesktop(0)
    hit = None
    for i in range(call(lambda: desktop.childCount)):
        app = call(desktop.getChildAtIndex, i)
        for j in range(call(lambda: app.childCount) if app is not None else 0):
            window = call(app.getChildAtIndex, j)
            if window is None or not call(window.getState).contains(pyatspi.STATE_SHOWING):
                continue
            if contains(call(call(window.queryComponent).getExtents, pyatspi.DESKTOP_COORDS), x, y):
                hit = window
                break
        if hit is not None:
            break
    if hit is None:
        return {"found": False}
    while True:
        deeper = call(call(hit.queryComponent).getAccessibleAtPoint, int(x), int(y), pyatspi.DESKTOP_COORDS)
        if deeper is None or deeper == hit:
            break
        hit = deeper
    described, current = hit, hit
    for level in range(SEARCH_LEVELS + 1):
        if level > 0 and call(current.getRole) in STOP_ROLES:
            break
        name = call(lambda: current.description) or call(lambda: current.name)
        if name.strip():
            described = current
            break
        parent = call(lambda: current.parent)
        if parent is None:
            break
        current = parent
    return describe(described, False)


def measure(name, command):
    micros = []
    reply = {}
    calls = 0
    for round_index in range(WARMUP_ROUNDS + MEASURED_ROUNDS):
        before = Counter.calls
        started = time.perf_counter()
        reply = command()
        took = time.perf_counter() - started
        if round_index >= WARMUP_ROUNDS:
            micros.append(took * 1e6)
            calls = Counter.calls - before
    print("%s median_us=%.0f calls=%d found=%s" % (name, statistics.median(micros), calls,
                                                   "true" if reply.get("found") else "false"))


def main():
    _, window = front_window()
    if window is None:
        print("no front window")
        return
    frame = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    measure("focused", focused)
    for index, (fx, fy) in enumerate(PROBE_POINTS):
        x = frame.x + frame.width * fx
        y = frame.y + frame.height * fy
        measure("element-at#%d" % index, lambda: element_at(x, y))


if __name__ == "__main__":
    main()
