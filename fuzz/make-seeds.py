#!/usr/bin/env python3
"""make-seeds.py OUT_DIR

Writes the seed inputs of both fuzzers: OUT_DIR/request (whole standard inputs
of the helper) and OUT_DIR/scene (scene files). Seeds come from the requests
and scenes of the test suite and the examples, and from inputs made hostile on
purpose: deep nesting, very long lines, NUL bytes, every kind of broken UTF-8,
huge numbers, duplicate keys. Fuzzing grows the corpus from these; the
minimised result is what fuzz/corpus holds.
"""
import hashlib
import json
import pathlib
import re
import sys

top = pathlib.Path(__file__).resolve().parent.parent
out = pathlib.Path(sys.argv[1])


def write(kind, data):
    if isinstance(data, str):
        data = data.encode("utf-8", "surrogatepass")
    folder = out / kind
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def lines(*requests):
    return "".join((r if isinstance(r, str) else json.dumps(r)) + "\n" for r in requests)


# ---- requests ------------------------------------------------------------------

contacts_selector = {
    "path": [{"role": "AXButton", "title": "Add Contact", "index": 0},
             {"role": "AXToolbar", "index": 0}, {"role": "AXWindow", "title": "Contacts"}],
    "windowTitle": "Contacts",
}
every_command = [
    {"id": 1, "cmd": "ping"},
    {"id": 2, "cmd": "element-at", "x": 175, "y": 100},
    {"id": 3, "cmd": "focused"},
    {"id": 4, "cmd": "ocr-region", "x": 100, "y": 80, "w": 800, "h": 600},
    {"id": 5, "cmd": "fingerprint"},
    {"id": 6, "cmd": "fingerprint", "x": 400, "y": 0, "w": 800, "h": 600},
    {"id": 7, "cmd": "structure"},
    {"id": 8, "cmd": "fields"},
    {"id": 9, "cmd": "selector-at", "x": 410, "y": 8},
    {"id": 10, "cmd": "find", "selector": contacts_selector, "timeoutMs": 800},
]
for request in every_command:
    write("request", lines(request))
write("request", lines(*every_command))
# The timeline of the unruly desktop moves while a slow session goes on.
write("request", lines(*(every_command * 3)))

argument_cases = [
    {"cmd": "element-at", "x": 10}, {"cmd": "element-at", "x": "10", "y": 1}, {"cmd": "element-at", "x": True, "y": False},
    {"cmd": "ocr-region", "x": 0, "y": 0, "w": -5, "h": 0}, {"cmd": "fingerprint", "x": 0, "y": 0},
    {"cmd": "find"}, {"cmd": "find", "selector": []}, {"cmd": "find", "selector": "x"},
    {"cmd": "find", "selector": {}, "timeoutMs": "200"}, {"cmd": "find", "selector": {}, "timeoutMs": 99.99},
    {"cmd": "find", "selector": {"path": [{"role": "AXButton", "title": "+"}], "windowTitle": "People"}, "timeoutMs": 3000},
    {"cmd": "find", "selector": {"path": "nope", "windowTitle": 5}}, {"cmd": "find", "selector": {"path": [1, None, []]}},
    {"cmd": "PING"}, {"cmd": " ping"}, {"cmd": 5}, {"id": 1}, {}, {"cmd": ""}, {"cmd": "sim-stats"},
    {"cmd": "selector-at", "x": 1e39, "y": -1e39}, {"cmd": "element-at", "x": 125, "y": 25},
]
write("request", lines(*argument_cases))
for case in argument_cases:
    write("request", lines(case))
write("request", lines('{"id":[1,2],"cmd":"ping"}', '{"id":null,"cmd":"ping"}', '{"id":"abc","cmd":"ping"}',
                       '{"id":{"a":{"b":[]}},"cmd":"ping"}', '{"id":-2.5,"cmd":"ping"}'))
