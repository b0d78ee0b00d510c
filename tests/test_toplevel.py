"""The program-level walk and the dispatch frame: inline text, the "<?=" short
echo, splicing of list results, skipped tokens, the default translation and
the structural kinds. Expected items carry their line numbers, which take
part in the comparison."""

import pytest

from zarnu import (Block, Constant, Echo, FunctionCall, If, InlineHTML, Namespace, Variable,
                   Zarnu)
from php import lines


def parse(code):
    return Zarnu().parse(code)


def find(value, class_name):
    """The generic field dicts of every `class_name` node anywhere in `value`
    (nodes, lists, and generic forms, which keep nodes in nested lists)."""
    if hasattr(value, "generic"):
        value = value.generic(with_lineno=True)
    if isinstance(value, list):
        for item in value:
            yield from find(item, class_name)
    elif isinstance(value, tuple) and len(value) == 2 and isinstance(value[1], dict):
        if value[0] == class_name:
            yield value[1]
        for field in value[1].values():
            yield from find(field, class_name)


@pytest.mark.parametrize("code, expected", [
    # Text alone, without any tag.
    ("hello", [InlineHTML("hello", 1)]),
    # The grammar starts a leading text at its first non-blank character.
    ("\n\nhello\n", [InlineHTML("hello\n", 3)]),
    # Text after a closing tag starts right after the tag, white space kept,
    # and carries the line of the closing tag.
    ("<?php $a ?>  x  ", [Variable("$a", 1), InlineHTML("  x  ", 1)]),
    ("<?php $a;\n?>\n  tail\n<?php $b;",
     [Variable("$a", 1), InlineHTML("\n  tail\n", 2), Variable("$b", 4)]),
    ("a<?php ?>b", [InlineHTML("a", 1), InlineHTML("b", 1)]),
    # A closing tag with no text after it adds nothing.
    ("<?php $a; ?>", [Variable("$a", 1)]),
    ("<?php ?><?php $a; ?>", [Variable("$a", 1)]),
    # A NUL byte is a character of the text, also in a comment before it.
    ("x\0y<?php $a;", [InlineHTML("x\0y", 1), Variable("$a", 1)]),
    ("\0" * 10, [InlineHTML("\0" * 10, 1)]),
    ("<?php // \0 ?>\0\n<?php $a; # \0\n/* \0 */ $b;",
     [InlineHTML("\0\n", 1), Variable("$a", 2), Variable("$b", 3)]),
])
def test_inline_text(code, expected):
    assert lines(parse(code)) == lines(expected)


@pytest.mark.parametrize("code, expected", [
    ("<?= $a ?>", [Echo([Variable("$a", 1)], 1)]),
    ("<?=\n\n$a ?>", [Echo([Variable("$a", 3)], 3)]),
    # The second "<?=" sits at the end of a text_interpolation and wraps the
    # next sibling.
    ("<?= $a ?>x<?= $b ?>",
     [Echo([Variable("$a", 1)], 1), InlineHTML("x", 1), Echo([Variable("$b", 1)], 1)]),
    # Text inside the span of a closing tag is never wrapped.
    ("<?= ?>text", [InlineHTML("text", 1)]),
    # Items that add nothing (a comment, a lone ";") leave the flag set.
    ("<?= /* c */ ;\n $a ?>", [Echo([Variable("$a", 2)], 2)]),
    # A plain opening tag clears it.
    ("<?= ?><?php $a;", [Variable("$a", 1)]),
    # After "<?=", a list result is the one item of the Echo, not spliced.
    ("<?= 1 2 ?>", [Echo([[1]], 1), 2]),
    ("<?= 1 2 3 ?>", [Echo([[1, 2]], 1), 3]),
])
def test_short_echo(code, expected):
    assert lines(parse(code)) == lines(expected)


