"""Small helpers the translation tests share: parsing snippets, reading
results with their line numbers, and measuring what parsing leaves behind."""

import gc
import os
import pathlib
import sys

from zarnu import Zarnu

GOLDEN = pathlib.Path(__file__).parent / "golden"


def parse(code):
    """The items of a snippet written after an opening tag."""
    return Zarnu().parse("<?php " + code)


def expression(code):
    """The one item of the statement `code;`."""
    items = Zarnu().parse(f"<?php {code};")
    assert len(items) == 1, items
    return items[0]


def lines(items):
    """Items in generic form with line numbers; plain values as they are."""
    return [x.generic(with_lineno=True) if hasattr(x, "generic") else x for x in items]


def settled_blocks():
    """Allocated blocks once the garbage is gone. The interpreter's attribute
    cache keeps the name objects of recent lookups alive, so it is emptied
    first and only real leaks remain."""
    gc.collect()
    sys._clear_type_cache()
    return sys.getallocatedblocks()


def blocks_left_by(run, warmup=20, repeat=300):
    """How many allocated blocks `repeat` calls of `run` leave behind, after
    `warmup` calls have filled the caches."""
    for _ in range(warmup):
        run()
    before = settled_blocks()
    for _ in range(repeat):
        run()
    return settled_blocks() - before


def sample_trees():
    """(path, items) of the golden files, and of the corpus named by
    ZARNU_PHP_CORPUS when it is set."""
    paths = sorted(GOLDEN.glob("*.php"))
    if os.environ.get("ZARNU_PHP_CORPUS"):
        paths += sorted(pathlib.Path(os.environ["ZARNU_PHP_CORPUS"]).rglob("*.php"))
    parser = Zarnu()
    for path in paths:
        try:
            source = path.read_text(encoding="utf-8")
        except (OSError, UnicodeDecodeError):  # dangling links, other encodings
            continue
        yield path, parser.parse(source, path.name)