write("request", " \t{\"id\":1,\"cmd\":\"ping\"} \r\n\n   \n\t\r\n\u00a0\n\u2028\n\u0085{\"cmd\":\"ping\"}\u3000")
write("request", '{"id":1,"cmd":"ping"}\n{"id":2,"cmd":"ping"}')  # last line without a line feed
write("request", '[1,2]\n42\n"text"\n{"id": 5, "cmd":\n{"id":5} {}\n{"id":5}x\nnul\n{"id":"\\ud800"}\n')

# Deep nesting: inside the limit, at it, and past it, as ids and as selectors.
for depth in (100, 511, 512, 513, 2000):
    write("request", '{"id":' + "[" * (depth - 1) + "]" * (depth - 1) + ',"cmd":"ping"}\n')
write("request", '{"cmd":"find","selector":{"path":[' + '{"a":' * 300 + "0" + "}" * 300 + "]}}\n")
write("request", "[" * 5000 + "\n" + "{" * 3000 + "\n")

# Long lines: across the loop's 64 KiB reads, and a long text inside a request.
write("request", '{"id":"' + "x" * 70000 + '","cmd":"ping"}\n{"cmd":"ping"}\n')
write("request", " " * 70000 + '{"cmd":"focused"}' + "\t" * 1000 + "\n")
write("request", '{"cmd":"find","selector":{"path":[{"role":"AXButton","title":"' + "\u00e9" * 20000 + '"}]}}\n')

# NUL bytes: raw in the line, escaped inside strings, between requests.
write("request", b'{"id":1,"cmd":"ping"}\x00\n\x00{"cmd":"ping"}\n{"cmd":"pi\x00ng"}\n\x00\n')
write("request", '{"id":"\\u0000","cmd":"ping\\u0000"}\n{"cmd":"find","selector":{"path":[{"title":"\\u0000"}]}}\n')

# Broken UTF-8 of every kind: lone continuation bytes, truncated sequences, overlong
# forms, encoded surrogates, code points past U+10FFFF, bytes that never occur.
broken = [b"\x80", b"\xbf\xbf", b"\xc3", b"\xe2\x82", b"\xf0\x9f\x98", b"\xc0\xaf", b"\xe0\x80\xaf",
          b"\xf0\x80\x80\xaf", b"\xed\xa0\x80", b"\xed\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80",
          b"\xfe", b"\xff", b"\xf8\x88\x80\x80\x80", b"\xc2\xa0\xc2"]
for sequence in broken:
    write("request", b'{"id":"a' + sequence + b'b","cmd":"ping"}\n' + sequence + b"\n" + b'{"cmd":"focused"}' + sequence + b"\n")
write("request", b"".join(b'{"id":"' + s + b'","cmd":"ping"}\n' for s in broken))
write("request", b'{"cmd":"find","selector":{"path":[{"role":"AXButton","title":"\xff\xfe"}],"windowTitle":"\xc3"}}\n')

# Huge and odd numbers: past the double range, past 64 bits, tiny, negative zero.
write("request", lines('{"id":1e400,"cmd":"ping"}', '{"id":-1e400,"cmd":"ping"}', '{"id":1e-400,"cmd":"ping"}',
                       '{"id":99999999999999999999999999,"cmd":"ping"}', '{"id":18446744073709551615,"cmd":"ping"}',
                       '{"id":-9223372036854775809,"cmd":"ping"}', '{"id":-0.0,"cmd":"ping"}'))
write("request", lines('{"cmd":"find","selector":{},"timeoutMs":1e300}', '{"cmd":"find","selector":{},"timeoutMs":-1e300}',
                       '{"cmd":"find","selector":{},"timeoutMs":9223372036854775807}',
                       '{"cmd":"find","selector":{},"timeoutMs":1e400}',
                       '{"cmd":"element-at","x":1e308,"y":-1e308}', '{"cmd":"ocr-region","x":1e308,"y":1e308,"w":1e308,"h":1e308}',
                       '{"cmd":"fingerprint","x":-1e308,"y":0,"w":1e-320,"h":5e-324}',
                       '{"cmd":"selector-at","x":3.4028235e38,"y":-3.4028236e38}'))

# Duplicate keys: the command, the id, an argument, a selector key.
write("request", lines('{"cmd":"ping","cmd":"focused"}', '{"id":1,"id":2,"cmd":"ping"}', '{"cmd":"element-at","x":"a","x":5,"y":5}',
                       '{"cmd":"find","selector":[],"selector":{},"timeoutMs":0}', '{"cmd":"nope","cmd":5}'))

