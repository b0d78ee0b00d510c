#!/usr/bin/env python3
"""Parse throughput and memory of zarnu on a PHP file or a directory tree.

    python bench/parse_throughput.py [PATH ...] [--repeat N]

Without a path it parses examples/hello.php, repeated to about 1 MB. Prints
source megabytes per second for parse() alone, for parse() plus generic(),
and the peak traced memory of one parse relative to the source size.
"""

import argparse
import pathlib
import time
import tracemalloc

import zarnu

ROOT = pathlib.Path(__file__).resolve().parent.parent


def load_sources(paths):
    if not paths:
        text = (ROOT / "examples" / "hello.php").read_text(encoding="utf-8")
        body = text.split("?>", 1)[0]
        return [body + body.replace("<?php", "", 1) * (1_000_000 // len(body))]
    sources = []
    for path in map(pathlib.Path, paths):
        files = sorted(path.rglob("*.php")) if path.is_dir() else [path]
        for file in files:
            try:
                sources.append(file.read_text(encoding="utf-8"))
            except (OSError, UnicodeDecodeError):
                pass
    return sources


def plain(item):
    if hasattr(item, "generic"):
        return item.generic()
    if isinstance(item, list):
        return [plain(x) for x in item]
    return item


def timed(fn, sources, repeat):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        for source in sources:
            fn(source)
        best = min(best, time.perf_counter() - start)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("paths", nargs="*")
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    sources = load_sources(args.paths)
    megabytes = sum(len(s.encode("utf-8")) for s in sources) / 1e6
    z = zarnu.Zarnu()

    parse_time = timed(z.parse, sources, args.repeat)
    generic_time = timed(lambda s: plain(z.parse(s)), sources, args.repeat)

    largest = max(sources, key=len)
    tracemalloc.start()
    result = z.parse(largest)
    _, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    del result

    print(f"{len(sources)} sources, {megabytes:.2f} MB")
    print(f"parse:           {megabytes / parse_time:8.2f} MB/s")
    print(f"parse + generic: {megabytes / generic_time:8.2f} MB/s")
    print(f"peak Python memory of one parse: {peak / len(largest.encode()):.1f} x source size")


if __name__ == "__main__":
    main()
