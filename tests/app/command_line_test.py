#!/usr/bin/env python3
"""The velmora program as a user and a script run it: batch runs over case files, read back by
independent readers (Python's csv module in strict mode, ImageMagick's identify, Ghostscript), bad
words and bad files answered with one clear line, the GNU options, and the dispatcher's words.

    command_line_test.py VELMORA FIXTURES
"""
import csv
import json
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import wave

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

    def test_a_higher_order_joins_every_other_option(self):
        with tempfile.TemporaryDirectory() as out:
            room = os.path.join(FIXTURES, "l-room.ac")
            tables = {}
            for order in ("1", "3"):
                polar, grid = os.path.join(out, order + "-p.csv"), os.path.join(out, order + "-m.csv")
                r = run("batch", room, "--order", order, "--intervals", "12", "--receptor", "8,3", "--polar", polar,
                        "--csv", grid, cwd=out)
                self.assertEqual((r.returncode, r.stderr), (0, ""), order)
                tables[order] = (read_table(polar), read_table(grid))
            (comment1, rows1), (_, map1) = tables["1"]
            (comment3, rows3), (_, map3) = tables["3"]
            self.assertNotIn("reflection order", comment1)
            self.assertTrue(comment3.rstrip().endswith("; reflection order 3"), comment3)
            # The first order's rows come first and alike; then the paths of two and three walls.
            self.assertEqual(rows3[:len(rows1)], rows1)
            kinds = [row[0] for row in rows3[len(rows1):]]
            self.assertTrue(kinds and set(kinds) <= {"reflection order 2", "reflection order 3"}, kinds)
            self.assertEqual(kinds, sorted(kinds))
            for row in rows3[len(rows1):]:
                self.assertEqual(len(row[1].split(" ")), int(row[0][-1]), row)
            # Every point counts at least as many reflections at order 3.
            column = map1[0].index("reflections")
            counts = [(float(a[column]), float(b[column])) for a, b in zip(map1[1:], map3[1:]) if a[column] != ""]
            self.assertTrue(counts and all(b >= a for a, b in counts))
            self.assertTrue(any(b > a for a, b in counts))
            r = run("batch", room, "--order", "2", "--receptor", "8,3")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertRegex(r.stdout, r"reflections\n$")

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
                (["batch", room, "--order", "7"], 2, "--order needs a whole number from 1 to 6, not '7'"),
                (["batch", room, "--order=2.5"], 2, "--order needs a whole number from 1 to 6, not '2.5'"),
                (["batch", room, "--order", "two", "--csv", csv_out], 2,
                 "--order needs a whole number from 1 to 6, not 'two'"),
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


def write_click(path, rate, seconds):
    """A dry click (one full-scale sample after 10 ms, then silence) in 16-bit WAV by Python's wave
    module; its length in frames."""
    frames = int(rate * seconds)
    samples = bytearray(2 * frames)
    samples[2 * (rate // 100):2 * (rate // 100) + 2] = (32767).to_bytes(2, "little", signed=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(samples))
    return frames


def read_only(path, text="old"):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, 0o444)


class FifoReader:
    """A FIFO made at `path` and a reader that takes all it is sent."""

    def __init__(self, path):
        os.mkfifo(path)
        self.data = b""
        self.thread = threading.Thread(target=self._read, args=(path,), daemon=True)
        self.thread.start()

    def _read(self, path):
        with open(path, "rb") as f:
            self.data = f.read()

    def received(self):
        self.thread.join(60)
        return self.data


def window(*requests, cwd=None):
    """velmora --automation: a main window (zone 20), then the requests; the replies of the requests."""
    lines = [{"op": "answer", "answers": [{"input": ["20"]}]}, {"op": "dispatch", "args": ["init"]}, *requests]
    r = subprocess.run([VELMORA, "--automation"], input="".join(json.dumps(x) + "\n" for x in lines), cwd=cwd,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), capture_output=True, text=True,
                       timeout=120)
    return [json.loads(line) for line in r.stdout.splitlines()][2:]


def default_signals():
    for sig in (signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGPIPE):
        signal.signal(sig, signal.SIG_DFL)


