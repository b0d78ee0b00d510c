"""Real-world PHP: every file of a corpus parses, and its tree converts and
walks, without an exception.

The corpus is a directory named by ZARNU_PHP_CORPUS (CI fills one with
tools/fetch_php_corpus.sh); without it this test is skipped.
"""

import os
import pathlib

import pytest

import zarnu

CORPUS = os.environ.get("ZARNU_PHP_CORPUS")


def php_files():
    if not CORPUS:
        return []
    return sorted(pathlib.Path(CORPUS).rglob("*.php"))


def walk(item):
    if hasattr(item, "generic"):
        item.generic(True)
        item.accept(lambda node: None)
        repr(item)
    elif isinstance(item, list):
        for x in item:
            walk(x)


@pytest.mark.skipif(not CORPUS, reason="ZARNU_PHP_CORPUS is not set")
def test_corpus_parses_and_walks():
    files = php_files()
    assert files, f"no .php files under {CORPUS}"
    parser = zarnu.Zarnu()
    parsed = 0
    for path in files:
        try:
            source = path.read_text(encoding="utf-8")
        except (OSError, UnicodeDecodeError):  # dangling links, other encodings
            continue
        items = parser.parse(source, str(path))
        walk(items)
        # Error recovery may leave lists at the top level, but well-formed
        # library code should translate statement by statement.
        assert not any(isinstance(item, list) for item in items), path
        parsed += 1
    assert parsed > len(files) // 2
