"""The engine runs without the GIL: other Python threads go on meanwhile, and calls from several
threads at once give the same results as one after the other."""
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import velmora

# L-shaped, absorbent, not convex: the slow path of the map.
ROOM = dict(x=[0, 30, 30, 15, 15, 0], y=[0, 0, 30, 30, 15, 15], alpha=[5, 10, 15, 20, 25, 30])
AUDIENCE = [(1, 1), (29, 1), (29, 29), (1, 29)]


def test_other_threads_run_while_the_engine_works():
    room = velmora.Room(**ROOM)
    velmora.compute_map(room, (3, 4), AUDIENCE, intervals=20)  # warm up
    ticks = []
    span = []
    done = threading.Event()

    def compute():
        # Long enough to see: the finest map, every order.
        span.append(time.perf_counter())
        velmora.compute_map(room, (3, 4), AUDIENCE, intervals=400, order=6)
        span.append(time.perf_counter())
        done.set()

    worker = threading.Thread(target=compute)
    worker.start()
    # This thread keeps ticking only if the worker does not hold the GIL inside the engine.
    while not done.is_set():
        ticks.append(time.perf_counter())
        time.sleep(0.001)
    worker.join()
    busy = span[1] - span[0]
    during = np.array([span[0]] + [t for t in ticks if span[0] < t < span[1]] + [span[1]])
    longest = np.diff(during).max()
    assert len(during) > 20, f"{len(during) - 2} ticks during a {busy:.3f} s computation"
    # Held, the GIL would stop this thread for the whole computation.
    assert longest < 0.6 * busy, f"longest pause {longest:.3f} s of {busy:.3f} s"


def test_concurrent_calls_give_the_same_bits():
    room = velmora.Room(**ROOM)
    sources = [(3, 4), (10, 5), (25, 3), (5, 12), (28, 28), (20, 20)]
    one_by_one = [velmora.compute_map(room, s, AUDIENCE, intervals=60) for s in sources]
    with ThreadPoolExecutor(max_workers=3) as pool:
        together = list(pool.map(lambda s: velmora.compute_map(room, s, AUDIENCE, intervals=60), sources))
    for a, b in zip(one_by_one, together):
        for field in ("RT", "PT", "Pso"):
            assert np.array_equal(a[field], b[field])
        for pa, pb in zip(a["Pwall"], b["Pwall"]):
            assert np.array_equal(pa, pb)
    with ThreadPoolExecutor(max_workers=3) as pool:
        echoes = list(pool.map(lambda s: velmora.arrivals(room, s, (8, 8)), sources[:4]))
    for s, e in zip(sources, echoes):
        assert e.table.tobytes() == velmora.arrivals(room, s, (8, 8)).table.tobytes()


def test_case_files_from_threads(tmp_path):
    room_case = {"xwall": ROOM["x"], "ywall": ROOM["y"], "alpha": ROOM["alpha"], "xso": 3, "yso": 4}

    def save_and_read(i):
        path = str(tmp_path / f"room{i}.ac")
        velmora.write_case(path, dict(room_case, xso=3 + i / 10))
        return velmora.read_case(path)

    with ThreadPoolExecutor(max_workers=4) as pool:
        cases = list(pool.map(save_and_read, range(16)))
    assert [c["name"] for c in cases] == [f"room{i}" for i in range(16)]
    assert [c["xso"] for c in cases] == [3 + i / 10 for i in range(16)]
