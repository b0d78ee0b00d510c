"""Names in expression position, magic constants, boolean and null literals,
and integer and float literals. Where the PHP interpreter is installed it is
the oracle for literal values and file magic constants."""

import math
import os
import random
import re
import shutil
import subprocess

import pytest

from zarnu import Constant, Exit, MagicConstant, Zarnu

PHP = shutil.which("php")
needs_php = pytest.mark.skipif(PHP is None, reason="php is not installed")


def run_php(*args):
    # A sanitizer preloaded for this interpreter has no place in php.
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    return subprocess.run([PHP, *args], capture_output=True, text=True, check=True,
                          env=env).stdout


def statement(code, filename=None):
    """The one item that `<?php code;` gives, with its line number checked."""
    items = Zarnu().parse(f"<?php\n{code};", filename)
    assert len(items) == 1, items
    item = items[0]
    if hasattr(item, "lineno"):
        assert item.lineno == 2
    return item


def find(value, cls):
    if isinstance(value, cls):
        yield value
    if isinstance(value, list):
        for item in value:
            yield from find(item, cls)
    elif hasattr(value, "fields"):
        for name in type(value).fields:
            yield from find(getattr(value, name + "_" if name == "type" else name), cls)


@pytest.mark.parametrize("code, expected", [
    ("FOO", Constant("FOO")),
    ("\\App\\FOO", Constant("\\App\\FOO")),          # qualified_name
    ("namespace\\FOO", Constant("namespace\\FOO")),  # relative_name
    ("STATICS", Constant("STATICS")),
    ("die", Exit(None, "die")),
    ("DIE", Exit(None, "die")),
    # Literals are constants by name, spelled as written.
    ("true", Constant("true")),
    ("FALSE", Constant("FALSE")),
    ("True", Constant("True")),
    ("null", Constant("null")),
    ("NULL", Constant("NULL")),
])
def test_names(code, expected):
    item = statement(code)
    assert item == expected and type(item) is type(expected)


def leaves(value):
    """The plain values anywhere in a generic form."""
    if hasattr(value, "generic"):
        value = value.generic()
    if isinstance(value, list):
        for item in value:
            yield from leaves(item)
    elif isinstance(value, tuple) and len(value) == 2 and isinstance(value[1], dict):
        for field in value[1].values():
            yield from leaves(field)
    else:
        yield value


@pytest.mark.parametrize("written, word", [
    ("Self", "self"), ("PARENT", "parent"), ("static", "static"), ("sTaTiC", "static"),
])
def test_class_words_are_lowercased(written, word):
    # The words are names only as operands; a statement `self;` is an error.
    found = list(leaves(Zarnu().parse(f"<?php f({written});")))
    assert word in found and (written == word or written not in found)


@pytest.mark.parametrize("code", ["exit", "EXIT", "Exit"])
def test_bare_exit_as_a_value(code):
    items = Zarnu().parse(f"<?php f() or {code};")
    assert list(find(items, Exit)) == [Exit(None, "exit")]


@pytest.mark.parametrize("code, expected", [
    ("__LINE__", MagicConstant("__LINE__", 2)),
    ("__CLASS__", MagicConstant("__CLASS__", None)),
    ("__FUNCTION__", MagicConstant("__FUNCTION__", None)),
    ("__METHOD__", MagicConstant("__METHOD__", None)),
    ("__NAMESPACE__", MagicConstant("__NAMESPACE__", None)),
    ("__FILE__", MagicConstant("__FILE__", None)),
    ("__DIR__", MagicConstant("__DIR__", None)),
    # Unknown names of the magic shape are magic constants without a value.
    ("__TRAIT__", MagicConstant("__TRAIT__", None)),
    ("___", MagicConstant("___", None)),
    # Anything else is a constant: wrong case, digits, too short.
    ("__line__", Constant("__line__")),
    ("__Line__", Constant("__Line__")),
    ("__LINE2__", Constant("__LINE2__")),
    ("__dir__", Constant("__dir__")),
    ("__", Constant("__")),
    ("__X", Constant("__X")),
])
def test_magic_constants(code, expected):
    item = statement(code)
    assert item == expected and type(item) is type(expected)


def test_line_magic_counts_lines_of_its_own():
    items = Zarnu().parse("<?php\n\n\n\n\n\n__LINE__;\n__LINE__;")
    assert [(x.value, x.lineno) for x in items] == [(7, 7), (8, 8)]
    assert type(items[0].value) is int


@pytest.mark.parametrize("filename, file_value, dir_value", [
    ("x.php", "x.php", ""),
    ("/var/www/index.php", "/var/www/index.php", "/var/www"),
    ("/index.php", "/index.php", "/"),
    ("a//b/./c.php", "a//b/./c.php", "a//b"),
    ("./a.php", "./a.php", "."),
    ("dir/", "dir/", ""),
    (".", ".", ""),
    ("/var/www/", "/var/www/", "/var"),
    ("", "", None),
    ("/", "/", None),
    ("/.", "/.", None),
    ("ä/ö.php", "ä/ö.php", "ä"),
])
def test_file_and_directory(filename, file_value, dir_value):
    assert statement("__FILE__", filename) == MagicConstant("__FILE__", file_value)
    assert statement("__DIR__", filename) == MagicConstant("__DIR__", dir_value)


