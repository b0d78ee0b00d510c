#!/usr/bin/env python3
"""Mutation fuzzer for zarnu's parser, run against the sanitizer build.

    python3 tools/fuzz_parse.py --seconds 300          (make fuzz)
    python3 tools/fuzz_parse.py --replay build/fuzz/crash-....php

The parent process mutates real PHP and feeds it in batches to a worker
process (the same script with --worker, run by the chosen interpreter under
ASan/UBSan). The worker checks each input twice: on its main thread, and on
a thread with a 256 KiB stack, where recursion that the main thread's 8 MiB
hides runs out. A worker that dies, an input slower than the watchdog allows,
or a Python exception other than RecursionError/MemoryError is written to the
output directory with a one-line command that reproduces it.
"""

import argparse
import collections
import glob
import hashlib
import operator
import os
import queue
import random
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_PYTHON = os.path.join(ROOT, ".venv-asan", "bin", "python")
ATHERIS_PYTHON = os.path.join(ROOT, ".venv-atheris", "bin", "python")

TOKENS = [
    b"<?php ", b"?>", b"<?= ", b"{", b"}", b"(", b")", b"[", b"]", b'"', b"'",
    b"<<<EOT\n", b"\nEOT;\n", b"<<<'EOT'\n", b"\\", b"$", b"${", b"{$", b"->",
    b"::", b"?->", b"#[", b"]", b"/*", b"*/", b"//", b"#", b"\n", b";", b",",
    b"`", b"=>", b"...", b"&", b"?", b":", b"@", b"fn", b"function", b"class",
    b"match", b"yield", b"static", b"namespace", b"use", b"__halt_compiler();",
]
# Thousands of repeated openers keep tree-sitter's error recovery busy for
# seconds to minutes (interruptible, but over the watchdog's limit); the
# repeating mutations stay below this count so a run keeps finding new things.
MAX_OPENERS = 2000
# Recovering from a long run of one repeated span takes tree-sitter time that
# grows with the square of the run ("$=>@" 800 times: 1 s in a release build,
# several under ASan), a known cost of the core's error recovery and not a
# hang. An input holds at most this many bytes of repeated runs, however many
# mutations and generations made them ("->@" 500 times: 0.3 s in release, 2 s
# under ASan), so that two parses stay well within the watchdog's limit.
MAX_REPEATED_BYTES = 1500
OPENERS = (b"{", b"(", b"[", b'"', b"<<<", b"namespace", b"yield")
# A heredoc or string left open, then one opener many times over: the shapes
# that drove tree-sitter's stack merging, and the interpolations nested in
# the string, deep enough to exhaust a small stack.
UNTERMINATED = (b'"', b"`", b"<<<E\n", b"<<<E\n,\n", b"[<<<H\np\nH];<<<E\n,\n")
NESTING = (b"(", b"[", b"-(", b"{$")
AFTER_NESTING = (b"", b"$z", b"$z;", b'"', b"\nE;\n")
BATCH = 32


# --- the worker: parse, then use the result every way a caller might -------


def worker(directory):
    import zarnu

    protocol = os.fdopen(os.dup(1), "w", buffering=1)
    os.dup2(2, 1)  # stray prints must not corrupt the protocol
    current = os.path.join(directory, "current.php")
    small_stack = SmallStack()
    for line in sys.stdin:
        with open(line.rstrip("\n"), "rb") as f:
            inputs = read_batch(f)
        for data in inputs:
            with open(current, "wb") as f:
                f.write(data)
            problem = check(zarnu, data.decode("utf-8", "replace"), small_stack)
            protocol.write("ok\n" if problem is None else "fail " + problem.encode(
                "unicode_escape").decode("ascii") + "\n")


