# Finding and running the converter, `ostrel`, which loads the plug-in
# module as the host does and writes what it receives: the host's object in
# the host's file layout (-o - --format lwo), or every call (--trace -).
# Looked for in this order: the path in the add-on's preferences, the one
# bundled for this system (bin/), `ostrel` on the PATH (the Linux package's
# /usr/bin/ostrel). Nothing is bundled for macOS.
import os
import platform
import shutil
import stat
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


class ConverterError(Exception):
    """No converter could be run; the message says what to do."""


def bundled_path():
    """The converter shipped in the add-on's zip for this system, or None."""
    machine = platform.machine().lower()
    if sys.platform.startswith("linux") and machine in ("x86_64", "amd64"):
        return os.path.join(HERE, "bin", "linux-x86_64", "ostrel")
    if sys.platform == "win32":
        return os.path.join(HERE, "bin", "windows", "ostrel.exe")
    return None


_runs = {}  # path -> None when it runs, else why not


def _why_not(path):
    """None when `path` runs as a converter, else a short reason."""
    if path in _runs:
        return _runs[path]
    why = None
    if not os.path.isfile(path):
        why = "no such file"
    else:
        if sys.platform != "win32" and not os.access(path, os.X_OK):
            # A zip keeps no execute permission: the add-on's own copy gets
            # it back here.
            try:
                os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
            except OSError as e:
                why = f"not executable ({e.strerror})"
        if why is None:
            try:
                done = subprocess.run([path, "--version"], capture_output=True, timeout=30,
                                      **_hidden_window())
                if done.returncode != 0 or not done.stdout.startswith(b"ostrel"):
                    why = "not an ostrel converter" + _first_line(done.stderr, ": ")
            except OSError as e:
                why = e.strerror or str(e)
            except subprocess.TimeoutExpired:
                why = "did not answer"
    _runs[path] = why
    return why


def _first_line(data, prefix=""):
    text = data.decode("utf-8", "replace").strip().splitlines()
    return prefix + text[0] if text else ""


def _hidden_window():
    if sys.platform == "win32":
        return {"creationflags": subprocess.CREATE_NO_WINDOW}
    return {}


def find(preferred=""):
    """The converter to run. Raises ConverterError saying what to do."""
    if preferred:
        why = _why_not(preferred)
        if why is None:
            return preferred
        raise ConverterError(
            f"the converter set in the add-on's preferences cannot be run: {preferred} ({why})")
    bundled = bundled_path()
    bundled_why = _why_not(bundled) if bundled else None
    if bundled and bundled_why is None:
        return bundled
    on_path = shutil.which("ostrel")
    if on_path and _why_not(on_path) is None:
        return on_path
    if bundled:
        where = f"the bundled converter {bundled} cannot be run ({bundled_why})"
    else:
        where = f"no converter is bundled for this system ({platform.system()} {platform.machine()})"
    raise ConverterError(
        f"{where}: build ostrel from its source and enter its path in Edit > Preferences > "
        "Add-ons > Import-Export: Model files (.rk4) > Converter")


def _argument_path(path):
    """On Windows the converter takes paths in the system's ANSI code page; a
    path that code page cannot spell goes by its short (8.3) name."""
    if sys.platform != "win32":
        return path
    try:
        path.encode("mbcs", "strict")
        return path
    except UnicodeEncodeError:
        import ctypes

        size = ctypes.windll.kernel32.GetShortPathNameW(path, None, 0)
        buffer = ctypes.create_unicode_buffer(size)
        if size and ctypes.windll.kernel32.GetShortPathNameW(path, buffer, size):
            return buffer.value
        return path


# The converter's exit status when it could not write the output (here: the
# object does not fit the LWOB layout).
NOT_WRITTEN = 6


class Run:
    def __init__(self, returncode, output, errors):
        self.returncode = returncode
        self.output = output  # bytes: the trace, or the LWOB file
        self.errors = errors  # the converter's lines on stderr, but its status line


def run(converter, path, edits=(), lwob=False):
    """Imports `path` with the panel edits `edits` (command-line options)
    and returns the trace (or, with `lwob`, the LWOB file) and the
    converter's messages."""
    output = ["-o", "-", "--format", "lwo"] if lwob else ["--trace", "-"]
    args = [converter, *output, *edits, "--", _argument_path(path)]
    done = subprocess.run(args, capture_output=True, **_hidden_window())
    lines = done.stderr.decode("utf-8", "replace").splitlines()
    # Writing to standard output, the converter puts its status line
    # ("MODEL -> standard output: ...") on stderr.
    errors = [e for e in lines if e.strip() and not (lwob and " -> standard output: " in e)]
    return Run(done.returncode, done.stdout, errors)
