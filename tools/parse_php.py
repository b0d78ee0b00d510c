#!/usr/bin/env python3
"""Parse a PHP file with zarnu and pretty-print each top-level node.

    python tools/parse_php.py FILE     (FILE may be - for standard input)

Each item returned by zarnu.Zarnu().parse() is printed in its generic() form.
A `-l` flag adds line numbers.
"""

import argparse
import pprint
import signal
import sys

import zarnu

LINENO = None


def read_source(path: str) -> str:
    if path == "-":
        data = sys.stdin.buffer.read()
    else:
        with open(path, "rb") as f:
            data = f.read()
    return data.decode("utf-8")


def plain(item):
    """Top-level items are nodes, plain literals, or lists of either."""
    if hasattr(item, "generic"):
        return item.generic(LINENO)
    if isinstance(item, list):
        return [plain(x) for x in item]
    return item


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file", help="PHP source file, or - for standard input")
    parser.add_argument("-l", "--lineno", action="store_true", help="include line numbers")
    args = parser.parse_args(argv)

    try:
        source = read_source(args.file)
    except (OSError, UnicodeDecodeError) as e:
        print(f"{args.file}: {e}", file=sys.stderr)
        return 1

    global LINENO
    LINENO = True if args.lineno else None
    filename = "<stdin>" if args.file == "-" else args.file
    for item in zarnu.Zarnu().parse(source, filename=filename):
        pprint.pprint(plain(item), sort_dicts=False)
    return 0


if __name__ == "__main__":
    # Piping into `head` should end quietly, as other command-line tools do.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
