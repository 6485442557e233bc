"""VELMORA's engine from Python: audience maps, arrivals at a receptor, levels and case files.

    import velmora
    room = velmora.Room([0, 20, 20, 0], [0, 0, 12, 12], alpha=10)
    m = velmora.compute_map(room, (4, 6), [(2, 2), (18, 2), (18, 10), (2, 10)], intervals=50)
    dB = velmora.levels(m["PT"] + m["Pso"], 95)

Everything is computed by the program's own engine, with the same results to the bit; invalid input
raises ValueError with the program's message. The engine runs without the GIL, on every core.
docs/python.md describes the functions and the fields.
"""

from ._velmora import Arrivals, Room, __version__, arrivals, compute_map, levels, read_case, write_case

__all__ = ["Arrivals", "Room", "arrivals", "compute_map", "compute_case", "levels", "read_case", "write_case",
           "room_of", "wall_grid"]


def room_of(case):
    """The Room of a case description (a dict as read_case returns)."""
    for field in ("xwall", "ywall"):
        if field not in case:
            raise ValueError(f"case description: field {field} is missing")
    return Room(case["xwall"], case["ywall"], alpha=case.get("alpha", 0.0), curves=case.get("curves"))


def compute_case(case, order=None, diffusion=True):
    """The audience map of a case description, as the program computes it when it opens the case:
    its room, source, audience corners, precision (Nsurface) and reflection order (its `order`, 1
    when it has none, unless one is given here)."""
    if order is None:
        order = case.get("order", 1)
    for field in ("xso", "yso", "xaud", "yaud", "Nsurface"):
        if field not in case:
            raise ValueError(f"case description: field {field} is missing")
    audience = list(zip(case["xaud"], case["yaud"]))
    return compute_map(room_of(case), (case["xso"], case["yso"]), audience, intervals=case["Nsurface"],
                       order=order, diffusion=diffusion)


def wall_grid(result, wall):
    """The energies of one wall's reflection (1-based wall number) on the map's grid: Pwall placed at
    the points of inRW, 0 where the reflection does not arrive."""
    import numpy

    if not 1 <= wall <= len(result["Pwall"]):
        raise ValueError(f"wall must be from 1 to {len(result['Pwall'])}, got {wall}")
    grid = numpy.zeros(result["RT"].shape)
    # The indices count from 1 in column order, as the case record holds them.
    grid.T.flat[result["inRW"][wall - 1] - 1] = result["Pwall"][wall - 1]
    return grid
