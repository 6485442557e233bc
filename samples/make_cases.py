#!/usr/bin/python3
"""Writes hall.ac, the sample hall, through the program's own automation front end and "save".

    python3 samples/make_cases.py VELMORA [output folder]   (default: this script's folder)

l-room.ac and curved-room.ac are copies of the test fixtures of the same names
(tests/fixtures/README.md describes them field by field).
"""
import json
import os
import subprocess
import sys

VELMORA = sys.argv[1]
OUT = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.dirname(os.path.abspath(__file__)))

# A hall of 24 m by 14 m: a stage end with splayed walls, plaster side walls, an absorbing rear wall;
# the source on the stage, the receptor in the stalls, the audience area over the seats.
hall = {
    "height": 30, "xlim": [-3, 27], "ylim": [-15, 15],
    "xwall": [0, 4, 24, 24, 4, 0], "ywall": [-5, -7, -7, 7, 7, 5],
    "alpha": [10, 5, 60, 5, 10, 20],
    "xaud": [7, 22, 22, 7], "yaud": [-6, -6, 6, 6],
    "xso": 2, "yso": 0, "xre": 15, "yre": 3, "Lw": 100, "Nsurface": 30,
}
requests = [
    {"op": "dispatch", "args": [hall]},
    {"op": "answer", "answers": [{"file": os.path.join(OUT, "hall.ac")}]},
    {"op": "dispatch", "args": ["save"]},
    {"op": "quit"},
]
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
run = subprocess.run([VELMORA, "--automation"], input="\n".join(json.dumps(r) for r in requests) + "\n",
                     capture_output=True, text=True, env=env, cwd=OUT, timeout=120)
for line in run.stdout.splitlines():
    if not json.loads(line).get("ok"):
        sys.exit("make_cases: " + line)
snapshot = os.path.join(OUT, "temporarysave.ac")  # the undo snapshot of the run
if os.path.exists(snapshot):
    os.remove(snapshot)
print("wrote", os.path.join(OUT, "hall.ac"))