def atheris_worker(args, seed):
    """libFuzzer drives the same checks in this process, guided by the
    coverage of the extension (built with -fsanitize=fuzzer-no-link)."""
    import atheris
    import zarnu

    small_stack = SmallStack()

    def one_input(data):
        problem = check(zarnu, data.decode("utf-8", "replace"), small_stack)
        if problem is not None:
            raise AssertionError(problem)

    # libFuzzer adds the inputs that reach new code to the corpus directory,
    # so later runs start from where this one ended.
    corpus = os.path.join(args.out, "atheris-corpus")
    os.makedirs(corpus, exist_ok=True)
    for path in seed_paths():
        with open(path, "rb") as f:
            data = f.read(args.max_size)
        with open(os.path.join(corpus, "seed-" + hashlib.sha1(data).hexdigest()), "wb") as f:
            f.write(data)
    words = os.path.join(args.out, "tokens.dict")
    with open(words, "w") as f:
        for token in TOKENS:
            f.write('"' + "".join(f"\\x{b:02x}" for b in token) + '"\n')
    atheris.Setup([sys.argv[0], f"-seed={seed}", f"-max_total_time={int(args.seconds)}",
                   f"-timeout={int(args.timeout)}", f"-max_len={args.max_size}",
                   f"-dict={words}", f"-artifact_prefix={os.path.join(args.out, '')}",
                   corpus], one_input)
    atheris.Fuzz()


def check(zarnu, text, small_stack=None):
    """None when the text passes; otherwise what went wrong. With a
    SmallStack, the text is parsed and walked on its thread as well, and that
    parse stands in for the second one that the main thread would make: an
    input costs two parses either way, so the time an input may take means
    the same with or without the thread."""
    shared = {"second parse": small_stack is None}
    problem = failure(lambda: use(zarnu, text, shared))
    if problem is None and small_stack is not None:
        problem = failure(lambda: small_stack.call(use, zarnu, text, shared))
        if problem is not None:
            problem = f"on a thread with a {SmallStack.SIZE // 1024} KiB stack:\n{problem}"
    return problem


def failure(attempt):
    """What went wrong in attempt(), or None; running out of stack or memory
    is an answer the parser may give."""
    try:
        return attempt()
    except (RecursionError, MemoryError):
        return None
    except KeyboardInterrupt:
        raise
    except BaseException:  # PanicException derives from BaseException
        return traceback.format_exc()


def use(zarnu, text, shared):
    """Parses the text and uses the result every way a caller might. The first
    call (main thread) leaves its parse and the result's size in `shared`,
    and compares against a second parse when `shared` asks for one; a second
    call (small stack) parses once and compares against the first parse,
    made on another thread."""
    mine = zarnu.Zarnu().parse(text)
    other = shared.get("parse")
    if other is None:
        shared["big"] = expanded_size(mine) > MAX_EXPANDED_SIZE
        shared["parse"] = mine
        if shared["second parse"]:
            other = zarnu.Zarnu().parse(text)
    if shared["big"]:
        zarnu.fixup_curly_offsets(mine)
        return None
    if other is not None and mine != other:
        return "two parses of the same text differ"
    repr(mine)
    visits = [0]

    def count(node):
        visits[0] += 1

    for item in nodes_in(mine):
        item.generic(True)
        item.accept(count)
    zarnu.fixup_curly_offsets(mine)
    return None


class SmallStack:
    """One thread with a 256 KiB stack that runs the calls handed to it.
    Callers' threads often have stacks this small (some C libraries default
    to less), and ASan makes native frames several times larger still, so
    recursion that the main thread's 8 MiB never notices runs out here; it
    must end in RecursionError, as it does there, not in a crash."""

    SIZE = 256 * 1024

    def __init__(self):
        self.calls = queue.SimpleQueue()
        self.results = queue.SimpleQueue()
        previous = threading.stack_size(self.SIZE)
        try:
            threading.Thread(target=self.serve, name="small-stack", daemon=True).start()
        finally:
            threading.stack_size(previous)

    def serve(self):
        while True:
            function, args = self.calls.get()
            try:
                self.results.put((True, function(*args)))
            except BaseException as error:
                self.results.put((False, error))

    def call(self, function, *args):
        """function(*args) on the thread; what it raises is raised here, with
        the thread's frames in its traceback."""
        self.calls.put((function, args))
        returned, value = self.results.get()
        if not returned:
            raise value
        return value


