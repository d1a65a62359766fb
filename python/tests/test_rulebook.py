# The rulebook's cases (tests/rulebook/cases.json), end to end through the
# command line and through this package (the engine): each front end gives
# the same answer in the same words, naming the choice as it names it. The
# rules themselves are tested once where they live (tests/pipeline).
import json
import os

import pytest
from conftest import ROOT, cli

import ostrel

TABLE = json.load(open(os.path.join(ROOT, "tests", "rulebook", "cases.json"), encoding="utf-8"))
CASES = {case["case"]: case for case in TABLE["cases"]}
# How each front end names the table's choices.
OPTIONS = {"scale": "--scale", "name": "--name"}
CHOICES = {"scale": "scale", "name": "base_name"}


def model_file(case, folder):
    """The case's model as a file: from the source tree, under its own name
    when it has one (bytes, as a file copied from Windows keeps them)."""
    data = open(os.path.join(ROOT, case["model"]), "rb").read() if case["model"] else b""
    name = bytes.fromhex(case["name"]) if "name" in case else b"model.rk4"
    path = os.path.join(os.fsencode(folder), name)
    with open(path, "wb") as f:
        f.write(data)
    return os.fsdecode(path)


@pytest.mark.parametrize("name", [c["case"] for c in TABLE["cases"]])
def test_every_front_end_answers_alike(name, tmp_path):
    case = CASES[name]
    if "folder" in case:
        for file in case["folder"]:
            os.makedirs(os.path.dirname(tmp_path / file), exist_ok=True)
            (tmp_path / file).write_bytes(open(os.path.join(ROOT, "examples", "cube.rk4"), "rb").read())
        said = cli(str(tmp_path), "--check").stdout.decode().splitlines()
        assert [line.split(":")[0] for line in said][:-1] == [str(tmp_path / m) for m in case["models"]]
        return
    path = model_file(case, tmp_path)
    edit = {}
    arguments = []
    if "edit" in case:
        choice, text, *times = case["edit"]
        text *= times[0] if times else 1
        arguments = [OPTIONS[choice], text]
        try:
            edit[CHOICES[choice]] = float(text)  # a number, as Python gives it
        except ValueError:
            edit[CHOICES[choice]] = text
    done = cli(*arguments, path, "-o", str(tmp_path / "out.obj"), check=False)
    errors = [line for line in done.stderr.decode().splitlines() if not line.startswith("ostrel: warning: ")]
    if "fails" in case:
        option = OPTIONS[case["edit"][0]] if "edit" in case else ""
        subject = "ostrel: " if "edit" in case else f"ostrel: {path}: "
        assert errors == [subject + case["fails"].replace("{option}", option)]
        with pytest.raises(ValueError if "edit" in case else ostrel.Error) as refused:
            ostrel.load(path, **edit)
        option = CHOICES[case["edit"][0]] if "edit" in case else ""
        assert str(refused.value) == case["fails"].replace("{option}", option)
    elif "warns" in case:
        warning = case["warns"].replace("{model}", path)
        assert f"ostrel: warning: {warning}" in done.stderr.decode().splitlines()
        assert warning in ostrel.load(path).warnings
    elif "surface" in case:
        assert f"usemtl {case['surface']}" in (tmp_path / "out.obj").read_text("utf-8").splitlines()
        assert ostrel.load(path).surfaces[1].name == case["surface"]