@pytest.mark.parametrize("code, expected", [
    # A bare literal statement is a plain value.
    ("<?php 5;", [5]),
    ("<?php 1.5;", [1.5]),
    ("<?php (5);", [5]),
    ("<?php ((($a)));", [Variable("$a", 1)]),
    # A comment inside parentheses does not take the operand's place.
    ("<?php (/* why */ $a);", [Variable("$a", 1)]),
    ("<?php (\n/* a */ /* b */\n$a /* c */);", [Variable("$a", 3)]),
    # An error node's list is spliced one level deep into the result.
    ("<?php 1 2 3;", [1, 2, 3]),
    # An error node without named children, a lone ";", comments: nothing.
    ("<?php ]$x;", [Variable("$x", 1)]),
    ("<?php ; ;; /* c */ // d\n # e\n", []),
    ("<?php ()", []),
])
def test_statements_and_errors(code, expected):
    assert lines(parse(code)) == lines(expected)


@pytest.mark.parametrize("code, expected", [
    # What follows `__halt_compiler();` at the top of the file is data.
    ("<?php f(); __halt_compiler(); garbage $x = 1;",
     [FunctionCall("f", [], 1), FunctionCall("__halt_compiler", [], 1)]),
    ("<?php namespace N; __HALT_Compiler() ?>x<?php $a;",
     [Namespace("N", [], 1), FunctionCall("__HALT_Compiler", [], 1)]),
    ("<?php __halt_compiler();\n\"} <?php $a;", [FunctionCall("__halt_compiler", [], 1)]),
    # Anywhere else PHP refuses it; the items around it stay.
    ("<?php namespace N { __halt_compiler(); } $a;",
     [Namespace("N", [FunctionCall("__halt_compiler", [], 1)], 1), Variable("$a", 1)]),
    ("<?php if ($c) { __halt_compiler(); } $a;",
     [If(Variable("$c", 1), Block([FunctionCall("__halt_compiler", [], 1)], 1), [], None, 1),
      Variable("$a", 1)]),
])
def test_halt_compiler(code, expected):
    assert lines(parse(code)) == lines(expected)


def test_default_translation_keeps_nested_lists():
    # dynamic_variable_name over an error node: the error node's list stays
    # a list inside the Variable.
    assert parse("<?php $a $b $c;") == [Variable([Constant("a"), Variable("$b")])]


@pytest.mark.parametrize("code, data, lineno", [
    # Below the program level the text loses its tags and the space around
    # them.
    ("<?php if (1): ?> <b>x</b> <?php endif;", ["<b>x</b>"], 1),
    ("<?php if (1):\n?>\n <b>x</b>\n<?php endif;", ["<b>x</b>"], 2),
    ("<?php if (1): ?>\n  \n<?php endif;", [], None),
    ("<?php if (1): ?><?php endif;", [], None),
])
def test_inline_text_below_the_program_level(code, data, lineno):
    items = parse(code)
    found = list(find(items, "InlineHTML"))
    assert [f["data"] for f in found] == data
    assert all(f["lineno"] == lineno for f in found)
    assert not list(find(items, "Echo"))


@pytest.mark.parametrize("code", [
    "<?php if (1): ?>a<?= $v ?>b<?php endif;",
    "<?php if (1) { ?>a<?= $v ?>b<?php }",
    "<?php foreach ($l as $x): ?>a<?= $v ?>b<?php endforeach;",
    "<?php function f() { ?>a<?= $v ?>b<?php }",
])
def test_short_echo_inside_blocks_outputs_the_next_statement(code):
    echoes = list(find(parse(code), "Echo"))
    assert echoes == [{"lineno": 1, "nodes": [("Variable", {"lineno": 1, "name": "$v"})]}]
    assert [f["data"] for f in find(parse(code), "InlineHTML")] == ["a", "b"]


def test_every_node_gets_its_own_line():
    items = parse("<?php\n$a;\n\n  $b\n  ;\n(\n\n$c);")
    assert [x.lineno for x in items] == [2, 4, 8]
