"""Input that no one writes by hand: trees deep enough to exhaust a native
stack, and broken text. Parsing either translates or raises RecursionError;
it never takes the interpreter down, and the parser stays usable."""

import importlib.util
import pathlib
import random
import re
import signal
import subprocess
import sys
import threading
import types

import pytest

import zarnu
from zarnu import Variable, Zarnu

DEPTH = 100_000
DEEP_INPUTS = {
    "parentheses": "<?php " + "(" * DEPTH + "1" + ")" * DEPTH + ";",
    "arrays": "<?php " + "[" * DEPTH + "]" * DEPTH + ";",
    "array calls": "<?php " + "array(" * DEPTH + ")" * DEPTH + ";",
    "operator chain": "<?php $a = " + " + ".join(["1"] * 1_000_000) + ";",
    "braced variable": "<?php ${$a" + "->b" * DEPTH + "};",
    "braced subscripts": "<?php ${$a" + "[0]" * DEPTH + "};",
    "dollars": "<?php " + "$" * DEPTH + "a;",
}


def parse_or_recursion_error(parser, code):
    try:
        result = parser.parse(code)
    except RecursionError as error:
        assert "recursion" in str(error)
        return None
    assert isinstance(result, list)
    return result


@pytest.mark.parametrize("name", DEEP_INPUTS)
def test_deep_input_on_the_main_thread(name):
    parser = Zarnu()
    parse_or_recursion_error(parser, DEEP_INPUTS[name])
    assert parser.parse("<?php $a;") == [Variable("$a")]


@pytest.mark.parametrize("stack_size", [None, 256 * 1024])
def test_deep_input_on_a_thread(stack_size):
    """Threads may have far less stack than the main thread."""
    outcomes = {}

    def run():
        parser = Zarnu()
        for name, code in DEEP_INPUTS.items():
            outcomes[name] = parse_or_recursion_error(parser, code) is not None
        outcomes["after"] = parser.parse("<?php $a;")

    previous = threading.stack_size(stack_size) if stack_size else None
    try:
        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
    finally:
        if previous is not None:
            threading.stack_size(previous)
    assert outcomes.pop("after") == [Variable("$a")]
    assert set(outcomes) == set(DEEP_INPUTS)


# Error recovery can make the parser's stack as deep as the input is long, and
# the core walked it recursively in C: to release it (each unclosed "{$ or `{$
# adds a level), and to merge two versions of it that agree all the way down.
# Those come from an unclosed heredoc or string: one version takes a run of
# openers as a single token while two others shift them one at a time and
# merge only after the run. The process died of a stack overflow; run in a
# child so that a regression fails instead.
DEEP_RECOVERY = {
    "interpolations": ("<?php ", '"{$', ""),
    "backtick interpolations": ("<?php ", "`{$", ""),
    "parentheses after heredocs": ("<?php [<<<H\np\nH];<<<E\n,\n", "(", "$z"),
    "brackets after heredocs": ("<?php [<<<H\np\nH];<<<E\n,\n", "[", "$z"),
    "negations after heredocs": ("<?php [<<<H\np\nH];<<<E\n,\n", "-(", "$z"),
    # These two also merge deep with tree-sitter-php 0.25, whose heredoc
    # scanner no longer reaches the state above.
    "parentheses in a string": ("<?php !{$H'%", "(", ""),
    "brackets in a string": ("<?php ...->\\'T;", "[", ""),
}
RECOVERY_SCRIPT = """
import sys, threading
from zarnu import Variable, Zarnu
prefix, repeated, count, suffix, stack = sys.argv[1:]
code = prefix + repeated * int(count) + suffix
def run():
    parser = Zarnu()
    try:
        parser.parse(code)
    except RecursionError:
        pass
    assert parser.parse("<?php $a;") == [Variable("$a")]
    print("parsed")
if stack == "main":
    run()
else:
    threading.stack_size(int(stack))
    thread = threading.Thread(target=run)
    thread.start()
    thread.join()
"""


