# The Ostrel engine in Blender's own process: its shared library (bundled
# for Linux x86-64 and 64-bit Windows, or set in the preferences) loaded
# with ctypes, one import per call, the received object read as numpy views
# over the engine's own arrays. No process, no file, no text to parse: the
# host's rules (the import, the panel, the shading) run once, in the engine.
import ctypes
import os
import platform
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
API_VERSION = 1  # the engine's interface this add-on was written for

# ostrel.h's numbers.
EDIT_LOAD, EDIT_COLOURS, EDIT_SCALE, EDIT_NAME, EDIT_SMOOTH, EDIT_ANGLE, EDIT_DOUBLE_SIDED = range(7)
CANCEL, READ_WARNINGS, KEEP_OBJECT, SHADING, CODE_PAGE = range(5)
LOADED, NOT_MODEL_FILE, CANNOT_READ, CANCELLED, REFUSED, HOST_REFUSED, NOT_CONVERTED, \
    OUT_OF_MEMORY, BAD_REQUEST = range(9)
COUNT_POINTS, COUNT_POLYGONS = 0, 1


class EngineError(Exception):
    """No engine could be loaded; the message says what to do."""


class Surface(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("nameBytes", ctypes.c_void_p),
                ("nameSize", ctypes.c_size_t), ("hasBlock", ctypes.c_int),
                ("red", ctypes.c_uint8), ("green", ctypes.c_uint8), ("blue", ctypes.c_uint8),
                ("smooth", ctypes.c_int), ("doubleSided", ctypes.c_int),
                ("smoothingAngle", ctypes.c_float), ("diffuse", ctypes.c_float),
                ("transparency", ctypes.c_float), ("specular", ctypes.c_float),
                ("glossiness", ctypes.c_float)]


_P, _S, _I = ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int
_SIGNATURES = {
    "ostrel_api_version": (ctypes.c_uint32, []),
    "ostrel_request_new": (_P, []),
    "ostrel_request_free": (None, [_P]),
    "ostrel_request_edit_number": (_I, [_P, _I, ctypes.c_double]),
    "ostrel_request_edit_text": (_I, [_P, _I, ctypes.c_char_p, _S]),
    "ostrel_request_set": (_I, [_P, _I, ctypes.c_int64]),
    "ostrel_import_run": (_P, [_P, ctypes.c_char_p, ctypes.c_char_p, _S]),
    "ostrel_import_free": (None, [_P]),
    "ostrel_result": (_I, [_P]),
    "ostrel_reason": (ctypes.c_char_p, [_P]),
    "ostrel_statistics": (ctypes.c_char_p, [_P]),
    "ostrel_count": (_S, [_P, _I]),
    "ostrel_warning_count": (_S, [_P]),
    "ostrel_warning": (ctypes.c_char_p, [_P, _S]),
    "ostrel_proposal": (_I, [_P, _I, ctypes.POINTER(ctypes.c_double),
                             ctypes.POINTER(ctypes.c_char_p)]),
    "ostrel_point_count": (_S, [_P]),
    "ostrel_points": (_P, [_P]),
    "ostrel_polygon_count": (_S, [_P]),
    "ostrel_polygon_sizes": (_P, [_P]),
    "ostrel_polygon_surfaces": (_P, [_P]),
    "ostrel_corner_count": (_S, [_P]),
    "ostrel_corners": (_P, [_P]),
    "ostrel_surface_count": (_S, [_P]),
    "ostrel_surface_at": (_I, [_P, _S, ctypes.POINTER(Surface)]),
    "ostrel_corner_normals": (_P, [_P]),
}


def bundled_path():
    """The library shipped with the add-on for this system, or None."""
    machine = platform.machine().lower()
    if machine not in ("x86_64", "amd64"):
        return None
    if sys.platform.startswith("linux"):
        return os.path.join(HERE, "lib", "linux-x64", "libostrel_engine.so")
    if sys.platform == "win32":
        return os.path.join(HERE, "lib", "windows-x64", "ostrel_engine.dll")
    return None


_loaded = {}  # path -> the library, or the EngineError it gave


def _load(path):
    if path not in _loaded:
        try:
            library = ctypes.CDLL(path)
            for name, (result, arguments) in _SIGNATURES.items():
                function = getattr(library, name)
                function.restype, function.argtypes = result, arguments
            if library.ostrel_api_version() != API_VERSION:
                raise EngineError(f"{path} is an engine of interface {library.ostrel_api_version()}, "
                                  f"this add-on needs {API_VERSION}")
            _loaded[path] = library
        except (OSError, AttributeError) as e:
            _loaded[path] = EngineError(f"{path} cannot be loaded ({e})")
        except EngineError as e:
            _loaded[path] = e
    if isinstance(_loaded[path], EngineError):
        raise _loaded[path]
    return _loaded[path]


# Where the Linux package installs the engine, beside its converter.
INSTALLED = "/usr/lib/ostrel/libostrel_engine.so"


