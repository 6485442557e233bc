#!/usr/bin/env python3
"""Records a scripted automation session and the case files it writes, to compare two builds.

    scripts/session-transcript.py VELMORA OUTDIR [FIXTURES]

Drives `VELMORA --automation` through a session a user could have (start, drags of a vertex, the
source, the receptor and an audience corner, a split, absorptions, the polar diagram, the echogram,
the echo risk, save, load, history, undo and redo, the room shapes, a DXF import) and writes to
OUTDIR: `transcript.jsonl` (every request with its reply, console lines and dialogs included, the
whole drawing dumped at a few points) and every case file the session saved, plus one case file per
fixture loaded and saved again. Two OUTDIRs compare with `diff -r` once `normalise` has blanked the
date in each case file's header (done here: the files are written normalised).
"""
import json
import os
import re
import shutil
import subprocess
import sys

VELMORA, RESULT = os.path.abspath(sys.argv[1]), sys.argv[2]
FIXTURES = sys.argv[3] if len(sys.argv) > 3 else os.path.join(os.path.dirname(__file__), "..", "tests",
                                                                 "fixtures")
# The session works in a folder of fixed name (file names show in its replies), on copies of the fixtures.
OUT = "/tmp/velmora-session"
shutil.rmtree(OUT, ignore_errors=True)
shutil.copytree(FIXTURES, os.path.join(OUT, "fixtures"))
FIXTURES = os.path.join(OUT, "fixtures")


