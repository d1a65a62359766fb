# Reading the converter's call trace: one line per call the plug-in made to
# its host, in call order (the stand-in host's --trace output). The bulk of it
# (the points and the polygons) is read as whole blocks of numbers by numpy;
# only the few surface lines and the panel's lines are read one by one.
import re
import warnings

import numpy as np

# Control numbers of the options panel, in its order of creation.
LOAD_CONTROL = 2
COLOUR_CONTROL = 3
SCALE_CONTROL = 4
NAME_CONTROL = 5
SMOOTH_CONTROL = 7
ANGLE_CONTROL = 8
DOUBLE_SIDED_CONTROL = 9

# Stands for the word addPolygon among the numbers of the polygon lines: no
# count, surface value (16 bits) or point number can take it.
_POLYGON_MARK = -(1 << 40)

_QUOTED = rb'"(?:[^"\\]|\\.)*"'
_ESCAPE = re.compile(rb"\\(x[0-9a-fA-F]{2}|.)", re.S)
_LOOKUP = re.compile(rb"^lookupSurface (" + _QUOTED + rb") -> (-?\d+)$", re.M)
_BLOCK = re.compile(rb"^storeSurfaceData (" + _QUOTED + rb") (\d+) ([0-9A-F]*)$", re.M)
_SET_VALUE = re.compile(rb"^setControlAttribute #(\d+) 4 (.*)$", re.M)
_GET_VALUE = re.compile(rb"^getControlAttribute #(\d+) 4 -> (.*)$", re.M)
_SUMMARY = re.compile(rb'^createControl TextControl "" (' + _QUOTED + rb") -> #1$", re.M)
_OUTCOME = re.compile(rb"^(status|result) (-?\d+)$", re.M)


class TraceError(ValueError):
    """The text is not a trace as the converter writes it."""


def unquote(quoted):
    """The bytes a quoted trace text stands for ("a\\x95\\"" -> b'a\\x95"')."""
    body = quoted[1:-1]

    def one(match):
        e = match.group(1)
        return bytes([int(e[1:], 16)]) if len(e) == 3 and e[:1] in b"xX" else e

    return _ESCAPE.sub(one, body)


def _value(text):
    """A panel value as traced: quoted text, an integer or a float."""
    if text.startswith(b'"'):
        return unquote(text)
    if re.fullmatch(rb"-?\d+", text):
        return int(text)
    return float(text)


class Received:
    """What the host received during one activation, in the host's own space."""

    def __init__(self):
        self.point_count = 0  # as declared
        self.points = np.zeros((0, 3), np.float32)
        self.surfaces = []  # (name bytes, value), in the order they were looked up
        self.polygon_sizes = np.zeros(0, np.int64)
        self.polygon_surfaces = np.zeros(0, np.int64)  # the value as received
        self.corners = np.zeros(0, np.int64)  # point numbers, polygon after polygon
        self.blocks = {}  # name bytes -> the last block stored under it
        self.status = None  # None when the plug-in wrote none
        self.result = None
        self.summary = None  # the panel's statistics line
        self.proposed = {}  # control number -> value the plug-in set when opening the panel
        self.confirmed = {}  # control number -> value it read back

    @property
    def polygon_starts(self):
        starts = np.zeros(len(self.polygon_sizes), np.int64)
        np.cumsum(self.polygon_sizes[:-1], out=starts[1:])
        return starts


def _block(text, first, start):
    """The run of lines starting with `first` from `start` (or -1): (begin, end)."""
    begin = text.find(first, start)
    if begin < 0:
        return start, start
    end = begin
    for word in (b"\nlookupSurface ", b"\naddPolygon ", b"\nstoreSurfaceData ", b"\nstatus ",
                 b"\nresult "):
        if word[1:] == first:
            continue
        found = text.find(word, begin)
        if found >= 0 and (end == begin or found < end):
            end = found
    if end == begin:
        end = len(text)
    return begin, end


def _numbers(block, dtype, expected=None):
    """The numbers of a block of text, all of them or a TraceError."""
    with warnings.catch_warnings():
        # A word that is no number ends the reading with a warning; the
        # count tells.
        warnings.simplefilter("ignore", DeprecationWarning)
        values = np.fromstring(block, dtype=dtype, sep=" ") if block.strip() else np.zeros(0, dtype)
    if expected is not None and len(values) != expected:
        raise TraceError(f"{expected} numbers expected, {len(values)} read")
    return values


def parse(text):
    """The Received record of a trace (bytes)."""
    r = Received()
    start = text.find(b"startObject\n")
    head = text if start < 0 else text[:start]
    summary = _SUMMARY.search(head)
    if summary:
        r.summary = unquote(summary.group(1))
    for match in _SET_VALUE.finditer(head):
        r.proposed.setdefault(int(match.group(1)), _value(match.group(2)))
    for match in _GET_VALUE.finditer(head):
        r.confirmed[int(match.group(1))] = _value(match.group(2))
    for match in _OUTCOME.finditer(text, max(start, 0)):
        setattr(r, match.group(1).decode(), int(match.group(2)))
    if start < 0:
        return r

    declared = re.compile(rb"declarePointCount (-?\d+)\n").match(text, start + len(b"startObject\n"))
    if not declared:
        raise TraceError("no declarePointCount after startObject")
    r.point_count = int(declared.group(1))
    body = declared.end()

    begin, end = _block(text, b"addPoints ", body)
    points = text[begin:end]
    lines = points.count(b"addPoints")
    r.points = _numbers(points.replace(b"addPoints", b""), np.float64, 3 * lines).astype(np.float32).reshape(-1, 3)

    r.surfaces = [(unquote(m.group(1)), int(m.group(2))) for m in _LOOKUP.finditer(text, end)]

    begin, end = _block(text, b"addPolygon ", end)
    if end > begin:
        block = text[begin:end]
        lines = block.count(b"addPolygon")
        numbers = _numbers(block.replace(b"addPolygon", b"%d" % _POLYGON_MARK), np.int64)
        marks = np.flatnonzero(numbers == _POLYGON_MARK)
        sizes = numbers[marks + 1]
        ends = np.append(marks[1:], len(numbers))
        if (len(marks) != lines or marks[0] != 0 or np.any(sizes < 0)
                or np.any(ends - marks != sizes + 3)):
            raise TraceError("addPolygon lines whose point count does not match their points")
        keep = np.ones(len(numbers), bool)
        keep[marks] = keep[marks + 1] = keep[marks + 2] = False
        r.polygon_sizes = sizes
        r.polygon_surfaces = numbers[marks + 2]
        r.corners = numbers[keep]
        if len(r.corners) and (r.corners.min() < 0 or r.corners.max() >= len(r.points)):
            raise TraceError("a polygon names a point that was not sent")

    for match in _BLOCK.finditer(text, end):
        r.blocks[unquote(match.group(1))] = bytes.fromhex(match.group(3).decode())
    return r