# ---- scenes ------------------------------------------------------------------

write("scene", (top / "examples" / "contacts.json").read_bytes())
write("scene", (top / "fuzz" / "scenes" / "unruly-desktop.json").read_bytes())
scene_keys = {"frontmost", "systemWide", "applications", "elements", "hitTest", "screen", "timeline", "defaultTimeoutMs"}
for source in sorted((top / "tests").rglob("*.cpp")):
    for raw in re.findall(r'R"\((.*?)\)"', source.read_text(), re.S):
        try:
            parsed = json.loads(raw)
        except ValueError:
            continue
        if isinstance(parsed, dict) and scene_keys & parsed.keys():
            write("scene", raw)

window = {"id": "w", "attrs": {"AXRole": "AXWindow", "AXTitle": "W", "AXFrame": {"rect": [0, 0, 100, 100]}}}
def scene(**parts):
    base = {"frontmost": {"pid": 1}, "applications": [{"pid": 1, "windows": [window]}]}
    base.update(parts)
    return json.dumps(base)

nested = {"attrs": {"AXRole": "AXGroup", "AXFrame": {"rect": [0, 0, 10, 10]}}}
for _ in range(300):
    nested = {"attrs": {"AXRole": "AXGroup", "AXFrame": {"rect": [0, 0, 10, 10]}}, "children": [nested]}
write("scene", scene(applications=[{"pid": 1, "windows": [dict(window, children=[nested])]}]))
write("scene", '{"elements":[{"attrs":{"AXValue":' + "[" * 2000 + "]" * 2000 + "}}]}")
write("scene", '{"elements":[' + '{"children":[' * 3000 + "]}" * 3000 + "]}")
write("scene", scene(timeline=[{"atMs": 0, "add": {"parent": "x", "element": {"id": "x"}}}]))
write("scene", scene(timeline=[{"atMs": 0, "add": {"parent": "inner", "element": {"id": "outer", "children": [{"id": "inner"}]}}}]))
write("scene", scene(timeline=[{"atMs": 0, "remove": "w"}, {"atMs": 0, "add": {"parent": "w", "element": {"id": "n"}}},
                               {"atMs": 1, "set": {"w": {"AXChildren": [{"ref": "w"}]}}}]))
write("scene", scene(applications=[{"pid": 1, "windows": [dict(window, attrs=dict(window["attrs"], AXChildren=[{"ref": "w"}]))]}]))
write("scene", scene(hitTest=[{"rect": [0, 0, 1e308, 1e308], "element": "w"}, {"rect": [-1e308, -1e308, 1e308, 1e308], "fail": True}]))
write("scene", scene(screen={"scale": 1e-300, "lines": [{"text": "x", "rect": [0, 0, 1e308, 1e308], "confidence": 1e300}]}))
write("scene", scene(screen={"scale": 1e300, "lines": [{"text": "Add", "rect": [0, 0, 10, 10]}]}))
write("scene", '{"defaultTimeoutMs": 1e308, "applications": [{"pid": 1, "responseDelayMs": 1e307, "windows": []}]}')
write("scene", '{"frontmost": {"pid": 2147483648}, "applications": [{"pid": -2147483648}]}')
write("scene", '{"applications": [{"pid": 1, "pid": 2, "id": "a", "id": "b"}], "frontmost": null, "frontmost": {"pid": 1}}')
write("scene", '{"elements": [{"id": "a", "attrs": {"AXTitle": "x", "AXTitle": {"ref": "a"}}}]}')
write("scene", b'{"elements": [{"id": "\xff"}]}')
write("scene", '{"elements": [{"id": "\\u0000", "attrs": {"AXTitle": "\\u0000", "AXParent": {"ref": "\\u0000"}}}]}')
write("scene", '{"applications": [{"pid": 1, "windows": [{"attrs": {"AXValue": 1e400, "AXFrame": {"rect": [1e400, 0, 1, 1]}}}]}]}')
