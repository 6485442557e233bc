"""The module's arrivals are the echogram's: the same arrivals, levels, delays, angles, ITDG, D50, C80
and title line as the echogram window the program opens on the case, to the bit."""
import math

import numpy as np
import pytest

import velmora
from conftest import CASES, case_id, matrix


def case_arrivals(case, **kwargs):
    return velmora.arrivals(velmora.room_of(case), (case["xso"], case["yso"]), (case["xre"], case["yre"]),
                            Lw=case["Lw"], **kwargs)


def optional(value):
    number = matrix(value)[0]
    return None if math.isnan(number) else number


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_arrivals_equal_the_echogram(session, path):
    session.verb("load", path)
    session.verb("echogram")
    windows = session({"op": "find", "tag": "acouechogram"})["objects"]
    assert len(windows) == 1
    shown = windows[0]["props"]["userdata"]
    a = case_arrivals(velmora.read_case(path))
    assert a.summary == shown["summary"]
    assert (a.ITDG, a.D50, a.C80) == (optional(shown["itdg"]), optional(shown["d50"]), optional(shown["c80"]))
    assert len(a) == len(shown["arrivals"])
    for mine, theirs in zip(a.table, shown["arrivals"]):
        assert mine["kind"] == theirs["kind"]
        assert mine["wall"] == theirs["wall"]
        for field in ("delay", "level", "angle"):
            assert mine[field] == matrix(theirs[field])[0], field


def test_arrivals_table():
    room = velmora.Room([0, 20, 20, 0], [0, 0, 12, 12], alpha=[0, 0, 100, 0])
    a = velmora.arrivals(room, (4, 6), (15, 8), Lw=90)
    assert a.table.dtype.names == ("kind", "wall", "delay", "level", "angle", "energy", "order", "walls")
    assert a.table["order"].tolist() == [0, 1, 1, 1] and a.table["walls"][0] == ""
    # The direct sound first, then the reflections by delay; a wall that absorbs all reflects nothing.
    assert a.table["kind"].tolist() == ["direct", "reflection", "reflection", "reflection"]
    assert sorted(a.table["wall"][1:].tolist()) == [1, 2, 4]
    assert (np.diff(a.table["delay"]) >= 0).all() and a.table["delay"][0] == 0
    assert a.ITDG == a.table["delay"][1]
    # Levels and energies agree: 10 log10(P / (20 uPa)^2).
    np.testing.assert_allclose(a.table["level"], 10 * np.log10(a.table["energy"] / 4e-10), rtol=1e-12)
    # A source 10 dB weaker is 10 dB lower everywhere; ratios do not change.
    b = velmora.arrivals(room, (4, 6), (15, 8), Lw=80)
    np.testing.assert_allclose(b.table["level"], a.table["level"] - 10, rtol=1e-12)
    assert (b.D50, b.C80) == pytest.approx((a.D50, a.C80))
    # A receptor above the source's plane: longer ways, less energy.
    c = velmora.arrivals(room, (4, 6), (15, 8), Lw=90, height=2)
    assert (c.table["energy"] < a.table["energy"]).all()


def test_higher_orders_equal_the_echogram(session):
    path = CASES[0]
    session.verb("load", path)
    session.verb("reflectionorder", 3)
    session.verb("echogram")
    shown = session({"op": "find", "tag": "acouechogram"})["objects"][0]["props"]["userdata"]
    a = case_arrivals(velmora.read_case(path), order=3)
    assert a.summary == shown["summary"]
    assert len(a) == len(shown["arrivals"]) and max(a.table["order"]) == 3
    for mine, theirs in zip(a.table, shown["arrivals"]):
        assert mine["order"] == matrix(theirs["order"])[0]
        assert mine["walls"] == " ".join(str(int(w)) for w in matrix(theirs["walls"]))
        for field in ("delay", "level", "angle"):
            assert mine[field] == matrix(theirs[field])[0], field
    with pytest.raises(ValueError, match="order must be a whole number from 1 to 6, got 7"):
        case_arrivals(velmora.read_case(path), order=7)


def test_blocked_direct_sound_counts_nowhere():
    # L-shaped room: the inner corner hides the receptor from the source.
    room = velmora.Room([0, 10, 10, 5, 5, 0], [0, 0, 10, 10, 5, 5])
    a = velmora.arrivals(room, (1, 4), (8, 9))
    assert a.table["kind"][0] == "blocked direct"
    assert a.D50 is not None and "blocked" not in a.summary
