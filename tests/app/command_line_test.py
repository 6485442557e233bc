#!/usr/bin/env python3
"""The velmora program as a user and a script run it: batch runs over case files, read back by
independent readers (Python's csv module in strict mode, ImageMagick's identify, Ghostscript), bad
words and bad files answered with one clear line, the GNU options, and the dispatcher's words.

    command_line_test.py VELMORA FIXTURES
"""
import csv
import os
import subprocess
import sys
import tempfile
import unittest

VELMORA, FIXTURES = sys.argv[1], sys.argv[2]
CASES = ["l-room.ac", "curved-room.ac", "default-room-z20.ac"]
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(FIXTURES)), "..", "samples")
NO_DISPLAY_LINE = ("velmora: the windows need a display{}; 'velmora batch' and 'velmora --automation' "
                   "work without one (see velmora --help)\n")


def run(*words, cwd=None):
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)  # a batch run must not need it
    return subprocess.run([VELMORA, *words], cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=120, stdin=subprocess.DEVNULL)


def read_table(path):
    """The comment line, then the rows of a strict RFC 4180 parse of the rest."""
    with open(path, newline="", encoding="utf-8") as f:
        comment = f.readline()
        rows = list(csv.reader(f, strict=True))
    return comment, rows


def tool(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=120)


