# Where the tests find the source tree and the build's programs: the
# checkout this folder lies in, and its build/ (or $OSTREL_BUILD). The
# package itself is the one installed (tools/check-python.sh installs it
# into a virtual environment the way the README says).
import os
import subprocess

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("OSTREL_BUILD", os.path.join(ROOT, "build"))
CUBE = os.path.join(ROOT, "examples", "cube.rk4")


def program(name):
    path = os.path.join(BUILD, name)
    if not os.access(path, os.X_OK):
        pytest.skip(f"{path} is not built (cmake --build --preset default)")
    return path


def cli(*arguments, check=True):
    """The command `ostrel` of the build, run: its CompletedProcess."""
    return subprocess.run([program("ostrel"), *arguments], capture_output=True, check=check)
