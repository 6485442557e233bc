"""Case files through the module: read as the program reads them, written as its save writes them
(the same bytes), and what the module writes opens in the program."""
import os
import re
import shutil

import numpy as np
import pytest

import velmora
from conftest import CASES, FIXTURES, case_id, run_program

FIELDS = ["name", "height", "gsize", "xlim", "ylim", "xwall", "ywall", "alpha", "xaud", "yaud", "xso", "yso",
          "xre", "yre", "Lw", "animationparameters", "curves", "Nsurface"]


def same(a, b):
    if isinstance(a, dict):
        return isinstance(b, dict) and list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    if isinstance(a, np.ndarray) or isinstance(b, np.ndarray):
        return np.shape(a) == np.shape(b) and np.array_equal(a, b)
    return type(a) is type(b) and a == b


def header_blanked(path):
    """The file's bytes with the creation date of its header blanked."""
    data = bytearray(open(path, "rb").read())
    head = data[:116].decode("latin-1")
    head = re.sub(r"on \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}", lambda m: "-" * len(m.group(0)), head)
    data[:116] = head.encode("latin-1")
    return bytes(data)


def test_read_the_fixtures():
    c = velmora.read_case(os.path.join(FIXTURES, "curved-room.ac"))
    assert list(c) == FIELDS
    assert c["name"] == "curved-room" and c["Lw"] == 90.0 and c["Nsurface"] == 20
    assert c["xwall"].tolist() == [2, 18, 15.775, 15, 15.775, 18, 2]
    assert c["curves"].shape == (1, 9) and c["curves"][0].tolist() == [2, 18, -8, 18, 8, 15, 0, 2, 5]
    p = c["animationparameters"]
    assert (p["step"], p["ptype"], p["axis"].size, p["level"].tolist()) == (6, "linear", 0, [40, 100])
    # Both MAT-file versions read the same.
    assert same(velmora.read_case(os.path.join(FIXTURES, "l-room.ac")),
                velmora.read_case(os.path.join(FIXTURES, "l-room-v7.ac")))
    d = velmora.read_case(os.path.join(FIXTURES, "default-room-z20.ac"))
    assert "curves" not in d and "animationparameters" not in d


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_round_trip(tmp_path, path):
    case = velmora.read_case(path)
    out = tmp_path / "copy.ac"
    velmora.write_case(str(out), case)
    back = velmora.read_case(str(out))
    # Named after the file, as a save names the case.
    assert back.pop("name") == "copy"
    case.pop("name")
    assert same(back, case)


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_written_as_the_program_saves(session, tmp_path, path):
    saved = tmp_path / "saved.ac"
    session.verb("load", path)
    session.verb("save", answers=[{"file": str(saved)}])
    # The program's own save, read by the module and written again under the same name: the same bytes.
    mine = tmp_path / "mine" / "saved.ac"
    mine.parent.mkdir()
    velmora.write_case(str(mine), velmora.read_case(str(saved)))
    assert header_blanked(mine) == header_blanked(saved)


