"""The module's audience map is the program's: the same numbers as `velmora batch --csv`, and the
same bits as the case record the program keeps after opening the case."""
import csv
import math
import os

import numpy as np
import pytest

import velmora
from conftest import CASES, case_id, matrix, run_program


def csv_number(value, decimals):
    """A number as the program's tables write it: fixed decimals, trailing zeros dropped, empty for
    no value."""
    if value is None or not math.isfinite(value):
        return ""
    text = f"{value:.{decimals}f}"
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def module_table(case):
    """The map table of docs (the batch's --csv) made from the module's results."""
    m = velmora.compute_case(case)
    lw = case["Lw"]
    xs, ys = m["xs"].ravel(order="F"), m["ys"].ravel(order="F")
    points = xs.size
    walls = len(case["xwall"])
    inside = np.ones(points, bool)
    inside[m["ina"] - 1] = False
    direct = velmora.levels(m["Pso"].ravel(order="F"), lw)
    total = velmora.levels((m["PT"] + m["Pso"]).ravel(order="F"), lw)
    reflections = m["RT"].ravel(order="F")
    wall_levels = np.full((walls, points), np.nan)
    for k in range(walls):
        wall_levels[k, m["inRW"][k] - 1] = velmora.levels(m["Pwall"][k], lw)
    rows = [["x", "y", "inside", "reflections", "direct", "total"] + [f"wall{k + 1}" for k in range(walls)]]
    for i in range(points):
        row = [csv_number(xs[i], 6), csv_number(ys[i], 6), "1" if inside[i] else "0"]
        if inside[i]:
            row += [csv_number(reflections[i], 0), csv_number(direct[i], 3), csv_number(total[i], 3)]
            row += [csv_number(wall_levels[k, i], 3) for k in range(walls)]
        else:
            row += [""] * (3 + walls)
        rows.append(row)
    return rows


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_map_equals_batch_csv(program, tmp_path, path):
    out = tmp_path / "map.csv"
    result = run_program("batch", path, "--csv", str(out), cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    with open(out, newline="", encoding="utf-8") as f:
        f.readline()  # the comment line
        program_rows = list(csv.reader(f, strict=True))
    module_rows = module_table(velmora.read_case(path))
    assert len(module_rows) == len(program_rows)
    for mine, theirs in zip(module_rows, program_rows):
        assert mine == theirs


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_map_same_bits_as_the_case_record(session, path):
    session.verb("load", path)
    udf = session({"op": "get", "what": "udf"})["value"]
    m = velmora.compute_case(velmora.read_case(path))
    for field in ("RT", "PT", "Pso"):
        assert udf[field]["shape"] == list(m[field].shape)
        assert matrix(udf[field]) == m[field].ravel(order="F").tolist(), field
    assert matrix(udf["ina"]) == m["ina"].tolist()
    assert matrix(udf["inDS"]) == m["inDS"].tolist()
    assert matrix(udf["diffcoef"]) == m["diffcoef"].tolist()
    assert udf["iscnvx"] == m["iscnvx"]
    assert len(udf["Pwall"]) == len(m["Pwall"])
    for k, (energies, reached) in enumerate(zip(udf["Pwall"], udf["inRW"])):
        assert matrix(energies) == m["Pwall"][k].tolist(), f"wall {k + 1}"
        assert matrix(reached) == m["inRW"][k].tolist(), f"wall {k + 1}"


def test_map_fields_and_shapes():
    room = velmora.Room([0, 20, 20, 0], [0, 0, 12, 12], alpha=[10, 20, 30, 40])
    m = velmora.compute_map(room, (4, 6), [(2, 2), (18, 2), (18, 10), (2, 10)], intervals=30)
    assert m["RT"].shape == m["PT"].shape == m["Pso"].shape == m["xs"].shape == (31, 31)
    # A convex room: every point hears the source and the four walls.
    assert m["iscnvx"] == 1 and m["ina"].size == 0 and m["inDS"].size == 0
    assert (m["RT"] == 4).all()
    assert len(m["Pwall"]) == len(m["inRW"]) == 4
    np.testing.assert_allclose(m["PT"], sum(velmora.wall_grid(m, k) for k in range(1, 5)), rtol=1e-12)
    # The grid runs from the first corner along the first side with the first index.
    assert (m["xs"][0, 0], m["ys"][0, 0]) == (2, 2) and (m["xs"][-1, 0], m["ys"][-1, 0]) == (18, 2)
    assert "RTorder" not in m


def test_higher_orders():
    room = velmora.Room([0, 20, 20, 0], [0, 0, 12, 12], alpha=30)
    audience = [(2, 2), (18, 2), (18, 10), (2, 10)]
    first = velmora.compute_map(room, (4, 6), audience, intervals=20)
    m = velmora.compute_map(room, (4, 6), audience, intervals=20, order=3)
    assert m["RTorder"].shape == m["PTorder"].shape == (3, 21, 21)
    assert m["beams"].tolist()[0] == 4 and len(m["beams"]) == 3
    # The first order stays the first-order chain's, to the bit; RT and PT count every order.
    assert np.array_equal(m["RTorder"][0], first["RT"]) and np.array_equal(m["PTorder"][0], first["PT"])
    assert np.array_equal(m["RT"], m["RTorder"].sum(axis=0))
    np.testing.assert_allclose(m["PT"], m["PTorder"].sum(axis=0), rtol=1e-12)
    assert (m["RTorder"][1] > 0).all() and (m["PT"] > first["PT"]).all()
    # The first-order fields stay first-order.
    for k in range(4):
        assert np.array_equal(m["Pwall"][k], first["Pwall"][k])


def test_levels():
    assert velmora.levels(4e-10 * 10 ** 8, 100).tolist() == pytest.approx(80.0)
    p = np.array([[4e-2, 0.0], [-1.0, np.nan]])
    out = velmora.levels(p, 90)
    assert out.shape == (2, 2)
    assert out[0, 0] == pytest.approx(70.0) and np.isnan(out[0, 1]) and np.isnan(out[1, 0]) and np.isnan(out[1, 1])
    # Floored at 0 dB, as the program shows levels.
    assert velmora.levels([4e-10 * 1e-3], 100).tolist() == [0.0]


def test_source_on_a_vertex_is_moved_into_the_room():
    room = velmora.Room([0, 10, 10, 0], [0, 0, 10, 10])
    m = velmora.compute_map(room, (10, 10), [(1, 1), (9, 1), (9, 9), (1, 9)], intervals=4)
    assert 9.98 < m["xso"] < 10 and 9.98 < m["yso"] < 10


def test_results_are_arrays_of_their_own():
    # The arrays hold the engine's buffers: they outlive the call and the dict, and may be changed.
    room = velmora.Room([0, 20, 20, 0], [0, 0, 12, 12], alpha=10)
    m = velmora.compute_map(room, (4, 6), [(2, 2), (18, 2), (18, 10), (2, 10)], intervals=40)
    rt, pwall, reached = m["RT"], m["Pwall"][2], m["inRW"][2]
    expected = (rt.copy(), pwall.copy(), reached.copy())
    del m
    import gc
    gc.collect()
    velmora.compute_map(room, (5, 5), [(2, 2), (18, 2), (18, 10), (2, 10)], intervals=40)
    assert np.array_equal(rt, expected[0]) and np.array_equal(pwall, expected[1])
    assert np.array_equal(reached, expected[2])
    rt[0, 0] = -1
    assert rt.flags.writeable and rt[0, 0] == -1
    assert reached.dtype.kind == "u" and reached.min() >= 1