class BatchRuns(unittest.TestCase):
    def test_three_cases_write_tables_and_prints_that_readers_accept(self):
        with tempfile.TemporaryDirectory() as out:
            for case in CASES:
                base = os.path.join(out, case[:-3])
                r = run("batch", os.path.join(FIXTURES, case), "--intervals", "12", "--csv", base + ".csv",
                        "--polar", base + "-polar.csv", "--print", base + ".ps", cwd=out)
                self.assertEqual((r.returncode, r.stderr), (0, ""), case)
                comment, rows = read_table(base + ".csv")
                self.assertTrue(comment.startswith("# case " + case[:-3] + ";"), comment)
                header = rows[0]
                self.assertEqual(header[:6], ["x", "y", "inside", "reflections", "direct", "total"])
                self.assertTrue(all(h == "wall%d" % (k + 1) for k, h in enumerate(header[6:])))
                self.assertEqual(len(rows) - 1, 13 * 13, case)
                for row in rows[1:]:
                    self.assertEqual(len(row), len(header))
                    float(row[0]), float(row[1])
                    self.assertIn(row[2], ("0", "1"))
                    if row[2] == "1":
                        received = sum(1 for v in row[6:] if v != "")
                        self.assertEqual(int(row[3]), received, row)
                        self.assertGreater(float(row[5]), 0)
                comment, rows = read_table(base + "-polar.csv")
                self.assertEqual(rows[0], ["kind", "wall", "level", "delay", "angle"])
                self.assertIn(rows[1][0], ("direct", "blocked direct"))
                for row in rows[2:]:
                    self.assertEqual(row[0], "reflection")
                    self.assertGreater(float(row[3]), 0)  # a reflection comes after the direct sound
                with open(base + ".ps", "rb") as ps:
                    self.assertEqual(ps.read(14), b"%!PS-Adobe-3.0", case)
                png = base + ".png"
                self.assertEqual(tool("gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                      "-r40", "-sOutputFile=" + png, base + ".ps").returncode, 0)
                self.assertTrue(tool("identify", png).stdout.startswith(png + " PNG "), case)
            self.assertFalse(os.path.exists(os.path.join(out, "temporarysave.ac")))

    def test_a_raster_print_and_moved_source_and_receptor(self):
        with tempfile.TemporaryDirectory() as out:
            jpg = os.path.join(out, "room.jpg")
            polar = os.path.join(out, "p.csv")
            r = run("batch", os.path.join(FIXTURES, "default-room-z20.ac"), "--source", "4,1",
                    "--receptor=14,-3", "--print", jpg, "--polar", polar)
            self.assertEqual((r.returncode, r.stderr), (0, ""))
            self.assertRegex(tool("identify", "-format", "%m %w %h", jpg).stdout, r"^JPEG \d+ \d+$")
            png = os.path.join(out, "room.png")
            r = run("batch", os.path.join(FIXTURES, "l-room.ac"), "--print", png)
            self.assertEqual((r.returncode, r.stderr), (0, ""))
            self.assertRegex(tool("identify", "-format", "%m %w %h", png).stdout, r"^PNG \d+ \d+$")
            comment, _ = read_table(polar)
            self.assertIn("source (4 1) m; receptor (14 -3) m;", comment)

    def test_bad_files_and_words_give_one_line_and_write_nothing(self):
        with tempfile.TemporaryDirectory() as out:
            corrupt = os.path.join(out, "corrupt.ac")
            with open(corrupt, "wb") as f:
                f.write(b"MATLAB 5.0 MAT-file" + b"\0" * 200)
            room = os.path.join(FIXTURES, "l-room.ac")
            csv_out = os.path.join(out, "m.csv")
            rows = [
                (["batch", "/nope/room.ac", "--csv", csv_out], 1, "velmora batch: file /nope/room.ac not found ..."),
                (["batch", corrupt, "--csv", csv_out], 1, "velmora batch: file " + corrupt),
                (["batch", os.path.join(FIXTURES, "README.md")], 1, "is not a velmoracopy file ..."),
                (["batch", room, "--csv", csv_out, "--source", "50,50"], 1, "--source 50,50 lies outside the room"),
                (["batch", room, "--polar", csv_out, "--receptor", "2.5,2.5"], 1,
                 "receptor must be at least one meter far from source ..."),
                (["batch", room, "--print", "/nope/room.ps"], 1, "cannot write file /nope/room.ps"),
                (["batch"], 2, "a case file is needed"),
                (["batch", room, room], 2, "one case file per run"),
                (["batch", room, "--intervals", "5"], 2, "--intervals needs a whole number from 10 to 400, not '5'"),
                (["batch", room, "--source", "1;2"], 2, "--source needs X,Y in metres"),
                (["batch", room, "--csv"], 2, "--csv needs a value"),
                (["batch", room, "--colour", "red"], 2, "unrecognized option '--colour'"),
            ]
            for words, status, message in rows:
                r = run(*words, cwd=out)
                self.assertEqual(r.returncode, status, words)
                self.assertEqual(r.stderr.count("\n"), 1, (words, r.stderr))
                self.assertIn(message, r.stderr, words)
                self.assertTrue(r.stderr.startswith("velmora batch: "), r.stderr)
                self.assertFalse(os.path.exists(csv_out), words)


class Options(unittest.TestCase):
    def test_help_version_and_unknown_options(self):
        r = run("--help")
        self.assertEqual((r.returncode, r.stderr), (0, ""))
        self.assertTrue(r.stdout.startswith("Usage: velmora [WORD...]\n"))
        self.assertEqual(run("batch", "--help").stdout, r.stdout)
        for short in (["-h"], ["batch", "-h"]):
            self.assertEqual((run(*short).returncode, run(*short).stdout), (0, r.stdout), short)
        r = run("--version")
        self.assertEqual(r.returncode, 0)
        self.assertRegex(r.stdout.splitlines()[0], r"^velmora \d+\.\d+\.\d+$")
        self.assertIn("GPLv3+", r.stdout)
        for words in (["--colour"], ["load", "--nope"], ["--open", "a.ac", "b.ac"]):
            r = run(*words)
            self.assertEqual(r.returncode, 2, words)
            self.assertEqual(r.stdout, "")
            self.assertIn("Usage: velmora", r.stderr)

    def test_dispatcher_words_are_handed_on_as_before(self):
        # Words the dispatcher refuses at start-up: its one console line, then exit status 2 as
        # --help says. (A case file that cannot be read, "load /nope.ac", also shows an error box,
        # which nobody closes here: tests/app/start_up_test.cpp drives that family.)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        rows = [
            (["a", "b", "c", "d"], "Run-time Error: File: velmoracopy Line: 1 Column: 1 The function "
             "\"velmoracopy\" was called with more than the declared number of inputs (3)."),
            (["a", "b", "c"], "too much arguments"),
            (["nosuchverb"], "unknown argument"),
            (["bogusword"], "unknown argument"),
            (["--", "--nosuchverb"], "unknown argument"),
        ]
        for words, message in rows:
            r = subprocess.run([VELMORA, *words], env=env, capture_output=True, text=True, timeout=120,
                               stdin=subprocess.DEVNULL)
            self.assertEqual(r.returncode, 2, words)
            self.assertEqual(r.stdout, "", words)
            # Qt may say something of the environment first (no runtime folder); the line is last.
            self.assertTrue(r.stderr.endswith("\n" + message + "\n") or r.stderr == message + "\n",
                            (words, r.stderr))

    def test_samples_named_in_the_help_exist_and_run(self):
        usage = run("--help").stdout
        lines = [line.strip() for line in usage.splitlines() if line.strip().startswith("velmora ")]
        self.assertEqual(len(lines), 3, usage)
        for name in ("hall.ac", "l-room.ac", "curved-room.ac", "hall-plan.dxf"):
            self.assertTrue(os.path.isfile(os.path.join(SAMPLES, name)), name)
        with tempfile.TemporaryDirectory() as out:
            for line in lines:
                words = line.split()[1:]
                if words[0] != "batch":
                    continue
                # The installed folder the help names holds the same files as samples/ here.
                words = [os.path.join(SAMPLES, os.path.basename(w)) if w.endswith(".ac") else w for w in words]
                r = run(*words, cwd=out)
                self.assertEqual((r.returncode, r.stderr), (0, ""), line)
            self.assertEqual(sorted(os.listdir(out)), ["arrivals.csv", "hall.pdf", "map.csv"])


class NoDisplay(unittest.TestCase):
    def test_the_windows_say_they_need_a_display_and_the_rest_runs_without(self):
        hall = os.path.join(SAMPLES, "hall.ac")
        rows = [
            # environment, words, exit status, standard error (None: anything but Qt's advice)
            ({}, [], 1, NO_DISPLAY_LINE.format("")),
            ({}, ["load", hall], 1, NO_DISPLAY_LINE.format("")),
            ({}, ["--open", hall], 1, NO_DISPLAY_LINE.format("")),
            ({}, ["bogusword"], 1, NO_DISPLAY_LINE.format("")),
            ({"QT_QPA_PLATFORM": "xcb"}, [], 1, NO_DISPLAY_LINE.format("")),
            ({"DISPLAY": ":987"}, ["--open", hall], 1, NO_DISPLAY_LINE.format(" and :987 cannot be opened")),
            ({}, ["-h"], 0, ""),
            ({}, ["--version"], 0, ""),
            ({}, ["--nope"], 2, None),
            ({}, ["batch", hall, "--csv", "map.csv"], 0, ""),
            ({}, ["--automation"], 0, None),
        ]
        with tempfile.TemporaryDirectory() as out:
            for extra, words, status, stderr in rows:
                env = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
                env.update(extra)
                r = subprocess.run([VELMORA, *words], env=env, cwd=out, capture_output=True, text=True,
                                   timeout=120, input='{"op":"quit"}\n')
                self.assertEqual(r.returncode, status, (extra, words, r.stderr))
                if stderr is not None:
                    self.assertEqual(r.stderr, stderr, (extra, words))
                self.assertNotIn("reinstalling", r.stderr)
            self.assertTrue(os.path.getsize(os.path.join(out, "map.csv")) > 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