def find(preferred=""):
    """The loaded engine library: the one set in the preferences, else the
    bundled one, else the one the Linux package installed. Raises
    EngineError saying what to do."""
    if preferred:
        return _load(preferred)
    bundled = bundled_path()
    if bundled and os.path.isfile(bundled):
        return _load(bundled)
    if sys.platform.startswith("linux") and os.path.isfile(INSTALLED):
        return _load(INSTALLED)
    where = (f"the bundled engine {bundled} is missing" if bundled else
             f"no engine is bundled for this system ({platform.system()} {platform.machine()})")
    raise EngineError(f"{where}: build libostrel_engine from its source and enter its path in "
                      "Edit > Preferences > Add-ons > Import-Export: Model files (.rk4) > Engine")


def _view(pointer, count, dtype, width=1):
    """A numpy view of `count` rows at the engine's `pointer` (valid while
    its import lives)."""
    if not count or not pointer:
        return np.zeros((0, width) if width > 1 else 0, dtype)
    ctype = np.ctypeslib.as_ctypes_type(dtype)
    array = np.ctypeslib.as_array(ctypes.cast(pointer, ctypes.POINTER(ctype)), (count * width,))
    return array.reshape(-1, width) if width > 1 else array


class Imported:
    """One import's outcome; its arrays are views into the engine's memory,
    valid until close()."""

    def __init__(self, library, handle):
        self._library, self._handle = library, handle
        lib, h = library, handle
        self.result = lib.ostrel_result(h) if h else OUT_OF_MEMORY
        self.reason = (lib.ostrel_reason(h) if h else b"not enough memory").decode("utf-8", "replace")
        self.statistics = lib.ostrel_statistics(h).decode("utf-8", "replace") if h else ""
        self.warnings = [lib.ostrel_warning(h, i).decode("utf-8", "replace")
                         for i in range(lib.ostrel_warning_count(h) if h else 0)]
        self.received_points = lib.ostrel_count(h, COUNT_POINTS) if h else 0
        self.received_polygons = lib.ostrel_count(h, COUNT_POLYGONS) if h else 0
        points = lib.ostrel_point_count(h) if h else 0
        polygons = lib.ostrel_polygon_count(h) if h else 0
        corners = lib.ostrel_corner_count(h) if h else 0
        self.points = _view(lib.ostrel_points(h) if h else None, points, np.float32, 3)
        self.polygon_sizes = _view(lib.ostrel_polygon_sizes(h) if h else None, polygons, np.uint32)
        self.polygon_surfaces = _view(lib.ostrel_polygon_surfaces(h) if h else None, polygons, np.uint32)
        self.corners = _view(lib.ostrel_corners(h) if h else None, corners, np.uint32)
        normals = lib.ostrel_corner_normals(h) if h else None
        self.corner_normals = _view(normals, corners, np.float32, 3) if normals else None
        self.surfaces = []
        record = Surface()
        for i in range(lib.ostrel_surface_count(h) if h else 0):
            lib.ostrel_surface_at(h, i, ctypes.byref(record))
            self.surfaces.append(SurfaceLook(record))

    def proposal(self, edit):
        """What the plug-in's panel proposed for `edit`: a number, text, or None."""
        number, text = ctypes.c_double(), ctypes.c_char_p()
        if not self._handle or not self._library.ostrel_proposal(self._handle, edit, ctypes.byref(number),
                                                                 ctypes.byref(text)):
            return None
        return text.value.decode("utf-8", "replace") if edit == EDIT_NAME else number.value

    def close(self):
        if self._handle:
            self._library.ostrel_import_free(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class SurfaceLook:
    """A surface's name and the attributes the engine decoded from its block."""

    def __init__(self, s):
        self.name = s.name.decode("utf-8", "replace")
        self.has_block = bool(s.hasBlock)
        self.colour = (s.red, s.green, s.blue)
        self.smooth, self.double_sided = bool(s.smooth), bool(s.doubleSided)
        self.angle = s.smoothingAngle  # radians
        self.diffuse, self.transparency = s.diffuse, s.transparency
        self.specular, self.glossiness = s.specular, s.glossiness


def run(library, path, edits=(), cancel=False, shading=True):
    """Imports the model file at `path` with the panel `edits` ((edit,
    value) pairs); returns an Imported (close it when done)."""
    lib = library
    request = lib.ostrel_request_new()
    if not request:
        return Imported(lib, None)
    try:
        for edit, value in edits:
            if edit == EDIT_NAME:
                text = value.encode("utf-8")
                lib.ostrel_request_edit_text(request, edit, text, len(text))
            else:
                lib.ostrel_request_edit_number(request, edit, float(value))
        lib.ostrel_request_set(request, CANCEL, int(cancel))
        lib.ostrel_request_set(request, SHADING, int(shading))
        if sys.platform == "win32":
            # Names not in UTF-8 were made in the system's code page there.
            lib.ostrel_request_set(request, CODE_PAGE, ctypes.windll.kernel32.GetACP())
            # The plug-in opens files by their ANSI names: it gets the bytes
            # instead, staged by the engine under a name it can open (a file
            # that cannot be read is left to the plug-in to say so).
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError:
                data = None
            return Imported(lib, lib.ostrel_import_run(request, path.encode("utf-8"), data,
                                                       len(data) if data else 0))
        return Imported(lib, lib.ostrel_import_run(request, os.fsencode(path), None, 0))
    finally:
        lib.ostrel_request_free(request)
