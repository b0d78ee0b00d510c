"""Whole files of everyday PHP and their expected trees.

Each tests/golden/NAME.php is parsed and its items compared, in generic()
form with line numbers, with tests/golden/NAME.expected. After a deliberate
change of the translation, regenerate the expected files with
ZARNU_REGEN_GOLDEN=1 and review the diff like code.
"""

import os
import pathlib
import pprint

import pytest

import zarnu

GOLDEN = pathlib.Path(__file__).parent / "golden"
REGENERATE = os.environ.get("ZARNU_REGEN_GOLDEN") == "1"


def plain(item):
    if hasattr(item, "generic"):
        return item.generic(True)
    if isinstance(item, list):
        return [plain(x) for x in item]
    return item


def render(path):
    items = zarnu.Zarnu().parse(path.read_text(encoding="utf-8"), path.name)
    return "".join(pprint.pformat(plain(item), sort_dicts=False) + "\n" for item in items)


@pytest.mark.parametrize("source", sorted(GOLDEN.glob("*.php")), ids=lambda p: p.stem)
def test_golden_file(source):
    expected = source.with_suffix(".expected")
    actual = render(source)
    if REGENERATE:
        expected.write_text(actual, encoding="utf-8")
    assert actual == expected.read_text(encoding="utf-8")
