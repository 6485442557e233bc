#!/usr/bin/env python3
"""Batch reports read back by poppler (pdfinfo, pdftotext, pdftoppm) and ImageMagick: pages, the case
name, date and version on every page, the wall table, the arrivals table against the --polar table
of the same run, the refused diagram, and bad report names.

    report_test.py VELMORA FIXTURES
"""
import csv
import datetime
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

VELMORA, FIXTURES = sys.argv[1], sys.argv[2]
CASES = ["l-room.ac", "curved-room.ac", "default-room-z20.ac"]


def run(*words):
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    return subprocess.run([VELMORA, *words], env=env, capture_output=True, text=True, timeout=180,
                          stdin=subprocess.DEVNULL)


def tool(*args):
    r = subprocess.run(args, capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        raise AssertionError("%s failed: %s" % (args[0], r.stderr))
    return r.stdout


def pages_of(pdf):
    info = tool("pdfinfo", pdf)
    assert re.search(r"^Page size:.* pts \(A4\)$", info, re.M), info
    return int(re.search(r"^Pages:\s+(\d+)$", info, re.M).group(1))


class Reports(unittest.TestCase):
    def test_reports_of_three_cases_hold_their_tables_and_render(self):
        version = run("--version").stdout.splitlines()[0]  # "velmora X.Y.Z"
        today = datetime.date.today().isoformat()
        with tempfile.TemporaryDirectory() as out:
            for case in CASES:
                name = case[:-3]
                pdf, arrivals = os.path.join(out, name + ".pdf"), os.path.join(out, name + ".csv")
                r = run("batch", os.path.join(FIXTURES, case), "--report", pdf, "--polar", arrivals)
                self.assertEqual((r.returncode, r.stderr), (0, ""), case)
                pages = pages_of(pdf)
                self.assertIn(pages, (1, 2, 3), case)
                text = tool("pdftotext", "-layout", pdf, "-")
                per_page = text.split("\f")[:pages]
                for page in per_page:  # header and footer on each page
                    self.assertIn("Case " + name, page)
                    self.assertIn(today, page)
                    self.assertIn(version, page)
                self.assertIn("page %d of %d" % (pages, pages), per_page[-1])
                for words in ("wall", "length (m)", "angle (°)", "absorption (%)", "seen from the source",
                              "level (dB)", "delay (ms)", "direction (°)"):
                    self.assertIn(words, text, case)
                # Every arrival of the --polar table is a row of the report, rounded to 0.1.
                with open(arrivals, newline="", encoding="utf-8") as f:
                    f.readline()
                    rows = list(csv.reader(f))[1:]
                row = r"^ *\d+ +-?\d+\.\d +-?\d+\.\d +\d+\.\d +\d+\.\d *$"
                self.assertEqual(len(rows) - 1, len(re.findall(row, text, re.M)), case)
                for kind, wall, level, delay, angle in rows:
                    label = wall if kind == "reflection" else "direct"
                    m = re.search(r"^ *%s(?: \(blocked\))?((?: +-?\d+\.\d){4}) *$" % label, text, re.M)
                    self.assertIsNotNone(m, (case, kind, wall))
                    shown = [float(v) for v in m.group(1).split()]
                    for got, want in zip((shown[0], shown[1], shown[3]), (level, delay, angle)):
                        self.assertAlmostEqual(got, float(want), delta=0.051)
                    self.assertTrue(0 <= shown[2] < 360, m.group(0))
                # Rendered by an independent reader; the first page carries the coloured map.
                prefix = os.path.join(out, name + "-page")
                tool("pdftoppm", "-png", "-r", "40", pdf, prefix)
                pngs = sorted(p for p in os.listdir(out) if p.startswith(name + "-page"))
                self.assertEqual(len(pngs), pages, case)
                saturation = tool("convert", os.path.join(out, pngs[0]), "-colorspace", "HSL", "-channel", "G",
                                  "-separate", "-format", "%[fx:maxima]", "info:")
                self.assertGreater(float(saturation), 0.5, case)

    def test_a_room_of_44_walls_runs_its_tables_over_three_pages(self):
        with tempfile.TemporaryDirectory() as out:
            case = os.path.join(out, "round.ac")
            n = 44
            prop = {"xwall": [10 + 8 * math.cos(2 * math.pi * k / n) for k in range(n)],
                    "ywall": [8 * math.sin(2 * math.pi * k / n) for k in range(n)], "alpha": [10] * n,
                    "xaud": [6, 14, 14, 6], "yaud": [-4, -4, 4, 4], "xso": 7, "yso": 0, "xre": 13, "yre": 1}
            requests = [{"op": "answer", "answers": [{"input": ["20"]}]}, {"op": "dispatch", "args": ["init"]},
                        {"op": "dispatch", "args": ["update", prop]},
                        {"op": "answer", "answers": [{"file": case}]}, {"op": "dispatch", "args": ["save"]}]
            subprocess.run([VELMORA, "--automation"], input="".join(json.dumps(r) + "\n" for r in requests),
                           cwd=out, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), capture_output=True,
                           text=True, timeout=180, check=True)
            pdf = os.path.join(out, "round.pdf")
            r = run("batch", case, "--report", pdf)
            self.assertEqual((r.returncode, r.stderr), (0, ""))
            self.assertEqual(pages_of(pdf), 3)
            pages = tool("pdftotext", "-layout", pdf, "-").split("\f")[:3]
            self.assertTrue(all("Case round" in page for page in pages))
            walls = re.findall(r"^ *(\d+) +1\.1 +\d+ +10 +yes *$", "".join(pages), re.M)
            self.assertEqual(walls, [str(k + 1) for k in range(n)])  # none lost or doubled at a break
            self.assertEqual([page.count("seen from the source") for page in pages], [1, 1, 0])
            self.assertEqual([page.count("delay (ms)") for page in pages], [0, 0, 1])

    def test_the_reverberation_table_stays_whole_on_one_page_its_header_readable(self):
        # At order 3 the L room's arrivals end low on page 2: the six bands once broke there.
        with tempfile.TemporaryDirectory() as out:
            pdf = os.path.join(out, "l-room.pdf")
            r = run("batch", os.path.join(FIXTURES, "l-room.ac"), "--order", "3", "--report", pdf)
            self.assertEqual((r.returncode, r.stderr), (0, ""))
            pages = tool("pdftotext", "-layout", pdf, "-").split("\f")[:pages_of(pdf)]
            holding = [page for page in pages if "band (Hz)" in page]
            self.assertEqual(len(holding), 1)
            self.assertIn("Reverberation by octave band", holding[0])
            bands = re.findall(r"^ *(125|250|500|1k|2k|4k) +\d", holding[0], re.M)
            self.assertEqual(bands, ["125", "250", "500", "1k", "2k", "4k"])
            # Its header cells stand apart (the second once ran into the third).
            self.assertRegex(holding[0], r"band \(Hz\) {2,}absorption \(m²\) {2,}mean alpha {2,}Sabine T")

    def test_above_order_1_every_path_of_the_echogram_is_listed_with_its_walls_and_order(self):
        with tempfile.TemporaryDirectory() as out:
            room = os.path.join(FIXTURES, "l-room.ac")
            texts, tables = {}, {}
            for order in (1, 2):
                pdf, arrivals = os.path.join(out, "o%d.pdf" % order), os.path.join(out, "o%d.csv" % order)
                r = run("batch", room, "--order", str(order), "--report", pdf, "--polar", arrivals)
                self.assertEqual((r.returncode, r.stderr), (0, ""), order)
                texts[order] = tool("pdftotext", "-layout", pdf, "-")
                with open(arrivals, newline="", encoding="utf-8") as f:
                    f.readline()
                    tables[order] = list(csv.reader(f))[1:]
            text = texts[2]
            self.assertRegex(text, r"(?m)^ *Sound arriving at the receptor: reflections up to order 2$")
            self.assertRegex(texts[1], r"(?m)^ *Sound arriving at the receptor$")
            self.assertNotIn("up to order", texts[1])
            self.assertRegex(text, r"(?m)^ *walls +order +level \(dB\) +delay \(ms\) +direction \(°\) +"
                                   r"from the direct sound \(°\) *$")
            # One row per arrival, the direct sound first and then by delay: walls, order, level, delay,
            # direction, angle from the direct sound.
            rows = re.findall(r"(?m)^ *(direct(?: \(blocked\))?|\d+(?:, *\d+)*) +(\d) +(-?\d+\.\d) +(-?\d+\.\d) +"
                              r"(\d+\.\d) +(\d+\.\d) *$", text)
            self.assertEqual(len(rows), len(tables[2]), rows)
            self.assertTrue(rows[0][0].startswith("direct") and rows[0][1] == "0", rows[0])
            delays = [float(row[3]) for row in rows]
            self.assertEqual(delays, sorted(delays))
            by_path = {(tuple(int(w) for w in re.split(r", *", row[0])), int(row[1])): row for row in rows[1:]}
            self.assertEqual(len(by_path), len(rows) - 1)
            second = [path for path, order in by_path if order == 2]
            self.assertTrue(second and all(len(path) == 2 for path in second), by_path)
            self.assertIn("%d reflections;" % (len(rows) - 1), text)
            direct_direction = float(rows[0][4])
            # Each path as the --polar table has it (an independent listing of the same levels).
            for kind, walls, level, delay, angle in tables[2][1:]:
                order = int(kind.split()[-1]) if kind.startswith("reflection order") else 1
                row = by_path[(tuple(int(w) for w in walls.split()), order)]
                for got, want in zip((row[2], row[3], row[5]), (level, delay, angle)):
                    self.assertAlmostEqual(float(got), float(want), delta=0.051, msg=(walls, order))
                # The direction is the image's, so it lies the given angle from the direct sound's.
                apart = abs(float(row[4]) - direct_direction) % 360
                self.assertAlmostEqual(min(apart, 360 - apart), float(angle), delta=0.11, msg=(walls, order))
            # The first-order rows say what the report at order 1 says.
            for wall, level, delay, direction, angle in re.findall(
                    r"(?m)^ *(\d+) +(-?\d+\.\d) +(-?\d+\.\d) +(\d+\.\d) +(\d+\.\d) *$", texts[1]):
                self.assertEqual(by_path[((int(wall),), 1)][2:], (level, delay, direction, angle))

    def test_a_refused_diagram_is_said_in_the_report(self):
        with tempfile.TemporaryDirectory() as out:
            pdf = os.path.join(out, "near.pdf")
            r = run("batch", os.path.join(FIXTURES, "l-room.ac"), "--receptor", "2.5,2.5", "--report", pdf)
            self.assertEqual((r.returncode, r.stderr), (0, ""))
            text = tool("pdftotext", pdf, "-")
            self.assertIn("No polar diagram: receptor must be at least one meter far from source ...", text)
            self.assertNotIn("delay (ms)", text)
            self.assertIn("seen from the source", text)

    def test_bad_report_names_give_one_line_and_write_nothing(self):
        with tempfile.TemporaryDirectory() as out, tempfile.TemporaryDirectory(suffix=".pdf") as folder:
            room = os.path.join(FIXTURES, "l-room.ac")
            table = os.path.join(out, "m.csv")
            rows = [
                (["--report", "/nope/r.pdf"], 1, "velmora batch: %s: cannot write file /nope/r.pdf" % room),
                (["--report", folder], 1, "cannot write file %s: it is a folder" % folder),
                (["--report"], 2, "velmora batch: --report needs a value"),
                (["--report="], 2, "velmora batch: --report needs a file name"),
                (["--report", room], 2, "--report writes a PDF file, whose name ends in .pdf, not '%s'" % room),
            ]
            for words, status, message in rows:
                r = run("batch", room, "--csv", table, *words)
                self.assertEqual(r.returncode, status, words)
                self.assertEqual(r.stderr.count("\n"), 1, (words, r.stderr))
                self.assertIn(message, r.stderr, words)
                self.assertEqual(os.listdir(out), [], words)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
