"""String literals: quoted, heredoc, nowdoc and backtick commands, their
interpolated parts and their escapes. Where the PHP interpreter is installed
it is the oracle for the values of literals: a translated string is evaluated
with known variable values and compared with what PHP prints."""

import json
import os
import shutil
import subprocess

import pytest

from zarnu import (ArrayOffset, BinaryOp, FunctionCall, MagicConstant, ObjectProperty,
                   Parameter, Variable, Zarnu)

PHP = shutil.which("php")
needs_php = pytest.mark.skipif(PHP is None, reason="php is not installed")

V = Variable


def dot(*parts):
    """The left fold of "." joins that an interpolated string becomes."""
    joined = parts[0]
    for part in parts[1:]:
        joined = BinaryOp(".", joined, part)
    return joined


def value(code):
    items = Zarnu().parse(f"<?php {code}\n;")
    assert len(items) == 1, items
    return items[0]


@pytest.mark.parametrize("code, expected", [
    ("''", ""),
    ('""', ""),
    ("'it\\'s'", "it's"),
    ("'a\\nb'", "a\\nb"),
    # Text pieces and escapes join into one str.
    ('"a\\tb"', "a\tb"),
    ('"a\nb"', "a\nb"),
    # A lone interpolated variable is the string's value.
    ('"$a"', V("$a")),
    ('"{$a}"', V("$a")),
    ('"${a}"', V("$a")),
    ('"{$$a}"', V(V("$a"))),
    ('"x $a y"', dot("x ", V("$a"), " y")),
    ('"$a$b"', dot(V("$a"), V("$b"))),
    ('"{$a}{$b}"', dot(V("$a"), V("$b"))),
    # Braces that enclose no expression are text.
    ('"\\{$a}"', dot("\\{", V("$a"), "}")),
    ('"$a{"', dot(V("$a"), "{")),
    ('" { $a}"', dot(" { ", V("$a"), "}")),
    # `${expr}` is the variable that expr names, as outside a string: PHP
    # reads "${'x'}" as $x, not as the text "x".
    ("\"${'x'}y$b\"", dot(V("x"), "y", V("$b"))),
    ("\"a${'x'}$b\"", dot("a", V("x"), V("$b"))),
    ("\"a${'x'}b\"", dot("a", V("x"), "b")),
    ('"a${1}b"', dot("a", V(1), "b")),
    ('"a${1.5}"', dot("a", V(1.5))),
    # The binary-string prefix changes nothing.
    ('b"x\\n"', "x\n"),
    ("B'x\\n'", "x\\n"),
    ("<<<EOT\nEOT", ""),
    ("<<<EOT\na $b\nEOT", dot("a ", V("$b"))),
    ('<<<"EOT"\n\\t"\nEOT', '\t"'),
    # A nowdoc is the text as written.
    ("<<<'EOT'\na $b \\\\ \\' \\n\nEOT", "a $b \\\\ \\' \\n"),
    # The closing marker's indentation is not part of any line.
    ("<<<EOT\n    a\n      $b\n    EOT", dot("a\n  ", V("$b"))),
    ("<<<'EOT'\n\t\ta\n\t\t\tb\n\t\tEOT", "a\n\tb"),
])
def test_literals(code, expected):
    assert value(code) == expected


@pytest.mark.parametrize("code, command", [
    ("``", ""),
    ("`ls -l`", "ls -l"),
    ("`ls $d`", dot("ls ", V("$d"))),
    # A backtick is escaped in a command, a double quote is not.
    ('`a\\`b\\"`', 'a`b\\"'),
    ("`\0$d\0`", dot("\0", V("$d"), "\0")),
])
def test_shell_commands(code, command):
    assert value(code) == FunctionCall("shell_exec", [Parameter(command, False)])


def test_line_numbers():
    call = value('\n\n`ls\n$d`')
    assert call.lineno == 3 and call.params[0].lineno == 3
    joined = value('"$b\n$c"')
    # The joins have no line of their own; the variables keep theirs.
    assert joined.lineno is None and joined.left.lineno is None
    assert (joined.left.left.lineno, joined.right.lineno) == (1, 2)
    assert value('"{$$a}"').lineno == 1
    assert value('"\n{$$a}"').right.lineno == 2


def test_dynamic_names_in_strings_keep_their_variable():
    # PHP reads "${$a}" as $$a: the Variable around the inner one stays, in
    # a string as outside one, also after a nested string.
    items = Zarnu().parse('<?php "{$b}"; ${$a}; "${$a}"; "${\'k\'}${$c}";')
    assert items[:3] == [V("$b"), V(V("$a")), V(V("$a"))]
    assert items[3] == dot(V("k"), V(V("$c")))


# Decoded exactly as PHP decodes them.
ESCAPES = [
    r'"\x41\X41\101\u{41}\u{0041}"', r'"\e\f\n\r\t\v\$\"\\"', r'"\x4g\x+F\xZZ\x"',
    r'"\0\08\18\19x\1234\8\9"', r'"\q\'\`\u41"', r'"\u{1F600}\u{e9}é"',
    r'"a\\"', r"'\'\\\n\\\'\\'", r"'\x41\"\$'",
    '<<<EOT\n\\"\\\'\\`\\\\\\$\\x41\nEOT', "<<<'EOT'\n\\\\\\'\\x41\nEOT",
]

