# Which Ostrel engine the add-on runs in Blender's own process: the library
# set in the preferences, else the one bundled for this system, else the
# Python package's own (the Debian package's, through Debian's Python). The
# binding itself is the Python package `ostrel`, which the add-on carries
# as its sub-package (the zip and the extensions) or finds installed.
import os
import platform
import sys

try:
    from . import ostrel  # the copy the add-on carries
except ImportError:
    import ostrel  # installed for this Python

HERE = os.path.dirname(os.path.abspath(__file__))
EngineError = ostrel.EngineError


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


def find(preferred=""):
    """The ostrel.Engine to import with. Raises EngineError saying what to do."""
    if preferred:
        return ostrel.engine(preferred)
    bundled = bundled_path()
    if bundled and os.path.isfile(bundled):
        return ostrel.engine(bundled)
    try:
        return ostrel.engine()
    except EngineError:
        pass
    where = (f"the bundled engine {bundled} is missing" if bundled else
             f"no engine is bundled for this system ({platform.system()} {platform.machine()})")
    raise EngineError(f"{where}: build libostrel_engine from its source and enter its path in "
                      "Edit > Preferences > Add-ons > Import-Export: Model files (.rk4) > Engine")
