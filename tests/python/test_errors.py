"""Bad input raises ValueError with the program's message, and nothing crashes."""
import os
import random

import numpy as np
import pytest

import velmora
from conftest import FIXTURES

SQUARE = ([0, 10, 10, 0], [0, 0, 10, 10])
AUDIENCE = [(1, 1), (9, 1), (9, 9), (1, 9)]


def room():
    return velmora.Room(*SQUARE)


BAD = [
    # Rooms, checked as a case description's walls.
    (lambda: velmora.Room([0, 1], [0, 1]), "case description: field xwall must have at least 3 vertices"),
    (lambda: velmora.Room([0, 1, 1], [0, 1]), r"case description: field ywall must have as many values as xwall \(3\)"),
    (lambda: velmora.Room(*SQUARE, alpha=[1, 2]), r"case description: field alpha must have one value per wall \(4\)"),
    (lambda: velmora.Room(*SQUARE, alpha=150), "case description: field alpha must hold percentages from 0 to 100, got 150"),
    (lambda: velmora.Room([0, 10, np.nan, 0], SQUARE[1]),
     "case description: field xwall holds a value that is not a finite number"),
    (lambda: velmora.Room([0, 10, 2e6, 0], SQUARE[1]),
     "case description: field xwall must hold finite coordinates within 1000000 m of the origin, got 2000000"),
    (lambda: velmora.Room("abcd", SQUARE[1]), "case description: field xwall must hold numbers, not a text"),
    (lambda: velmora.Room(["a", "b", "c"], [0, 1, 2]), "case description: field xwall must hold numbers, not "),
    (lambda: velmora.Room(np.zeros((2, 2, 2)), SQUARE[1]), "case description: field xwall must be a plain matrix"),
    (lambda: velmora.Room(*SQUARE, curves=[[1, 2, 3]]), "case description: field curves must have nine columns, not 3"),
    (lambda: velmora.Room(*SQUARE, curves=[[2, 10, 0, 10, 10, 9, 5, 2, 7]]),
     "case description: field curves must name walls from 1 to 4, got 7"),
    (lambda: velmora.Room(*SQUARE, curves={"a": 1}), "case description: field curves must hold numbers, not a record"),
    (lambda: velmora.Room(*SQUARE, alpha=object()), "case description: field alpha cannot hold a Python object"),
    # The map.
    (lambda: velmora.compute_map(room(), (50, 50), AUDIENCE), "source 50,50 lies outside the room"),
    # A room typed clockwise once gave a map of no reflections and no error.
    (lambda: velmora.compute_map(velmora.Room([0, 0, 10, 10], [0, 10, 10, 0]), (5, 5), AUDIENCE),
     "the walls run clockwise: give the vertices counter-clockwise, the room on the left of every wall"),
    (lambda: velmora.arrivals(velmora.Room([0, 0, 10, 10], [0, 10, 10, 0]), (2, 5), (8, 5)),
     "the walls run clockwise: give the vertices counter-clockwise, the room on the left of every wall"),
    (lambda: velmora.compute_map(room(), (5,), AUDIENCE), r"source must be a point \(x, y\)"),
    (lambda: velmora.compute_map(room(), "ab", AUDIENCE), r"source must be a point \(x, y\)"),
    (lambda: velmora.compute_map(room(), (5, 5), AUDIENCE[:3]), r"audience must be 4 corners \(x, y\) in order around the area"),
    (lambda: velmora.compute_map(room(), (5, 5), AUDIENCE, intervals=0), "case description: field Nsurface must be at least 1"),
    (lambda: velmora.compute_map(room(), (5, 5), AUDIENCE, intervals=401),
     "case description: field Nsurface must be a whole number from 1 to 400, got 401"),
    (lambda: velmora.compute_map(room(), (5, 5), [(1, 1), (9, 1), (9, np.inf), (1, 9)]),
     "case description: field xaud and yaud must hold 4 corners each|case description: field yaud holds a value that is not a finite number"),
    (lambda: velmora.compute_map(room(), (5, 5), AUDIENCE, order=0), "order must be a whole number from 1 to 6, got 0"),
    (lambda: velmora.compute_map(room(), (5, 5), AUDIENCE, order=7), "order must be a whole number from 1 to 6, got 7"),
    # The arrivals, with the polar diagram's own refusals.
    (lambda: velmora.arrivals(room(), (5, 5), (5.5, 5.5)), r"receptor must be at least one meter far from source \.\.\."),
    (lambda: velmora.arrivals(room(), (5, 5), (20, 5)), r"receptor is outside room \.\.\."),
    (lambda: velmora.arrivals(room(), (-5, 5), (8, 5)), "source -5,5 lies outside the room"),
    (lambda: velmora.arrivals(room(), (5, 5), (8, 5), Lw=np.nan), "case description: field Lw must be a finite number"),
    (lambda: velmora.arrivals(room(), (5, 5), (8, 5), height=np.inf), "height must be a finite number"),
    (lambda: velmora.levels([1.0], np.inf), "case description: field Lw must be a finite number"),
    # Case files.
    (lambda: velmora.read_case("/nonexistent/room.ac"), r"file /nonexistent/room\.ac not found \.\.\."),
    (lambda: velmora.read_case(FIXTURES), "file .* not found"),
    (lambda: velmora.read_case(os.path.join(FIXTURES, "README.md")), r"file .*README\.md is not a velmoracopy file \.\.\."),
    (lambda: velmora.write_case("/tmp/room.txt", {"xso": 1}), r"file /tmp/room\.txt is not a velmoracopy file \.\.\."),
    (lambda: velmora.write_case("/tmp/room.ac", {"xwal": [1, 2, 3]}), "case description: unknown field xwal"),
    (lambda: velmora.write_case("/tmp/room.ac", {"xso": "left"}), "case description: field xso must hold numbers, not a text"),
    (lambda: velmora.write_case("/tmp/room.ac", {"xwall": [0, 1, 1]}),
     "case description: field ywall is missing: xwall and ywall go together"),
    (lambda: velmora.write_case("/nonexistent/room.ac", {"xso": 1}), r"cannot write file /nonexistent/room\.ac"),
    (lambda: velmora.write_case("/tmp/room.ac", {"animationparameters": {"step": 1.5}}),
     "animationparameters: field step must be a whole number"),
]


