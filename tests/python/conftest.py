"""What the tests of the Python module share: the program to compare with, the case files, and an
automation session that opens a case in the program and hands back what the program computed.

ctest runs pytest with VELMORA (the program), VELMORA_SOURCE (the source tree) and PYTHONPATH (the
module in the build tree) set; see tests/CMakeLists.txt.
"""
import json
import os
import subprocess

import pytest

VELMORA = os.environ.get("VELMORA", "")
SOURCE = os.environ.get("VELMORA_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
FIXTURES = os.path.join(SOURCE, "tests", "fixtures")
SAMPLES = os.path.join(SOURCE, "samples")
# Every case file the tests compare with the program: rooms convex and not, a curved stretch, a wall
# that absorbs everything, an audience area partly outside the room, both MAT-file versions.
CASES = [os.path.join(FIXTURES, name) for name in
         ("default-room-z20.ac", "l-room.ac", "l-room-v7.ac", "curved-room.ac")] + \
        [os.path.join(SAMPLES, "hall.ac")]


def case_id(path):
    return os.path.basename(os.path.dirname(path)) + "/" + os.path.basename(path)


@pytest.fixture(scope="session")
def program():
    if not VELMORA or not os.access(VELMORA, os.X_OK):
        pytest.fail("VELMORA must name the program (ctest sets it)")
    return VELMORA


def run_program(*words, cwd=None):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    return subprocess.run([VELMORA, *words], cwd=cwd, env=env, capture_output=True, text=True, timeout=300,
                          stdin=subprocess.DEVNULL)


class Session:
    """velmora --automation, one request and reply at a time."""

    def __init__(self, cwd):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.p = subprocess.Popen([VELMORA, "--automation"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True, cwd=cwd, env=env)

    def __call__(self, request):
        self.p.stdin.write(json.dumps(request) + "\n")
        self.p.stdin.flush()
        reply = json.loads(self.p.stdout.readline())
        if not reply.get("ok"):
            raise AssertionError(f"{request} -> {reply}")
        return reply

    def verb(self, *words, answers=None):
        if answers:
            self({"op": "answer", "answers": answers})
        return self({"op": "dispatch", "args": list(words)})

    def close(self):
        self.p.stdin.close()
        self.p.wait(timeout=60)


@pytest.fixture
def session(program, tmp_path):
    s = Session(tmp_path)
    s.verb("init", answers=[{"input": ["20"]}])
    yield s
    s.close()


def matrix(value):
    """A protocol value as a list of numbers in column order (NaN and infinities come as texts)."""
    if isinstance(value, dict):
        data = value["data"]
    elif isinstance(value, list):
        data = value
    else:
        data = [value]
    return [float(v) if not isinstance(v, str) else float(v.replace("Inf", "inf").replace("NaN", "nan"))
            for v in data]