@pytest.mark.parametrize("name", DEEP_RECOVERY)
@pytest.mark.parametrize("count, stack", [(100_000, "main"), (5_000, str(256 * 1024))])
def test_deep_error_recovery_does_not_overflow(name, count, stack):
    prefix, repeated, suffix = DEEP_RECOVERY[name]
    child = subprocess.run(
        [sys.executable, "-c", RECOVERY_SCRIPT, prefix, repeated, str(count), suffix, stack],
        capture_output=True, text=True,
    )
    assert (child.returncode, child.stdout) == (0, "parsed\n"), child.stderr[-3000:]


# Long operator chains, interpolated strings and folded curly offsets are
# built without recursion, so a thread may parse a tree deeper than its stack
# can walk. Every walk must then raise RecursionError, whatever the stack
# size and recursion limit; a crash kills the child.
WALK_SCRIPT = """
import sys, threading
import zarnu
terms = int(sys.argv[2])
sources = {
    "chain": "<?php $x = " + " . ".join(["$a"] * terms) + ";",
    "interpolations": '<?php "' + "{$a}" * terms + '";',
    # error recovery makes these slow to parse; 20,000 are deep enough
    "curly offsets": "<?php $s" + "{0}" * min(terms, 20_000) + ";",
}
walks = {
    "repr": repr,
    "generic": lambda t: [item.generic(True) for item in t],
    "==": lambda t: t == parse(sources[name]),
    "accept": lambda t: [item.accept(lambda n: None) for item in t],
}
def parse(source):
    return zarnu.fixup_curly_offsets(zarnu.Zarnu().parse(source))
def run():
    global name
    for name, source in sources.items():
        tree = parse(source)
        for walk, call in walks.items():
            try:
                call(tree)
                print(name, walk, "ok")
            except RecursionError as error:
                assert str(error).startswith("maximum recursion depth exceeded"), error
                print(name, walk, "RecursionError")
if sys.argv[1] == "main":
    sys.setrecursionlimit(10**6)
    run()
else:
    threading.stack_size(int(sys.argv[1]))
    thread = threading.Thread(target=run)
    thread.start()
    thread.join()
"""


@pytest.mark.parametrize("stack, terms", [
    ("main", 200_000), (str(64 * 1024), 2_000), (str(256 * 1024), 2_000),
    (str(1024 * 1024), 10_000), (str(256 * 1024), 100),
])
def test_walks_over_deep_results_do_not_overflow(stack, terms):
    child = subprocess.run([sys.executable, "-c", WALK_SCRIPT, stack, str(terms)],
                           capture_output=True, text=True)
    assert child.returncode == 0, child.stderr[-3000:]
    outcomes = child.stdout.splitlines()
    assert len(outcomes) == 12, child.stdout
    if terms == 100:
        assert all(line.endswith(" ok") for line in outcomes), child.stdout


# Error recovery takes tens of seconds on this text: long enough that a parse
# which ignored signals would show as a hung test.
SLOW_RECOVERY = "<?php " + "yield " * 8000 + "namespace a{" * 2000


class Alarm(Exception):
    pass


def raise_alarm(signum, frame):
    raise Alarm


@pytest.mark.parametrize("handler, error", [
    (signal.default_int_handler, KeyboardInterrupt),
    (raise_alarm, Alarm),
])
def test_a_signal_stops_a_long_parse(handler, error):
    """The handler's exception leaves parse, and the parser is free again.
    The signal comes from the kernel: a thread could not send it, as parse
    keeps the GIL."""
    parser = Zarnu()
    previous = signal.signal(signal.SIGALRM, handler)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.2)
        with pytest.raises(error):
            parser.parse(SLOW_RECOVERY)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert parser.parse("<?php $a;") == [Variable("$a")]