# `$a ?: $b` holds its condition twice (the second a copy sharing the
# first's children), so a chain of n short ternaries is a tree of 2**n paths
# while the parse itself stays linear. Walking such a tree (==, repr, generic,
# accept) takes exponential time by design; those inputs only get parsed.
MAX_EXPANDED_SIZE = 1_000_000


def expanded_size(items, limit=MAX_EXPANDED_SIZE):
    """How many values a full walk of `items` visits, counted without one;
    the count stops once it is over `limit`, so counting costs no more than
    a walk of that size."""
    count = 1
    stack = [items]
    while stack:
        value = stack.pop()
        if type(value) is list:
            children = value
        else:
            cls = type(value)
            get = _getters[cls] if cls in _getters else fields_of(cls)
            children = get(value) if get else ()
        count += len(children)
        if count > limit:
            break
        stack.extend(children)
    return count


_getters = {}


def fields_of(cls):
    """A function giving the field values of a node of class `cls`; None
    for values that are not nodes."""
    names = getattr(cls, "fields", None)
    if not isinstance(names, list) or not names:
        _getters[cls] = None
    else:
        # `fields` names generic's keys; the attribute of key "type" is `type_`.
        get = operator.attrgetter(*(name if hasattr(cls, name) else name + "_"
                                    for name in names))
        _getters[cls] = get if len(names) > 1 else lambda node: (get(node),)
    return _getters[cls]


def nodes_in(items):
    """The nodes in `items` and in the lists it nests, without recursion: the
    small stack has no room for a generator per level."""
    stack = [iter(items)]
    while stack:
        for item in stack[-1]:
            if isinstance(item, list):
                stack.append(iter(item))
                break
            if hasattr(item, "accept"):
                yield item
        else:
            stack.pop()


def write_batch(f, inputs):
    for data in inputs:
        f.write(struct.pack("<I", len(data)))
        f.write(data)


def read_batch(f):
    inputs = []
    while header := f.read(4):
        (size,) = struct.unpack("<I", header)
        inputs.append(f.read(size))
    return inputs


# --- inputs ------------------------------------------------------------------


def seed_paths():
    paths = sorted(glob.glob(os.path.join(ROOT, "tests", "golden", "*.php")))
    paths += sorted(glob.glob(os.path.join(ROOT, "examples", "*.php")))
    corpus = os.environ.get("ZARNU_PHP_CORPUS")
    if corpus and os.path.isdir(corpus):
        found = []
        for top, dirs, files in os.walk(corpus):
            dirs.sort()
            found += [os.path.join(top, n) for n in sorted(files)
                      if n.endswith(".php") and os.path.isfile(os.path.join(top, n))]
        paths += found
    return paths


