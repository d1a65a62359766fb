# Reading the host's object as the converter writes it in the host's own
# file layout (LWOB: IFF, big-endian; PNTS, SRFS, POLS, one SURF per
# surface). It holds what the host received but polygons without points, and
# reads faster than the trace, but it cannot hold every object (more than
# 65,536 points, for one): then the converter refuses it and the trace is
# read instead.
import array
import struct
import sys

import numpy as np

from .trace import Received, TraceError


def parse(data):
    """A trace.Received of an LWOB file's bytes; surface values are the
    surfaces' numbers (1, 2, ...), in the order the host looked them up."""
    if data[:4] != b"FORM" or data[8:12] != b"LWOB":
        raise TraceError("not an LWOB file")
    chunks, surfaces, at = {}, [], 12
    while at + 8 <= len(data):
        tag = data[at:at + 4]
        (length,) = struct.unpack_from(">I", data, at + 4)
        body = data[at + 8:at + 8 + length]
        if tag == b"SURF":
            surfaces.append(body)
        else:
            chunks[tag] = body
        at += 8 + length + (length & 1)

    r = Received()
    r.points = np.frombuffer(chunks.get(b"PNTS", b""), ">f4").astype(np.float32).reshape(-1, 3)
    r.point_count = len(r.points)
    names = chunks.get(b"SRFS", b"").split(b"\0")
    r.surfaces = [(name, i + 1) for i, name in enumerate(n for n in names if n)]
    for body in surfaces:
        name = body.split(b"\0", 1)[0]
        padded = len(name) + 1 + ((len(name) + 1) & 1)
        r.blocks[name] = bytes(body[padded:])

    # Polygons: a count, that many point numbers, a surface number. Where
    # each begins follows only from the one before.
    pols = chunks.get(b"POLS", b"")
    words = np.frombuffer(pols, ">u2")
    counts = array.array("H", pols[:len(pols) & ~1])
    if sys.byteorder == "little":
        counts.byteswap()
    starts, at, end = [], 0, len(counts)
    while at < end:
        starts.append(at)
        at += counts[at] + 2
    if at != end:
        raise TraceError("a polygon runs past the end of POLS")
    starts = np.array(starts, np.int64)
    r.polygon_sizes = words[starts].astype(np.int64)
    r.polygon_surfaces = words[starts + r.polygon_sizes + 1].astype(np.int16).astype(np.int64)
    keep = np.ones(len(words), bool)
    keep[starts] = False
    keep[starts + r.polygon_sizes + 1] = False
    r.corners = words[keep].astype(np.int64)
    if len(r.corners) and r.corners.max() >= len(r.points):
        raise TraceError("a polygon names a point the file does not hold")
    r.status, r.result = 0, 0
    return r