@pytest.mark.parametrize("depth", [1, 100, 1000])
def test_ordinary_depth_translates(depth):
    parser = Zarnu()
    assert parser.parse("<?php " + "(" * depth + "$a" + ")" * depth + ";") == [Variable("$a")]
    nested = parser.parse("<?php " + "$" * depth + "a;")[0]
    for _ in range(depth - 1):
        nested = nested.name
    assert nested == Variable("$a")


def test_deep_results_are_freed():
    # A result about as deep as the stack allows must also be released.
    parser = Zarnu()
    for depth in (20_000, 50_000):
        result = parse_or_recursion_error(parser, "<?php " + "$" * depth + "a;")
        del result


SAMPLE = """<?php
namespace App\\Models;
use Foo\\Bar as Baz;
#[Attr(1)]
final class Shop extends Base implements I, J {
    use T { m as protected n; }
    const A = 1 << 2, B = "x{$y}z";
    public function __construct(private readonly int $a = 0x1F, ?string ...$rest) {}
    public static function m(int|string $x, &$y): ?static {
        $f = fn($v) => $v?->w ?? $$x["k"][0] . `ls $d` . <<<EOT
          heredoc $x {$y->z} ${w}
          EOT;
        try { yield from g(); } catch (A|B $e) { throw $e; } finally { exit(1); }
        return match(true) { 1, 2 => new class { }, default => null };
    }
}
?>
<p><?= $x ?></p><?php if ($a): ?>yes<?php else: ?>no<?php endif;
"""


def test_broken_text_never_crashes():
    """Every prefix of a sample, and random splices of its pieces, parse
    without an exception: the grammar recovers and the translation follows."""
    parser = Zarnu()
    for end in range(len(SAMPLE) + 1):
        assert isinstance(parser.parse(SAMPLE[:end]), list)
    rng = random.Random(20240607)
    pieces = SAMPLE.replace("\n", " \n ").split(" ")
    for _ in range(300):
        rng.shuffle(pieces)
        code = " ".join(pieces[: rng.randrange(1, len(pieces))])
        assert isinstance(parser.parse(code), list)
        assert isinstance(parser.parse("<?php " + code), list)


def load_fuzzer():
    path = pathlib.Path(__file__).parent.parent / "tools" / "fuzz_parse.py"
    loader = importlib.util.spec_from_file_location("fuzz_parse", path)
    module = importlib.util.module_from_spec(loader)
    loader.loader.exec_module(module)
    return module, sorted(str(p) for p in path.parent.parent.glob("tests/golden/*.php"))


def test_fuzzer_inputs_repeat_by_seed_and_pass_its_checks():
    """The fuzzer's own checks, in process, on the inputs of a fixed seed:
    a seed printed by a failing run must give the same inputs again."""
    fuzz, seeds = load_fuzzer()
    runs = [fuzz.Mutator(7, seeds, 20_000) for _ in range(2)]
    inputs = [runs[0].next() for _ in range(150)]
    assert [runs[1].next() for _ in range(150)] == inputs
    assert len(set(inputs)) > 100
    small_stack = fuzz.SmallStack()
    for data in inputs:
        assert fuzz.check(zarnu, data.decode("utf-8"), small_stack) is None


def test_fuzzer_only_parses_results_too_big_to_walk():
    """Each `?:` holds its condition twice, so 28 links make a tree of 2**28
    paths: comparing or printing it never ends, while parsing stays linear."""
    fuzz, _ = load_fuzzer()
    items = zarnu.Zarnu().parse("<?php $a" + " ?: ''" * 28 + ";")
    assert fuzz.expanded_size(items) > fuzz.MAX_EXPANDED_SIZE
    assert fuzz.check(zarnu, "<?php $a" + " ?: ''" * 28 + ";") is None
    assert fuzz.expanded_size(zarnu.Zarnu().parse("<?php $a ?: $b;")) == 8


class OffMainThread(BaseException):
    """Stands in for PanicException, which derives from BaseException too."""