class Mutator:
    """Deterministic for a given seed and seed list: the same inputs come out
    whatever the worker reports."""

    def __init__(self, seed, paths, max_size):
        self.random = random.Random(seed)
        self.paths = paths
        self.max_size = max_size
        self.cache = {}
        self.grown = []  # earlier outputs, mutated again for deeper changes
        # Bytes the input being built holds in runs made by `repeat`, its
        # ancestors' and splice partners' included: runs stacked by later
        # mutations cost the core as much as one long run.
        self.repeated = 0

    def pick(self):
        """A seed file or an earlier output, and how many bytes of repeated
        runs it already holds."""
        if self.grown and self.random.random() < 0.3:
            return self.random.choice(self.grown)
        path = self.random.choice(self.paths)
        if path not in self.cache:
            if len(self.cache) > 256:
                self.cache.clear()
            with open(path, "rb") as f:
                self.cache[path] = f.read()
        return self.cache[path], 0

    def span(self, data):
        if not data:
            return 0, 0
        start = self.random.randrange(len(data))
        length = min(len(data) - start, int(self.random.expovariate(1 / 16)) + 1)
        return start, start + length

    def flip(self, data):
        if not data:
            return data
        data = bytearray(data)
        for _ in range(self.random.randint(1, 4)):
            i = self.random.randrange(len(data))
            data[i] = data[i] ^ (1 << self.random.randrange(8)) if self.random.random() < 0.5 \
                else self.random.randrange(256)
        return bytes(data)

    def splice(self, data):
        other, repeated = self.pick()
        self.repeated += repeated
        return data[:self.random.randint(0, len(data))] + other[self.random.randint(0, len(other)):]

    def duplicate(self, data):
        start, end = self.span(data)
        at = self.random.randint(0, len(data))
        return data[:at] + data[start:end] + data[at:]

    def delete(self, data):
        start, end = self.span(data)
        return data[:start] + data[end:]

    def insert(self, data):
        at = self.random.randint(0, len(data))
        return data[:at] + self.random.choice(TOKENS) + data[at:]

    def truncate(self, data):
        return data[:self.random.randint(0, len(data))]

    def repeat(self, data):
        if self.random.random() < 0.5:
            start, end = self.span(data)
            piece = data[start:end]
        else:
            start = end = self.random.randint(0, len(data))
            piece = b"".join(self.random.choice(TOKENS) for _ in range(self.random.randint(1, 3)))
        if not piece:
            return data
        count = int(self.random.expovariate(1 / 300)) + 2
        openers = sum(piece.count(o) for o in OPENERS)
        count = min(count, MAX_OPENERS // max(openers, 1),
                    (MAX_REPEATED_BYTES - self.repeated) // len(piece),
                    self.max_size // len(piece))
        if count < 1:
            return data
        self.repeated += count * len(piece)
        return data[:end] + piece * count + data[end:]

    def unterminated(self, data):
        """One opener repeated after a heredoc or string left open, as the
        whole input or inserted into the file."""
        piece = self.random.choice(UNTERMINATED)
        piece += self.random.choice(NESTING) * self.nesting_depth()
        piece += self.random.choice(AFTER_NESTING)
        if self.random.random() < 0.3:
            return b"<?php " + piece
        at = self.random.randint(0, len(data))
        return data[:at] + piece + data[at:]

    def nesting_depth(self):
        """Shallow and deep alike: half uniform up to the cap, half spread
        evenly over its orders of magnitude."""
        if self.random.random() < 0.5:
            return self.random.randint(1, MAX_OPENERS)
        return int(MAX_OPENERS ** self.random.random())

    MUTATIONS = ("flip", "splice", "duplicate", "delete", "insert", "truncate", "repeat",
                 "unterminated")

    def next(self):
        data, self.repeated = self.pick()
        for _ in range(self.random.randint(1, 4)):
            data = getattr(self, self.random.choice(self.MUTATIONS))(data)
        data = data[:self.max_size]
        if self.random.random() < 0.1:
            if len(self.grown) >= 512:
                self.grown[self.random.randrange(512)] = data, self.repeated
            else:
                self.grown.append((data, self.repeated))
        # The parser takes text; invalid UTF-8 becomes U+FFFD, so the file
        # written for a failure is exactly what was parsed.
        return data.decode("utf-8", "replace").encode("utf-8")


# --- the parent --------------------------------------------------------------


def sanitizer_env(plain):
    env = dict(os.environ)
    if plain:
        return env
    cxx = os.environ.get("CXX", "g++")
    libs = []
    for name in ("libasan.so", "libubsan.so"):
        path = subprocess.run([cxx, f"-print-file-name={name}"], capture_output=True,
                              text=True, check=True).stdout.strip()
        if not os.path.isfile(path):
            sys.exit(f"{cxx} has no {name}; pass --plain to run without sanitizers")
        libs.append(path)
    env.update(PYTHONMALLOC="malloc", LD_PRELOAD=" ".join(libs),
               ASAN_OPTIONS="detect_leaks=0:abort_on_error=1",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
    return env


def no_core_dumps():
    import resource
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


class Worker:
    def __init__(self, args, env, directory):
        self.directory = directory
        self.log_path = os.path.join(directory, "worker.log")
        self.log = open(self.log_path, "wb")
        if os.path.exists(self.current_path()):
            os.remove(self.current_path())  # left by a worker that crashed
        self.process = subprocess.Popen(
            [args.python, os.path.abspath(__file__), "--worker", directory],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log, env=env,
            preexec_fn=no_core_dumps)
        self.buffer = b""

    def send(self, inputs):
        path = os.path.join(self.directory, "batch")
        with open(path, "wb") as f:
            write_batch(f, inputs)
        self.process.stdin.write(path.encode() + b"\n")
        self.process.stdin.flush()

    def result(self, timeout):
        """The next result line, "died" or "slow"."""
        deadline = time.monotonic() + timeout
        out = self.process.stdout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return "slow"
            ready, _, _ = select.select([out], [], [], left)
            if ready:
                chunk = os.read(out.fileno(), 65536)
                if not chunk:
                    return "died"
                self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("ascii")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.log.close()
        with open(self.log_path, "rb") as f:
            log = f.read()
        if len(log) > 30000:  # the report's head and its summary are what matter
            log = log[:20000] + b"\n[...]\n" + log[-10000:]
        return log.decode("utf-8", "replace")

    def current_path(self):
        return os.path.join(self.directory, "current.php")

    def current(self):
        """The input the worker had started on when it stopped."""
        try:
            with open(self.current_path(), "rb") as f:
                return f.read()
        except OSError:
            return None

    def describe_exit(self):
        code = self.process.returncode
        return f"signal {-code}" if code < 0 else f"exit status {code}"


class Fuzzer:
    def __init__(self, args):
        self.args = args
        self.env = sanitizer_env(args.plain)
        self.scratch = tempfile.mkdtemp(prefix="zarnu-fuzz-")
        self.worker = None
        self.found = []
        self.seen = set()

    def run(self, inputs, stop_at=None):
        """Feeds the inputs through workers; returns the count checked."""
        done = 0
        try:
            while done < len(inputs) and (stop_at is None or time.monotonic() < stop_at):
                batch = inputs[done:done + BATCH]
                if self.worker is None:
                    self.worker = Worker(self.args, self.env, self.scratch)
                self.worker.send(batch)
                for data in batch:
                    outcome = self.worker.result(self.args.timeout)
                    done += 1
                    if outcome == "ok":
                        continue
                    if outcome.startswith("fail "):
                        text = outcome[5:].encode("ascii").decode("unicode_escape")
                        self.report("fail", data, text, text.rstrip().splitlines()[-1])
                        continue
                    log = self.worker.stop()
                    data = self.worker.current() or data
                    if outcome == "died":
                        what = self.worker.describe_exit()
                        if self.worker.process.returncode > 0 and self.worker.current() is None:
                            sys.exit(f"the worker could not start ({what}):\n{log}")
                        self.report("crash", data, f"worker ended with {what}\n{log}",
                                    crash_signature(what, log))
                    else:
                        self.report("slow", data,
                                    f"no result within {self.args.timeout} s\n{log}", None)
                    self.worker = None
                    break  # the rest of the batch goes to a fresh worker
        finally:
            if self.worker is not None and stop_at is None:
                self.worker.stop()
                self.worker = None
        return done

    def report(self, kind, data, detail, signature):
        key = (kind, signature)
        if signature is not None and key in self.seen:
            return
        self.seen.add(key)
        os.makedirs(self.args.out, exist_ok=True)
        name = f"{kind}-{hashlib.sha1(data).hexdigest()[:12]}"
        path = os.path.join(self.args.out, name + ".php")
        with open(path, "wb") as f:
            f.write(data)
        with open(os.path.join(self.args.out, name + ".log"), "w") as f:
            f.write(detail)
        self.found.append(path)
        command = ["python3", os.path.relpath(__file__)]
        if os.path.abspath(self.args.python) != DEFAULT_PYTHON:
            command += ["--python", self.args.python]
        if self.args.plain:
            command.append("--plain")
        command += ["--replay", path]
        print(f"{kind}: {path} ({len(data)} bytes): {signature or detail.splitlines()[0]}")
        print("  reproduce: " + " ".join(command))
        # Enough to act on where the output directory is not kept (CI).
        if len(data) <= 1000:
            print(f"  input: {data!r}")
        for line in detail.splitlines()[:15]:
            print("  | " + line)
        sys.stdout.flush()

    def close(self):
        if self.worker is not None:
            self.worker.stop()
        shutil.rmtree(self.scratch, ignore_errors=True)


def crash_signature(what, log):
    """The sanitizer's summary line, so one fault is reported once. A stack
    overflow's summary names whichever frame ran out, often one of the
    sanitizer's; the source file of this tree that most of its frames are in
    is the recursion, and what repeats."""
    for line in log.splitlines():
        if line.startswith("SUMMARY:") and "stack-overflow" in line:
            frames = re.findall(r"^ +#\d+ 0x[0-9a-f]+ in .* (%s/\S+):\d+" % re.escape(ROOT),
                                log[:log.index(line)], re.MULTILINE)
            if frames:
                recursion = collections.Counter(frames).most_common(1)[0][0]
                return "stack-overflow in " + os.path.relpath(recursion, ROOT)
        if line.startswith("SUMMARY:") or "panicked at" in line:
            return line
    return what


def announce_seed(args):
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(2**31)
    print(f"seed {seed} (rerun with --seed {seed})", flush=True)
    return seed


def run_atheris(args):
    """Runs libFuzzer under the sanitizer runtime that atheris ships with it;
    that runtime must be loaded before the interpreter starts."""
    seed = announce_seed(args)
    where = subprocess.run([args.python, "-c", "import atheris; print(atheris.path())"],
                           capture_output=True, text=True, check=True).stdout.strip()
    env = dict(os.environ, LD_PRELOAD=os.path.join(where, "asan_with_fuzzer.so"),
               PYTHONMALLOC="malloc", ASAN_OPTIONS="detect_leaks=0")
    command = [args.python, os.path.abspath(__file__), "--in-process", "--seed", str(seed),
               "--seconds", str(args.seconds), "--out", args.out,
               "--max-size", str(args.max_size), "--timeout", str(args.timeout)]
    return subprocess.run(command, env=env).returncode


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=60, help="how long to run (default 60)")
    parser.add_argument("--seed", type=int, help="seed of the mutations (default: a random one)")
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "fuzz"),
                        help="where failing inputs are written (default build/fuzz)")
    parser.add_argument("--python", help="interpreter with zarnu installed (default "
                        ".venv-asan/bin/python, or .venv-atheris/bin/python for atheris)")
    parser.add_argument("--plain", action="store_true",
                        help="run the worker without preloading the sanitizer runtimes")
    parser.add_argument("--max-size", type=int, default=100_000, help="largest input in bytes")
    parser.add_argument("--timeout", type=float, default=10, help="seconds one input may take")
    parser.add_argument("--replay", nargs="+", metavar="FILE", help="check these inputs only")
    parser.add_argument("--engine", choices=("mutate", "atheris"), default="mutate",
                        help="atheris: coverage-guided, in one process (make fuzz-atheris)")
    parser.add_argument("--worker", metavar="DIR", help=argparse.SUPPRESS)
    parser.add_argument("--in-process", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.worker:
        worker(args.worker)
        return 0
    if args.in_process:
        atheris_worker(args, args.seed)
        return 0
    if args.python is None:
        args.python = ATHERIS_PYTHON if args.engine == "atheris" else DEFAULT_PYTHON
    if not os.path.exists(args.python):
        parser.error(f"{args.python} does not exist (make fuzz or make fuzz-atheris builds it)")
    if args.engine == "atheris" and not args.replay:
        return run_atheris(args)

    fuzzer = Fuzzer(args)
    try:
        if args.replay:
            inputs = []
            for path in args.replay:
                with open(path, "rb") as f:
                    inputs.append(f.read())
            fuzzer.run(inputs)
            print(f"{len(inputs)} checked, {len(fuzzer.found)} failed")
            return 1 if fuzzer.found else 0

        seed = announce_seed(args)
        paths = seed_paths()
        if not paths:
            parser.error("no seed inputs found")
        mutator = Mutator(seed, paths, args.max_size)
        stop_at = time.monotonic() + args.seconds
        checked = 0
        while time.monotonic() < stop_at:
            checked += fuzzer.run([mutator.next() for _ in range(BATCH)], stop_at)
    finally:
        fuzzer.close()
    print(f"{checked} inputs from {len(paths)} seed files in {args.seconds:g} s; "
          f"{len(fuzzer.found)} failed")
    return 1 if fuzzer.found else 0


if __name__ == "__main__":
    sys.exit(main())
