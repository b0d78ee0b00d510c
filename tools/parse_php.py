#!/usr/bin/env python3
"""Parse a PHP file with zarnu and pretty-print each top-level node.

    python tools/parse_php.py FILE     (FILE may be - for standard input)

Each item returned by zarnu.Zarnu().parse() is printed in its generic() form.
"""

import argparse
import pprint
import sys

import zarnu


def read_source(path: str) -> str:
    if path == "-":
        data = sys.stdin.buffer.read()
    else:
        with open(path, "rb") as f:
            data = f.read()
    return data.decode("utf-8")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file", help="PHP source file, or - for standard input")
    args = parser.parse_args(argv)

    if not hasattr(zarnu, "Zarnu"):
        # Early builds expose the node classes before the parser exists.
        print(f"{zarnu.__file__} has no parser class yet; its classes are:")
        pprint.pprint(sorted(getattr(zarnu, "__all__", ())))
        return 0

    try:
        source = read_source(args.file)
    except (OSError, UnicodeDecodeError) as e:
        print(f"{args.file}: {e}", file=sys.stderr)
        return 1

    filename = "<stdin>" if args.file == "-" else args.file
    for node in zarnu.Zarnu().parse(source, filename=filename):
        pprint.pprint(node.generic())
    return 0


if __name__ == "__main__":
    sys.exit(main())