@pytest.mark.parametrize("error, last_line", [
    (ValueError("bad"), "ValueError: bad"),
    (OffMainThread(), "test_robustness.OffMainThread"),
    (RecursionError(), None),
    (MemoryError(), None),
])
def test_fuzzer_reports_the_small_stack_like_the_main_thread(error, last_line):
    """What the parse raises on the small stack's thread comes back to the
    main thread, where RecursionError and MemoryError pass and anything else
    is a failure, reported by its last line as a main-thread one would be."""
    fuzz, _ = load_fuzzer()

    class Parser:
        def parse(self, text):
            if threading.current_thread() is not threading.main_thread():
                raise error
            return [text]

    small = fuzz.SmallStack()
    assert threading.stack_size() == 0  # other threads keep the default
    fake = types.SimpleNamespace(Zarnu=Parser, fixup_curly_offsets=list)
    problem = fuzz.check(fake, "<?php", small)
    if last_line is None:
        assert problem is None
    else:
        assert problem.startswith("on a thread with a 256 KiB stack")
        assert problem.rstrip().splitlines()[-1] == last_line
    assert fuzz.check(zarnu, '<?php echo $s{0} . "{$a}";', small) is None
    deep = [Variable("$a")]
    for _ in range(5000):  # a generator per level would overflow the thread
        deep = [deep]
    assert small.call(lambda: list(fuzz.nodes_in(deep))) == [Variable("$a")]


def test_fuzzer_nests_openers_shallow_and_deep_within_the_cap():
    fuzz, seeds = load_fuzzer()
    mutator = fuzz.Mutator(3, seeds, 100_000)
    depths = []
    for _ in range(300):
        runs = re.findall(rb"(?:-?\(|\[|\{\$)+", mutator.unterminated(b"<?php\n"))
        depths.append(max(sum(map(run.count, (b"(", b"[", b"{"))) for run in runs))
    assert max(depths) <= fuzz.MAX_OPENERS
    assert min(depths) < 10 and sum(depth > 1000 for depth in depths) > 30


def longest_periodic_run(data, longest_period=8):
    longest = 0
    for period in range(1, longest_period + 1):
        run = 0
        for i in range(len(data) - period):
            run = run + 1 if data[i] == data[i + period] else 0
            longest = max(longest, run + period)
    return longest


def test_fuzzer_keeps_runs_short_across_mutations_and_generations():
    """The core's error recovery takes time with the square of a run of one
    repeated span, so runs made by several repeats, in one input or its
    ancestors, must stay under the cap together: two runs of "->@" stacked
    into 2,900 bytes took two parses 14 s under ASan."""
    fuzz, seeds = load_fuzzer()
    mutator = fuzz.Mutator(1, seeds, 100_000)
    mutator.MUTATIONS = ("repeat", "splice", "flip")  # openers nest far deeper on purpose
    runs = [longest_periodic_run(mutator.next()) for _ in range(1500)]
    assert max(runs) <= fuzz.MAX_REPEATED_BYTES + 8
    assert sum(run > fuzz.MAX_REPEATED_BYTES // 2 for run in runs) > 10


@pytest.mark.parametrize("top", ["__interceptor_strlen ../sanitizer_common.inc:387",
                                 "PyUnicode_New Objects/unicodeobject.c:1425"])
def test_fuzzer_reports_a_stack_overflow_by_its_recursion(top):
    """Whichever frame runs out, one recursion is one report."""
    fuzz, _ = load_fuzzer()
    frames = [f"    #0 0x1 in {top}", f"    #1 0x2 in f {fuzz.ROOT}/src/ast/node_type.cpp:9"]
    frames += [f"    #{i} 0x3 in g {fuzz.ROOT}/src/ast/repr.cpp:{i}" for i in range(2, 9)]
    log = "\n".join(frames + [f"SUMMARY: AddressSanitizer: stack-overflow {top}"])
    assert fuzz.crash_signature("signal 6", log) == "stack-overflow in src/ast/repr.cpp"
    assert fuzz.crash_signature("signal 6", "SUMMARY: UndefinedBehaviorSanitizer: x") \
        == "SUMMARY: UndefinedBehaviorSanitizer: x"