@pytest.mark.parametrize("call,message", BAD, ids=[str(i) for i in range(len(BAD))])
def test_bad_input(call, message):
    with pytest.raises(ValueError, match="^(" + message + ")"):
        call()


def test_damaged_case_files(tmp_path):
    good = open(os.path.join(FIXTURES, "l-room.ac"), "rb").read()
    for name, data in [("empty.ac", b""), ("text.ac", b"not a MAT-file\n" * 20), ("cut.ac", good[: len(good) // 2]),
                       ("noise.ac", bytes(random.Random(7).randrange(256) for _ in range(4000)))]:
        (tmp_path / name).write_bytes(data)
        with pytest.raises(ValueError, match=r"^file .*" + name.replace(".", r"\.")):
            velmora.read_case(str(tmp_path / name))


def test_odd_rooms_never_crash():
    # Outlines that cross themselves, repeat vertices or have no area: a result or a ValueError.
    rng = random.Random(23)
    for _ in range(60):
        n = rng.randrange(3, 9)
        x = [rng.choice([0, 5, 10, rng.uniform(-5, 15)]) for _ in range(n)]
        y = [rng.choice([0, 5, 10, rng.uniform(-5, 15)]) for _ in range(n)]
        r = velmora.Room(x, y, alpha=rng.uniform(0, 100))
        for order in (1, 2):
            try:
                m = velmora.compute_map(r, (rng.uniform(0, 10), rng.uniform(0, 10)), AUDIENCE, intervals=6,
                                        order=order)
                assert m["RT"].shape == (7, 7)
            except ValueError:
                pass
        try:
            velmora.arrivals(r, (2, 2), (8, 8))
        except ValueError:
            pass