def listing(folder):
    return sorted(os.listdir(folder))


class Outputs(unittest.TestCase):
    """Every output either written whole or not at all, never over the case, a read-only file or a pipe:
    one row per case, from the batch command line and through the window's writers."""

    def test_every_output_is_written_whole_or_refused(self):
        with tempfile.TemporaryDirectory() as d, tempfile.TemporaryDirectory() as elsewhere:
            hall = os.path.join(d, "hall.ac")
            shutil.copy(os.path.join(FIXTURES, "l-room.ac"), hall)
            with open(hall, "rb") as f:
                case_bytes = f.read()
            out = os.path.join(d, "out")
            map_start, polar_start = "# case hall; x y in m;", "# case hall; source (2 2) m;"
            dry = os.path.join(elsewhere, "click.wav")
            dry_frames = write_click(dry, 44100, 0.5)

            def text_of(name):
                with open(os.path.join(out, name), encoding="utf-8") as f:
                    return f.read()

            def link(name, to):
                os.symlink(to, os.path.join(out, name))

            # name, set-up (in out/), batch words or window requests, exit status (None: a window
            # request, whose error is checked), message, what out/ then holds, a last check
            rows = [
                ("two outputs name one file", None, ["--print", "out/same.pdf", "--report", "out/same.pdf"], 2,
                 "velmora batch: --print and --report name the same file 'out/same.pdf'", [], None),
                ("one file under two spellings", None, ["--csv", "out/a.csv", "--polar", "./out/../out/a.csv"], 2,
                 "--csv and --polar name the same file './out/../out/a.csv'", [], None),
                ("a table over the case file", None, ["--csv", "hall.ac"], 2,
                 "--csv 'hall.ac' would replace the case file", [], None),
                ("a link to the case file", lambda: link("case.csv", "../hall.ac"), ["--polar", "out/case.csv"], 2,
                 "--polar 'out/case.csv' would replace the case file", ["case.csv"], None),
                ("a print over the case file", None, ["--print", "hall.ac"], 2,
                 "--print 'hall.ac' would replace the case file", [], None),
                ("a missing folder after a print", None, ["--print", "out/p.pdf", "--csv", "missing/a.csv"], 1,
                 "velmora batch: hall.ac: cannot write file missing/a.csv: No such file or directory", [], None),
                ("a missing folder after a table", None, ["--csv", "out/a.csv", "--polar", "missing/b.csv"], 1,
                 "cannot write file missing/b.csv: No such file or directory", [], None),
                ("a failure at the very end renames nothing", None,
                 ["--csv", "out/a.csv", "--print", "out/p.ps", "--polar", "/dev/full"], 1,
                 "cannot write file /dev/full: No space left on device", [], None),
                ("a read-only map table", lambda: read_only(os.path.join(out, "ro.csv")), ["--csv", "out/ro.csv"],
                 1, "cannot write file out/ro.csv: Permission denied", ["ro.csv"],
                 lambda r, ctx: self.assertEqual(text_of("ro.csv"), "old")),
                ("a read-only arrivals table", lambda: read_only(os.path.join(out, "ro.csv")),
                 ["--csv", "out/a.csv", "--polar", "out/ro.csv"], 1,
                 "cannot write file out/ro.csv: Permission denied", ["ro.csv"],
                 lambda r, ctx: self.assertEqual(text_of("ro.csv"), "old")),
                ("a read-only print", lambda: read_only(os.path.join(out, "ro.ps")), ["--print", "out/ro.ps"], 1,
                 "velmora batch: hall.ac: cannot write file out/ro.ps: Permission denied", ["ro.ps"],
                 lambda r, ctx: self.assertEqual(text_of("ro.ps"), "old")),
                ("a read-only report", lambda: read_only(os.path.join(out, "ro.pdf")), ["--report", "out/ro.pdf"],
                 1, "cannot write file out/ro.pdf: Permission denied", ["ro.pdf"],
                 lambda r, ctx: self.assertEqual(text_of("ro.pdf"), "old")),
                ("a FIFO gets the table and stays a FIFO", lambda: FifoReader(os.path.join(out, "fifo.csv")),
                 ["--csv", "out/fifo.csv", "--polar", "out/b.csv"], 0, None, ["b.csv", "fifo.csv"],
                 lambda r, reader: (self.assertTrue(reader.received().decode().startswith(map_start)),
                                    self.assertTrue(stat.S_ISFIFO(os.stat(os.path.join(out, "fifo.csv")).st_mode)))),
                ("a FIFO gets the print", lambda: FifoReader(os.path.join(out, "fifo.ps")),
                 ["--print", "out/fifo.ps"], 0, None, ["fifo.ps"],
                 lambda r, reader: self.assertTrue(reader.received().startswith(b"%!PS-Adobe-3.0"))),
                ("a character device", None, ["--polar", "/dev/null", "--csv", "out/a.csv"], 0, None, ["a.csv"],
                 lambda r, ctx: self.assertTrue(stat.S_ISCHR(os.stat("/dev/null").st_mode))),
                ("- is standard output", None, ["--polar", "-"], 0, None, [],
                 lambda r, ctx: self.assertTrue(r.stdout.startswith(polar_start), r.stdout[:80])),
                ("a link to /proc/self/fd/1", lambda: link("stdout.csv", "/proc/self/fd/1"),
                 ["--csv", "out/stdout.csv"], 0, None, ["stdout.csv"],
                 lambda r, ctx: (self.assertTrue(r.stdout.startswith(map_start), r.stdout[:80]),
                                 self.assertTrue(os.path.islink(os.path.join(out, "stdout.csv"))))),
                ("a response and an auralisation, read back by sox and Python", None,
                 ["--ir", "out/r.wav", "--auralise", dry, "out/a.wav"], 0, None, ["a.wav", "r.wav"],
                 lambda r, ctx: self.check_sounds(os.path.join(out, "r.wav"), os.path.join(out, "a.wav"),
                                                  dry_frames * 48000 // 44100)),
                ("a response over the case file by a link", lambda: link("case.wav", "../hall.ac"),
                 ["--ir", "out/case.wav"], 2, "--ir 'out/case.wav' would replace the case file", ["case.wav"], None),
                ("a response and an auralisation in one file", None,
                 ["--ir", "out/a.wav", "--auralise", dry, "out/a.wav"], 2,
                 "--ir and --auralise name the same file 'out/a.wav'", [], None),
                ("an auralisation over the report", None,
                 ["--report", "out/a.pdf", "--auralise", dry, "out/a.pdf"], 2,
                 "--auralise writes a WAV file, whose name ends in .wav, not 'out/a.pdf'", [], None),
                ("a read-only response", lambda: read_only(os.path.join(out, "ro.wav")), ["--ir", "out/ro.wav"],
                 1, "cannot write file out/ro.wav: Permission denied", ["ro.wav"],
                 lambda r, ctx: self.assertEqual(text_of("ro.wav"), "old")),
                ("a dry sound that is missing writes nothing", None,
                 ["--ir", "out/r.wav", "--auralise", "nope.wav", "out/a.wav"], 1,
                 "velmora batch: hall.ac: cannot read file nope.wav: No such file or directory", [], None),
                ("a dry sound that is no sound writes nothing", None,
                 ["--csv", "out/m.csv", "--auralise", "hall.ac", "out/a.wav"], 1,
                 "cannot read file hall.ac: not a sound file (", [], None),
                ("a FIFO gets the auralisation", lambda: FifoReader(os.path.join(out, "fifo.wav")),
                 ["--auralise", dry, "out/fifo.wav", "--ir", "out/r.wav"], 0, None, ["fifo.wav", "r.wav"],
                 lambda r, reader: self.assertEqual(reader.received()[:4], b"RIFF")),
                ("a quoted word is cut", None, ["--source", "1;" + "9" * 100000], 2,
                 "--source needs X,Y in metres (such as 3.5,-2), not '1;" + "9" * 78 + "...'", [], None),
                ("the window's map export over a read-only file", lambda: read_only(os.path.join(out, "ro.csv")),
                 [{"op": "dispatch", "args": ["exportmap", os.path.join(out, "ro.csv")]}], None,
                 "cannot write file %s: Permission denied" % os.path.join(out, "ro.csv"), ["ro.csv"],
                 lambda r, ctx: self.assertEqual(text_of("ro.csv"), "old")),
                ("the window's print over a read-only file", lambda: read_only(os.path.join(out, "ro.jpg")),
                 [{"op": "answer", "answers": [{"file": os.path.join(out, "ro.jpg")}]},
                  {"op": "dispatch", "args": ["print"]}], None,
                 "cannot write file %s: Permission denied" % os.path.join(out, "ro.jpg"), ["ro.jpg"],
                 lambda r, ctx: self.assertEqual(text_of("ro.jpg"), "old")),
                ("the echogram export over a read-only file", lambda: read_only(os.path.join(out, "ro.csv")),
                 [{"op": "dispatch", "args": ["echogram"]},
                  {"op": "answer", "answers": [{"file": os.path.join(out, "ro.csv")}]},
                  {"op": "dispatch", "args": ["echogramexport"]}], None,
                 "cannot write file %s: Permission denied" % os.path.join(out, "ro.csv"), ["ro.csv"],
                 lambda r, ctx: self.assertEqual(text_of("ro.csv"), "old")),
                ("the window's map export to a FIFO", lambda: FifoReader(os.path.join(out, "fifo.csv")),
                 [{"op": "dispatch", "args": ["exportmap", os.path.join(out, "fifo.csv")]}], None, None,
                 ["fifo.csv"], lambda r, reader: self.assertTrue(reader.received().startswith(b"# case "))),
            ]
            for name, setup, words, status, message, left, check in rows:
                with self.subTest(name):
                    shutil.rmtree(out, ignore_errors=True)
                    os.mkdir(out)
                    ctx = setup() if setup else None
                    if status is None:
                        replies = window(*words, cwd=elsewhere)  # where the window keeps its undo file
                        errors = [x["error"] for x in replies if not x["ok"]]
                        self.assertEqual(errors, [message] if message else [])
                        r = None
                    else:
                        r = run("batch", "hall.ac", *words, cwd=d)
                        self.assertEqual(r.returncode, status, r.stderr)
                        if message:
                            self.assertEqual(r.stderr.count("\n"), 1, r.stderr)
                            self.assertIn(message, r.stderr)
                            self.assertLess(len(r.stderr), 400)
                        else:
                            self.assertEqual(r.stderr, "")
                    if check:
                        check(r, ctx)
                    self.assertEqual(listing(out), left)  # no temporary file either
                    self.assertEqual(listing(d), ["hall.ac", "out"])
                    with open(hall, "rb") as f:
                        self.assertEqual(f.read(), case_bytes)

    def check_sounds(self, response, auralised, dry_frames):
        """Both files as soxi and Python's wave module read them: 48 kHz, one channel, 24 bits, the
        auralisation as long as the dry sound and the response together, both peaking at -1 dBFS."""
        lengths = {}
        for path in (response, auralised):
            info = tool("soxi", path)
            self.assertEqual(info.returncode, 0, info.stderr)
            self.assertRegex(info.stdout, r"Sample Rate\s*: 48000")
            self.assertRegex(info.stdout, r"Channels\s*: 1")
            self.assertRegex(info.stdout, r"Precision\s*: 24-bit")
            with wave.open(path) as w:
                self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()), (48000, 1, 3))
                lengths[path] = w.getnframes()
                frames = w.readframes(w.getnframes())
            self.assertEqual(int(tool("soxi", "-s", path).stdout), lengths[path])
            peak = max(abs(int.from_bytes(frames[i:i + 3], "little", signed=True))
                       for i in range(0, len(frames), 3)) / 2 ** 23
            self.assertAlmostEqual(peak, 10 ** (-1 / 20), delta=1e-4)
        self.assertGreater(lengths[response], 48000 // 10)
        self.assertEqual(lengths[auralised], dry_frames + lengths[response] - 1)

    def test_a_run_killed_halfway_leaves_no_output_and_no_temporary_file(self):
        # The map goes to a FIFO that nobody reads: the run waits there with every other file complete
        # under its temporary name, not one renamed yet. Then it is ended by a signal.
        room = os.path.join(FIXTURES, "l-room.ac")
        outputs = ["--csv", "out/fifo.csv", "--polar", "out/b.csv", "--print", "out/p.pdf", "--report", "out/r.pdf"]
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGKILL):
            with self.subTest(sig.name), tempfile.TemporaryDirectory() as d:
                out = os.path.join(d, "out")
                os.mkdir(out)
                os.mkfifo(os.path.join(out, "fifo.csv"))
                env = dict(os.environ)
                env.pop("QT_QPA_PLATFORM", None)
                # As from a terminal, whatever this test's parent ignores (nohup, a background job).
                p = subprocess.Popen([VELMORA, "batch", room, *outputs], cwd=d, env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=default_signals)
                self.addCleanup(lambda proc=p: proc.poll() is None and proc.kill())
                deadline = time.monotonic() + 120
                while sum(n.endswith(".part") for n in os.listdir(out)) < 3 and time.monotonic() < deadline:
                    self.assertIsNone(p.poll(), p.stderr.read() if p.poll() is not None else "")
                    time.sleep(0.05)
                parts = sorted(n for n in os.listdir(out) if n.endswith(".part"))
                self.assertEqual([re.sub(r"\.\d+-\w{6}\.part$", "", n) for n in parts],
                                 [".b.csv", ".p.pdf", ".r.pdf"])
                time.sleep(0.2)  # in the FIFO's open by now
                p.send_signal(sig)
                p.communicate(timeout=60)
                self.assertEqual(p.returncode, -sig)
                if sig == signal.SIGKILL:
                    # Nothing could be removed; the next run writing the same files removes what is left.
                    self.assertEqual(sorted(n for n in os.listdir(out) if n.endswith(".part")), parts)
                    r = run("batch", room, *outputs[2:], cwd=d)
                    self.assertEqual((r.returncode, r.stderr), (0, ""))
                    self.assertEqual(listing(out), ["b.csv", "fifo.csv", "p.pdf", "r.pdf"])
                else:
                    self.assertEqual(listing(out), ["fifo.csv"])
                self.assertEqual(listing(d), ["out"])

    def test_print_extensions_and_a_run_without_outputs(self):
        room = os.path.join(FIXTURES, "l-room.ac")
        known = ".bmp, .hpg, .jpeg, .jpg, .pcx, .pdf, .png, .ps, .svg, .tif"
        with tempfile.TemporaryDirectory() as out:
            rows = [
                ("x.eps", 2, None), ("x.gif", 2, None), ("x", 2, None), ("x.tiff", 2, None),
                ("x.PCX", 0, b"\x0a\x05\x01\x08"), ("x.jpeg", 0, b"\xff\xd8\xff"), ("x.Ps", 0, b"%!PS-Adobe-3.0"),
            ]
            for name, status, magic in rows:
                with self.subTest(name):
                    path = os.path.join(out, name)
                    r = run("batch", room, "--print", path)
                    self.assertEqual(r.returncode, status, r.stderr)
                    if status:
                        self.assertEqual(r.stderr, "velmora batch: --print writes the format of its file's extension"
                                         " (%s), not '%s' (see velmora --help)\n" % (known, path))
                        self.assertEqual(os.listdir(out), [])
                    else:
                        with open(path, "rb") as f:
                            self.assertEqual(f.read(len(magic)), magic)  # the extension's format
                        os.remove(path)
            # Without an output option, one line on what the receptor hears, and no file.
            for case, moved, line in [
                ("l-room.ac", [], r"l-room\.ac: receptor \(8 8\) m: direct blocked, reflected [\d.]+ dB, "
                 r"total [\d.]+ dB, 2 reflections"),
                ("default-room-z20.ac", ["--receptor", "14,-3"], r"default-room-z20\.ac: receptor \(14 -3\) m: "
                 r"direct [\d.]+ dB, reflected [\d.]+ dB, total [\d.]+ dB, \d+ reflections?"),
            ]:
                r = run("batch", case, *moved, cwd=FIXTURES)
                self.assertEqual((r.returncode, r.stderr), (0, ""))
                self.assertRegex(r.stdout, "^" + line + "\n$")


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