class Session:
    def __init__(self, log):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.p = subprocess.Popen([VELMORA, "--automation"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True, cwd=OUT, env=env)
        self.log = log

    def one(self, request):
        line = json.dumps(request)
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()
        reply = self.p.stdout.readline()
        self.log.write(line + "\n" + reply)
        return json.loads(reply)

    def chatter(self):
        self.one({"op": "console"})
        self.one({"op": "dialogs"})

    def find(self, **filters):
        return [o["handle"] for o in self.one(dict({"op": "find"}, **filters))["objects"]]

    def first(self, **filters):
        found = self.find(**filters)
        return found[-1] if found else None

    def step(self, request, answers=None):
        if answers:
            self.one({"op": "answer", "answers": answers})
        reply = self.one(request)
        self.chatter()
        return reply

    def verb(self, *args, answers=None):
        return self.step({"op": "dispatch", "args": list(args)}, answers)

    def menu(self, label, answers=None, parent=None):
        filters = {"type": "uimenu", "label": label}
        if parent is not None:
            filters["parent"] = parent
        return self.step({"op": "callback", "handle": self.first(**filters)}, answers)

    def history(self, position):
        """Opens the history list, picks an entry while the verb waits, then takes the verb's reply."""
        request = json.dumps({"op": "dispatch", "args": ["history"]})
        self.p.stdin.write(request + "\n")
        self.p.stdin.flush()
        controls = self.one({"op": "find", "type": "uicontrol"})["objects"]
        lists = [o["handle"] for o in controls if o["props"].get("style") == "listbox"]
        self.one({"op": "callback", "handle": lists[0], "value": position})
        self.log.write(request + "\n" + self.p.stdout.readline())
        self.chatter()

    def drag(self, handle, start, points, selection="normal"):
        if start is None:
            x = self.one({"op": "get", "handle": handle, "prop": "xdata"})["value"]
            y = self.one({"op": "get", "handle": handle, "prop": "ydata"})["value"]
            start = [x if isinstance(x, (int, float)) else x["data"][0],
                     y if isinstance(y, (int, float)) else y["data"][0]]
        self.one({"op": "press", "handle": handle, "at": start, "selectiontype": selection})
        for p in points[:-1]:
            self.one({"op": "motion", "at": p})
        self.one({"op": "release", "at": points[-1]})
        self.chatter()

    def dump(self):
        self.one({"op": "get", "what": "udf"})
        self.one({"op": "find"})

    def close(self):
        self.p.stdin.close()
        self.p.wait(timeout=120)


def normalise(path):
    """Blanks the creation date in a case file's 116-byte header text."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    head = data[:116].decode("latin-1")
    head = re.sub(r"on \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}", lambda m: "-" * len(m.group(0)), head)
    data[:116] = head.encode("latin-1")
    with open(path, "wb") as f:
        f.write(data)


def saved(name):
    return {"file": os.path.join(OUT, name)}


def main_session():
    with open(os.path.join(OUT, "transcript.jsonl"), "w") as log:
        s = Session(log)
        s.verb("init", answers=[{"input": ["20"]}])
        fig = s.first(tag="acoufig")
        s.dump()
        walls = sorted(s.find(tag="acouwall"))
        vertices = sorted(s.find(tag="acouwallvertex"))
        # A vertex dragged (live map on, then off), the source, the receptor and an audience corner.
        s.drag(vertices[1], None, [[12, -2], [13, -3], [14, -4]])
        s.menu("live map")
        s.drag(vertices[2], None, [[15, 5], [16, 6]])
        s.drag(s.first(tag="acousource"), None, [[3, 1], [4, 1.5]])
        s.drag(s.first(tag="acoureceptor"), None, [[9, -1], [10, -2]])
        s.drag(sorted(s.find(tag="acouaudiencevertex"))[0], None, [[2, -3], [2.5, -3.5]])
        s.dump()
        # Split, absorption by the menu and typed, symmetry, delete vertex.
        walls = sorted(s.find(tag="acouwall"))
        s.step({"op": "press", "handle": walls[0], "at": [5, 0], "selectiontype": "alt"})
        s.menu("split wall")
        walls = sorted(s.find(tag="acouwall"))
        s.step({"op": "press", "handle": walls[1], "at": [5, 0], "selectiontype": "alt"})
        s.menu("set absorption to 100%")
        s.step({"op": "press", "handle": walls[2], "at": [5, 0], "selectiontype": "alt"})
        s.menu("set absorption to 0%")
        s.step({"op": "press", "handle": walls[3], "at": [5, 0], "selectiontype": "alt"})
        s.menu("change absorption", answers=[{"input": ["35"]}])
        s.dump()
        # Values shown, decibels, direct sound, one wall.
        s.step({"op": "callback", "handle": s.first(tag="acouselectdecibel"), "value": 1})
        s.step({"op": "callback", "handle": s.first(tag="acouselectreflection"), "value": 3})
        s.verb("polardiagram")
        s.dump()
        s.verb("echogram")
        s.one({"op": "find", "tag": "acouechogram"})
        s.verb("echorisk")
        s.verb("save", answers=[saved("session.ac")])
        s.verb("historyback")
        s.verb("historyback")
        s.verb("historyforward")
        s.dump()
        s.history(3)
        s.verb("load", answers=[saved("session.ac")])
        s.dump()
        s.verb("save", answers=[saved("session-again.ac")])
        # Every room shape, each saved.
        for shape, answer in [("circle", ["10", "72"]), ("ellipse", ["10", "3", "40"]),
                              ("parabola", ["1", "6", "36"]), ("logarithmic spiral", ["10", "75", "45", "120", "30"])]:
            s.menu(shape, answers=[{"input": answer}])
            s.dump()
            s.verb("save", answers=[saved("shape-" + shape.replace(" ", "-") + ".ac")])
        # A DXF plan.
        dxf = os.path.join(FIXTURES, "dxf")
        plans = sorted(p for p in os.listdir(dxf) if p.endswith(".dxf")) if os.path.isdir(dxf) else []
        if plans:
            s.verb("importdxf", os.path.join(dxf, plans[0]), answers=[{"input": ["1", ""]}, {"message": True}])
            s.dump()
            s.verb("save", answers=[saved("dxf.ac")])
        # The fixtures, loaded and saved again.
        for case in sorted(p for p in os.listdir(FIXTURES) if p.endswith(".ac")):
            s.verb("load", answers=[{"file": os.path.join(FIXTURES, case)}])
            s.dump()
            s.verb("save", answers=[saved("fixture-" + case)])
        s.one({"op": "quit"})
        s.close()
    shutil.rmtree(RESULT, ignore_errors=True)
    shutil.rmtree(FIXTURES)
    shutil.copytree(OUT, RESULT)
    for name in os.listdir(RESULT):
        if name.endswith(".ac"):
            normalise(os.path.join(RESULT, name))


main_session()
