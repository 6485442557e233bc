"""The examples of examples/python run and make what they say."""
import os
import subprocess
import sys

import pytest

import velmora
from conftest import SOURCE

EXAMPLES = os.path.join(SOURCE, "examples", "python")


def run(tmp_path, name, *args):
    env = dict(os.environ, MPLBACKEND="Agg")
    result = subprocess.run([sys.executable, os.path.join(EXAMPLES, name), *args], cwd=tmp_path, env=env,
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_plot_map(tmp_path):
    pytest.importorskip("matplotlib")
    out = run(tmp_path, "plot_map.py")
    assert out.startswith("hall-map.png: 31x31 points")
    assert (tmp_path / "hall-map.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_sweep_sources(tmp_path):
    out = run(tmp_path, "sweep_sources.py", os.path.join(SOURCE, "samples", "hall.ac"), "5").splitlines()
    assert out[0].startswith("hall: 5 source positions in ")
    assert len(out) == 2 + 5 + 1 and out[-1].startswith("most even: source at (2.00, 0.00)")


def test_change_case(tmp_path):
    out = run(tmp_path, "change_case.py")
    assert out.startswith("wall ") and "written to hall-treated.ac" in out
    case = velmora.read_case(str(tmp_path / "hall-treated.ac"))
    assert case["name"] == "hall-treated" and case["alpha"].max() >= 60
