#!/usr/bin/env python3
"""Parse throughput and memory of zarnu on a PHP file or a directory tree.

    python bench/parse_throughput.py [PATH ...] [--rounds N] [--core N]

Without a path it parses examples/hello.php, repeated to about 1 MB; `make
bench` runs it on WordPress (bench/fetch_wordpress.sh). Four modes go over
every file: tree-sitter parsing alone (py-tree-sitter with the same grammar,
from requirements/bench.txt), parse(), parse() plus generic() of every item,
and parse() plus accept() with a counting visitor. Each round runs every mode
once over all files, the modes in an order that rotates from round to round,
so a drift in machine speed spreads over all of them; the figures are medians
over the rounds. A separate, untimed pass measures the Python heap that the
parse results of all files hold, per source byte.

The output ends in a markdown table for the README. Run it on one core, under
`taskset -c N` or with `--core N`, so the scheduler does not move it around.
"""

import argparse
import gc
import os
import pathlib
import platform
import shlex
import statistics
import subprocess
import sys
import time
import tracemalloc

import tree_sitter
import tree_sitter_php
import zarnu

ROOT = pathlib.Path(__file__).resolve().parent.parent


def load_sources(paths):
    """Returns (text, UTF-8 bytes) pairs and the number of files skipped."""
    if not paths:
        text = (ROOT / "examples" / "hello.php").read_text(encoding="utf-8")
        body = text.split("?>", 1)[0]
        text = body + body.replace("<?php", "", 1) * (1_000_000 // len(body))
        return [(text, text.encode("utf-8"))], 0
    sources, skipped = [], 0
    for path in map(pathlib.Path, paths):
        files = sorted(path.rglob("*.php")) if path.is_dir() else [path]
        for file in files:
            # Packaged trees link some files to system paths that may not
            # exist here; those and non-UTF-8 files are left out.
            try:
                data = file.read_bytes()
                sources.append((data.decode("utf-8"), data))
            except (OSError, UnicodeDecodeError):
                skipped += 1
    return sources, skipped


class CountingVisitor:
    def __init__(self):
        self.count = 0

    def __call__(self, node):
        self.count += 1


def make_modes(sources):
    """Returns {name: function running the mode over all sources}."""
    ts_parser = tree_sitter.Parser(tree_sitter.Language(tree_sitter_php.language_php()))
    z = zarnu.Zarnu()
    visitor = CountingVisitor()

    def tree_sitter_alone():
        for _, data in sources:
            ts_parser.parse(data)

    def parse():
        for text, _ in sources:
            z.parse(text)

    def parse_generic():
        for text, _ in sources:
            [item.generic() if hasattr(item, "generic") else item
             for item in z.parse(text)]

    def parse_accept():
        for text, _ in sources:
            for item in z.parse(text):
                if hasattr(item, "accept"):
                    item.accept(visitor)

    return {
        "tree-sitter alone": tree_sitter_alone,
        "parse": parse,
        "parse + generic()": parse_generic,
        "parse + accept()": parse_accept,
    }, visitor


def run_rounds(modes, rounds):
    """Returns {name: [seconds per round]}; one untimed round warms up first."""
    names = list(modes)
    for name in names:
        modes[name]()
    times = {name: [] for name in names}
    for r in range(rounds):
        for name in names[r % len(names):] + names[:r % len(names)]:
            gc.collect()
            start = time.perf_counter()
            modes[name]()
            times[name].append(time.perf_counter() - start)
    return times


def heap_per_byte(sources, total_bytes):
    """Python heap held by the parse results of all sources, per source byte."""
    z = zarnu.Zarnu()
    gc.collect()
    tracemalloc.start()
    before, _ = tracemalloc.get_traced_memory()
    results = [z.parse(text) for text, _ in sources]
    gc.collect()
    after, _ = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    del results
    return (after - before) / total_bytes


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                key, _, value = line.partition(":")
                if key.strip() in ("model name", "Model"):
                    return value.strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def revision():
    try:
        out = subprocess.run(["git", "-C", str(ROOT), "log", "-1", "--format=%h %cs"],
                             capture_output=True, text=True, check=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("paths", nargs="*")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--core", type=int, help="pin the process to this CPU core")
    args = parser.parse_args()
    if args.core is not None:
        os.sched_setaffinity(0, {args.core})

    sources, skipped = load_sources(args.paths)
    if not sources:
        parser.error("no PHP files found")
    total_bytes = sum(len(data) for _, data in sources)
    megabytes = total_bytes / 1e6
    modes, visitor = make_modes(sources)

    affinity = sorted(os.sched_getaffinity(0))
    print(f"command:  {shlex.join([os.path.relpath(sys.executable), *sys.argv])}")
    print(f"zarnu:    {revision()}")
    print(f"python:   {platform.python_implementation()} {platform.python_version()}")
    print(f"cpu:      {cpu_model()}, {os.cpu_count()} cores; "
          f"running on {'core' if len(affinity) == 1 else 'cores'} "
          f"{','.join(map(str, affinity))}")
    if len(affinity) > 1:
        print("          (for steadier figures, pin to one core: taskset -c N or --core N)")
    print(f"input:    {len(sources)} files, {megabytes:.2f} MB"
          + (f" ({skipped} unreadable files skipped)" if skipped else ""))
    sys.stdout.flush()

    times = run_rounds(modes, args.rounds)
    heap = heap_per_byte(sources, total_bytes)
    median = {name: statistics.median(t) for name, t in times.items()}
    # The visitor counted the warm-up and every round alike.
    nodes = visitor.count // (args.rounds + 1)
    baseline, parse = median["tree-sitter alone"], median["parse"]

    print(f"rounds:   {args.rounds}, medians; {nodes} nodes visited per round")
    print()
    # The spread (slowest over fastest round) says how far a busy machine
    # moved the figures; the ratios suffer less than MB/s, as the rounds
    # interleave the modes.
    print("| mode | MB/s | time / tree-sitter | time / parse | spread |")
    print("|---|---:|---:|---:|---:|")
    for name, seconds in median.items():
        over_parse = "" if name == "tree-sitter alone" else f"{seconds / parse:.2f}"
        spread = max(times[name]) / min(times[name]) - 1
        print(f"| {name} | {megabytes / seconds:.2f} | {seconds / baseline:.2f} "
              f"| {over_parse} | {spread:.0%} |")
    print()
    print(f"Python heap held by the parse results: {heap:.1f} bytes per source byte")


if __name__ == "__main__":
    main()
