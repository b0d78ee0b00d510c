#!/usr/bin/env python3
"""Cost of generic() and accept() on parse results of a PHP tree.

    python bench/walk_speed.py PATH [--rounds N]

Each round times, one after the other, parse() alone, parse() plus generic()
of every item, and accept() with a counting visitor over the parsed items.
Prints the medians and the ratio (parse + generic) / parse. Pin it to one core
(taskset -c N) on a shared machine and compare builds in alternating runs.
"""

import argparse
import statistics
import time

import zarnu
from parse_throughput import load_sources, plain


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("path")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    sources = load_sources([args.path])
    zarnu_parser = zarnu.Zarnu()
    trees = [zarnu_parser.parse(source) for source in sources]
    count = 0

    def visit(node):
        nonlocal count
        count += 1

    def parse_only():
        for source in sources:
            zarnu_parser.parse(source)

    def parse_generic():
        for source in sources:
            for item in zarnu_parser.parse(source):
                plain(item)

    def accept_all():
        for items in trees:
            for item in items:
                if hasattr(item, "accept"):
                    item.accept(visit)

    times = {"parse": [], "parse+generic": [], "accept": []}
    for _ in range(args.rounds):
        for name, run in (("parse", parse_only), ("parse+generic", parse_generic),
                          ("accept", accept_all)):
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, value in medians.items():
        print(f"{name:14s} {value * 1000:9.1f} ms")
    print(f"ratio          {medians['parse+generic'] / medians['parse']:9.3f}")


if __name__ == "__main__":
    main()