# Interpolation and heredoc framing, with $a = "A" and $b = "B".
FRAMING = [
    '"x $a y{$b}z"', '" {$a} { $b} "',
    "<<<EOT\nx\n\nEOT", "<<<EOT\n\n\nEOT",
    "<<<EOT\n\n\n$a\n\n\nEOT", "<<<EOT\nx\n\n{$a}\nEOT",
    "<<<EOT\n\n  $a\n\n  y {$b}\n  EOT", "<<<EOT\n  a\n  \n  EOT",
    "<<<EOT\n    x\n      y\\t$a\n   z\n   EOT", "<<<EOT\n  {$a}$b\n   c\n  EOT",
    "<<<EOT\r\n  a\r\n  b\r\n  EOT", "<<<EOT\n  \\t a\n  EOT",
    "<<<'E'\n  a\n\n   b\n  E", "<<<'EOT'\n\n\nx\n\n\nEOT",
]

# A NUL byte is an ordinary character of every kind of literal, and "\0"
# writes one.
NUL_BYTES = [
    "'x\0y'", '"x\0y $a\0"', '"\\0\0"',
    "<<<EOT\n  \0x $a\n  \0\n  EOT", "<<<'EOT'\n\0\n\0EOT\nEOT",
]

# A body line that opens with "#" or "//" after an earlier line, which the
# grammar may take for a comment, is heredoc text with its interpolations.
HASH_LINES = [
    "<<<EOT\na\n# $a\nEOT", "<<<EOT\na\n# x\n# y\nEOT", "<<<EOT\n# $a\nb\nEOT",
    "<<<EOT\na\n// $a\nb\n# {$b} ${a} \\x41\nEOT", "<<<EOT\n  a $b\n  // x $a\n  EOT",
    "<<<EOT\n    a\n      # $a\\t\n    EOT", "<<<EOT\n$a # x\n//y\nEOT",
    "<<<EOT\r\na\r\n# $a\r\nEOT", "<<<EOT\na\n#\\$a \0 $b\nEOT",
]

ORACLE = ESCAPES + FRAMING + NUL_BYTES + HASH_LINES


@pytest.fixture(scope="module")
def php_values():
    """What PHP makes of each literal of ORACLE."""
    if PHP is None:
        pytest.skip("php is not installed")
    script = "<?php $a = 'A'; $b = 'B';\n" + "".join(
        f"echo json_encode({literal}\n), \"\\n\";\n" for literal in ORACLE)
    # A sanitizer preloaded for this interpreter has no place in php.
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    out = subprocess.run([PHP], input=script, capture_output=True, text=True,
                         check=True, env=env).stdout
    return dict(zip(ORACLE, map(json.loads, out.splitlines())))


def evaluate(node):
    if isinstance(node, BinaryOp):
        return evaluate(node.left) + evaluate(node.right)
    if isinstance(node, Variable):
        return {"$a": "A", "$b": "B"}[node.name]
    return node


@needs_php
@pytest.mark.parametrize("literal", ORACLE)
def test_agrees_with_php(literal, php_values):
    assert evaluate(value(literal)) == php_values[literal]


# Where PHP makes bytes of a numeric escape, the value is the character with
# that code point. A \u escape that PHP refuses to compile, for a value that
# is no Unicode scalar value or for its form, stays as written.
@pytest.mark.parametrize("code, expected", [
    (r'"\xFF"', "\u00ff"),
    (r'"\xC3\xA9"', "\u00c3\u00a9"),
    (r'"\400\777"', "\u0100\u01ff"),
    (r'"\u{D800}"', "\\u{D800}"),
    (r'"\u{110000}\u{FFFFFFFFFF}"', "\\u{110000}\\u{FFFFFFFFFF}"),
    (r'"\u{}\u{4G}\u{41"', "\\u{}\\u{4G}\\u{41"),
])
def test_numeric_escapes_give_characters(code, expected):
    assert value(code) == expected


# These need the member access translation.
@pytest.mark.parametrize("code, expected", [
    ('"a $o->p b"', dot("a ", ObjectProperty(V("$o"), "p"), " b")),
    ('"$a[1]"', ArrayOffset(V("$a"), 1)),
    # Without braces PHP reads a bare offset as text, a magic constant too;
    # within them it is an expression.
    ('"$a[__LINE__]"', ArrayOffset(V("$a"), "__LINE__")),
    ('"{$a[__LINE__]}"', ArrayOffset(V("$a"), MagicConstant("__LINE__", 1))),
    ("<<<EOT\n$a[__DIR__] {$a[__DIR__]}\nEOT",
     dot(ArrayOffset(V("$a"), "__DIR__"), " ",
         ArrayOffset(V("$a"), MagicConstant("__DIR__", None)))),
])
def test_access_in_strings(code, expected):
    assert value(code) == expected


# Code may follow a closing label on its line (PHP 7.3+); none of it may be
# lost or read as string text.
@pytest.mark.parametrize("code, expected", [
    ("$a = <<<'E'\nx\nE . 'y';\n$b = 2;\n",
     "[Assignment(Variable('$a'), BinaryOp('.', 'x', 'y'), False), "
     "Assignment(Variable('$b'), 2, False)]"),
    ("$a = <<<EOT\nb\nEOT . 'x';\n$c = 1;\n$d = <<<EOT\nEOT;\n",
     "[Assignment(Variable('$a'), BinaryOp('.', 'b', 'x'), False), "
     "Assignment(Variable('$c'), 1, False), Assignment(Variable('$d'), '', False)]"),
    ("foreach (<<<'E'\nx\nE as $v) { f($v); }\n$b = 2;\n",
     "[Foreach('x', None, ForeachVariable(Variable('$v'), False), "
     "Block([FunctionCall('f', [Parameter(Variable('$v'), False)])])), "
     "Assignment(Variable('$b'), 2, False)]"),
])
def test_code_after_a_closing_label(code, expected):
    assert repr(Zarnu().parse("<?php\n" + code)) == expected
