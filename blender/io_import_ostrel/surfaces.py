# Surfaces: the names the host was asked for and the attribute blocks it
# stored under them. A block is a run of sub-chunks (4-byte tag, big-endian
# 16-bit length, data): COLR, FLAG, SMAN, DIFF, TRAN, SPEC, GLOS; levels are
# 16-bit numbers on which 256 stands for 100 %.
import codecs
import locale
import struct
import sys

# Flag bits of the FLAG sub-chunk.
SMOOTHING = 0x0004
DOUBLE_SIDED = 0x0100

# A surface without a block: a neutral mid-light grey, the host's usual
# default, unsmoothed and one-sided (the converter's choice too).
DEFAULT_GREY = 200


class Surface:
    def __init__(self, name, value, raw_name=b""):
        self.name = name  # text, as Blender names it
        self.raw_name = raw_name  # the bytes the host received
        self.value = value  # what the host handed out for the name
        self.has_block = False
        self.colour = (DEFAULT_GREY, DEFAULT_GREY, DEFAULT_GREY)  # 0..255
        self.smooth = False
        self.double_sided = False
        self.angle = 0.0  # radians
        self.diffuse = 1.0  # 1 = 100 %
        self.transparency = 0.0
        self.specular = 0.0
        self.glossiness = 0.0


def sub_chunks(block):
    """{tag: data} of a block; a short or cut block gives what it holds."""
    found, at = {}, 0
    while at + 6 <= len(block):
        tag = block[at:at + 4].decode("latin-1")
        (length,) = struct.unpack_from(">H", block, at + 4)
        found.setdefault(tag, block[at + 6:at + 6 + length])
        at += 6 + length
    return found


def _level(data, default):
    return struct.unpack(">H", data[:2])[0] / 256.0 if len(data) >= 2 else default


def apply_block(surface, block):
    chunks = sub_chunks(block)
    surface.has_block = True
    colour = chunks.get("COLR", b"")
    if len(colour) >= 3:
        surface.colour = tuple(colour[:3])
    flags = struct.unpack(">H", chunks["FLAG"][:2])[0] if len(chunks.get("FLAG", b"")) >= 2 else 0
    surface.smooth = bool(flags & SMOOTHING)
    surface.double_sided = bool(flags & DOUBLE_SIDED)
    angle = chunks.get("SMAN", b"")
    surface.angle = struct.unpack(">f", angle[:4])[0] if len(angle) >= 4 else 0.0
    surface.diffuse = _level(chunks.get("DIFF", b""), 1.0)
    surface.transparency = _level(chunks.get("TRAN", b""), 0.0)
    surface.specular = _level(chunks.get("SPEC", b""), 0.0)
    surface.glossiness = _level(chunks.get("GLOS", b""), 0.0)


def _code_page():
    """The code page a name that is not UTF-8 was made in: the system's ANSI
    code page on Windows (the converter forms names there), Shift-JIS
    elsewhere, where only a Japanese file name or a typed name can bring one."""
    if sys.platform == "win32":
        encoding = locale.getpreferredencoding(False)
        try:
            codecs.lookup(encoding)
            return encoding
        except LookupError:
            pass
    return "cp932"


def decode_name(raw):
    """A name's bytes as text, as the converter writes them into OBJ and
    glTF: UTF-8 kept, else decoded from the code page, a byte that decodes in
    neither written as \\xHH."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode(_code_page(), errors="backslashreplace")


def surfaces_of(received, names=decode_name):
    """One Surface per name looked up, in the order of the values handed out,
    each with the last block stored under its name."""
    result, seen = [], set()
    for raw, value in received.surfaces:
        if value in seen:
            continue
        seen.add(value)
        surface = Surface(names(raw), value, raw)
        block = received.blocks.get(raw)
        if block is not None:
            apply_block(surface, block)
        result.append(surface)
    return result