@pytest.mark.parametrize("code, expected", [
    ("0", 0),
    ("42", 42),
    ("0x1F", 31), ("0X1f", 31), ("0x1A_2B_3C", 0x1A2B3C),
    ("0b101", 5), ("0B101", 5),
    ("0o17", 15), ("0O17", 15), ("017", 15), ("0_7", 7), ("0123_456", 0o123456),
    ("1_000_000", 1000000),
    ("9223372036854775807", 2**63 - 1),
    ("0x7FFF_FFFF_FFFF_FFFF", 2**63 - 1), ("0x007FFFFFFFFFFFFFFF", 2**63 - 1),
    ("0b" + "1" * 63, 2**63 - 1), ("0b000" + "1" * 63, 2**63 - 1),
    ("0777777777777777777777", 2**63 - 1), ("0o777777777777777777777", 2**63 - 1),
    # Past the signed 64-bit range: the float of the value, as in PHP.
    ("9223372036854775808", 2.0**63),
    ("18446744073709551617", 2.0**64),
    ("0x8000000000000000", 2.0**63),
    ("0xFFFFFFFFFFFFFFFF", 2.0**64),
    ("0o2000000000000000000000", 2.0**64),
    ("01000000000000000000000", 2.0**63),
    # PHP builds hex, octal and binary ones digit by digit, rounding at each
    # step, which can land a few units below the correctly rounded value.
    ("0b" + "1" * 64, 1.844674407370955e+19),
    ("0B" + "1" * 68, 2.951479051793528e+20),
    ("0b1" + "0" * 62 + "1", 9.223372036854775e+18),
    ("0b1" + "0" * 64, 1.844674407370955e+19),
    ("0b00_" + "1" * 64, 1.844674407370955e+19),
    ("0x3b7ea6d5547ae966193", 1.7559745865641479e+22),
    ("0XFFFFFFFFFFFFFFFFF", 2.9514790517935283e+20),
    ("0o1512037603054730754613731", 7.766651320824651e+21),
    ("0o0_1512037603054730754613731", 7.766651320824651e+21),
    ("01512037603054730754613731", 7.766651320824651e+21),
    ("0777777777777777777777777", 4.722366482869645e+21),
    ("9" * 400, math.inf),
    ("0x" + "F" * 300, math.inf),
    # Floats.
    ("1.5", 1.5), (".5", 0.5), ("1.", 1.0), ("1e3", 1000.0), ("1E-2", 0.01),
    ("1_000.5", 1000.5), ("6.674_083e11", 6.674083e11), ("1e1_0", 1e10),
    ("1e1000", math.inf), ("0.1e-400", 0.0),
])
def test_number_literals(code, expected):
    value = statement(code)
    assert type(value) is type(expected) and value == expected


LITERALS = [
    "42", "0x1F", "0b101", "0o17", "017", "1_000_000", "9223372036854775807",
    "9223372036854775808", "99999999999999999999", "18446744073709551617",
    "0xFFFFFFFFFFFFFFFF", "0x1FFFFFFFFFFFFFFFFF", "0x10000000000000001",
    "077777777777777777777777", "1e1000",
    "1.5", ".5", "1.", "1E-2", "1_000.5", "6.674_083e11",
]


@needs_php
def test_literal_values_agree_with_php():
    program = "foreach ([" + ", ".join(LITERALS) + "] as $v) { var_export($v); echo \"\\n\"; }"
    output = run_php("-r", program).split()
    for literal, text in zip(LITERALS, output, strict=True):
        expected = int(text) if re.fullmatch(r"-?\d+", text) else float(text)
        value = statement(literal)
        assert (type(value), value) == (type(expected), expected), literal


@needs_php
def test_file_magic_agrees_with_php(tmp_path):
    source = "<?php\necho __DIR__, \"\\n\", __FILE__, \"\\n\", __LINE__, \"\\n\";"
    path = tmp_path / "page.php"
    path.write_text(source)
    output = run_php(str(path)).splitlines()
    magic = list(find(Zarnu().parse(source, str(path)), MagicConstant))
    assert [m.value for m in magic] == [output[0], output[1], int(output[2])]


def random_wide_literals(seed=2024, count=300):
    """Hex, 0o octal, leading-0 octal and binary literals of 64 to 80 bits,
    some in capitals, with leading zeros or with separators."""
    rng = random.Random(seed)
    forms = [("0x", "x"), ("0o", "o"), ("0", "o"), ("0b", "b")]
    literals = []
    for prefix, spec in forms:
        for _ in range(count):
            bits = rng.randint(64, 80)
            digits = format(rng.getrandbits(bits) | 1 << (bits - 1), spec)
            if rng.random() < 0.5:
                digits = digits.upper()
            if rng.random() < 0.3:
                digits = "0" * rng.randint(1, 3) + digits
            if rng.random() < 0.3:
                cuts = sorted(rng.sample(range(1, len(digits)), 3))
                digits = "_".join(digits[i:j] for i, j in zip([0, *cuts], [*cuts, None]))
            literals.append(prefix + digits)
    return literals


@needs_php
def test_wide_literals_agree_with_php(tmp_path):
    literals = random_wide_literals()
    script = tmp_path / "wide.php"
    script.write_text("<?php\n" + "".join(
        f'var_export({literal}); echo "\\n";\n' for literal in literals))
    output = run_php(str(script)).split()
    values = Zarnu().parse("<?php\n" + ";\n".join(literals) + ";")
    for literal, text, value in zip(literals, output, values, strict=True):
        assert repr(value) == repr(float(text)), literal