@pytest.mark.parametrize("path", CASES, ids=case_id)
def test_written_case_opens_in_the_program(program, tmp_path, path):
    case = velmora.read_case(path)
    # Changed as a script would: the source moved, the walls more absorbent, a finer map.
    case["xso"], case["yso"] = case["xso"] + 0.5, case["yso"] + 0.25
    case["alpha"] = np.minimum(case["alpha"] + 5, 100)
    case["Nsurface"] = 25
    out = tmp_path / "changed.ac"
    velmora.write_case(str(out), case)
    result = run_program("batch", str(out), "--csv", "map.csv", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    lines = (tmp_path / "map.csv").read_text().splitlines()
    assert lines[0].startswith("# case changed;") and len(lines) == 2 + 26 * 26
    # The receptor line of a plain batch run names the file.
    result = run_program("batch", str(out), cwd=tmp_path)
    assert result.returncode == 0 and result.stdout.startswith(str(out) + ": receptor ("), result


def test_write_case_from_a_new_dict(tmp_path):
    case = {"xwall": [0, 12, 12, 0], "ywall": [0, 0, 8, 8], "alpha": [5, 5, 5, 5],
            "xaud": [1, 11, 11, 1], "yaud": [1, 1, 7, 7], "xso": 2, "yso": 4, "xre": 9, "yre": 4,
            "Lw": 92, "Nsurface": 10, "curves": None, "noselectchange": False}
    velmora.write_case(str(tmp_path / "room.ac"), case)
    back = velmora.read_case(str(tmp_path / "room.ac"))
    assert list(back) == ["name", "xwall", "ywall", "alpha", "xaud", "yaud", "xso", "yso", "xre", "yre", "Lw",
                          "Nsurface"]
    assert back["name"] == "room" and back["Nsurface"] == 10 and back["alpha"].tolist() == [5] * 4
    m = velmora.compute_case(back)
    assert m["RT"].shape == (11, 11)


def test_a_failed_write_leaves_the_file(tmp_path):
    target = tmp_path / "room.ac"
    shutil.copy(os.path.join(FIXTURES, "l-room.ac"), target)
    before = target.read_bytes()
    case = velmora.read_case(str(target))
    case["alpha"] = case["alpha"][:3]
    with pytest.raises(ValueError, match=r"^case description: field alpha must have one value per wall \(6\)$"):
        velmora.write_case(str(target), case)
    os.chmod(target, 0o444)
    with pytest.raises(ValueError, match=r"^cannot write file .*room\.ac: Permission denied$"):
        velmora.write_case(str(target), velmora.read_case(str(target)))
    assert target.read_bytes() == before
    assert sorted(os.listdir(tmp_path)) == ["room.ac"]


def test_the_reflection_order_round_trips(tmp_path):
    c = velmora.read_case(os.path.join(FIXTURES, "l-room.ac"))
    assert "order" not in c
    c["order"] = 3
    path = str(tmp_path / "third.ac")
    velmora.write_case(path, c)
    assert velmora.read_case(path)["order"] == 3
    assert velmora.compute_case(velmora.read_case(path))["RTorder"].shape[0] == 3
    c["order"] = 7
    with pytest.raises(ValueError, match="order"):
        velmora.write_case(path, c)
    assert velmora.read_case(path)["order"] == 3


def test_materials_round_trip_and_open_in_the_program(session, tmp_path):
    c = velmora.read_case(os.path.join(FIXTURES, "l-room.ac"))
    n = len(c["xwall"])
    carpet = [0.08, 0.24, 0.57, 0.69, 0.71, 0.73]
    c["wallmaterial"] = ["carpet (heavy; on foam rubber)"] + [""] * (n - 1)
    c["wallbands"] = np.array([carpet] + [[a / 100] * 6 for a in c["alpha"][1:]])
    c["roomheight"] = 4.5
    c["floormaterial"], c["floorbands"] = "carpet (heavy; on foam rubber)", carpet
    path = tmp_path / "furnished.ac"
    velmora.write_case(str(path), c)
    back = velmora.read_case(str(path))
    assert back["wallmaterial"] == c["wallmaterial"] and back["wallbands"].shape == (n, 6)
    assert np.array_equal(back["wallbands"], c["wallbands"]) and back["roomheight"] == 4.5
    assert back["floorbands"].tolist() == carpet and "ceilingmaterial" not in back
    # The program loads it and saves the materials; the module writes the program's file again to the
    # same bytes.
    session.verb("load", str(path))
    saved = tmp_path / "saved" / "furnished.ac"
    saved.parent.mkdir()
    session.verb("save", answers=[{"file": str(saved)}])
    mine = tmp_path / "mine" / "furnished.ac"
    mine.parent.mkdir()
    program_case = velmora.read_case(str(saved))
    assert program_case["wallmaterial"] == c["wallmaterial"] and program_case["roomheight"] == 4.5
    velmora.write_case(str(mine), program_case)
    assert header_blanked(mine) == header_blanked(saved)
    # A material the library lacks is a label beside its bands, kept as written.
    velmora.write_case(str(mine), dict(program_case, wallmaterial=["felt"] * n))
    assert velmora.read_case(str(mine))["wallmaterial"] == ["felt"] * n
    # Bad values are refused naming the field.
    for field, value, message in [("wallbands", np.full((n, 6), 1.5), "wallbands must hold coefficients"),
                                  ("roomheight", -1, "roomheight must be a height above 0")]:
        bad = dict(c, **{field: value})
        with pytest.raises(ValueError, match=re.escape(message)):
            velmora.write_case(str(path), bad)
