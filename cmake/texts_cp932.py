#!/usr/bin/env python3
"""Converts the program's texts (res/texts.inc, UTF-8) to code page 932.

Usage: texts_cp932.py TEXTS.INC OUT.CPP

Writes OUT.CPP, which defines every text of TEXTS.INC as a char array of its
code page 932 bytes (written as escapes, so the compiler's own character set
plays no part). Python's cp932 codec is Windows' code page 932, the one
SETUP.EXE runs with. A text without a code page 932 form, an unknown escape
or anything but UPD_TEXT entries and comments stops the build.
"""
import re
import sys

TOKEN = re.compile(r'''
    (?P<space>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>"(?:[^"\\\n]|\\.)*")
  | (?P<name>[A-Za-z_]\w*)
  | (?P<punct>[(),])
''', re.VERBOSE | re.DOTALL)

ESCAPES = {'n': '\n', 't': '\t', '\\': '\\', '"': '"', "'": "'"}


def fail(where, message):
    sys.exit(f'{where}: {message}')


def tokens(source, path):
    at = 0
    while at < len(source):
        m = TOKEN.match(source, at)
        if not m:
            line = source.count('\n', 0, at) + 1
            fail(f'{path}:{line}', f'unexpected {source[at:at + 20]!r}')
        if m.lastgroup not in ('space', 'comment'):
            yield m.lastgroup, m.group(), source.count('\n', 0, at) + 1
        at = m.end()


def unescape(literal, where):
    out, i, body = [], 0, literal[1:-1]
    while i < len(body):
        c = body[i]
        if c == '\\':
            e = body[i + 1]
            if e not in ESCAPES:
                fail(where, f'escape \\{e} is not one of \\n \\t \\\\ \\" \\\'')
            out.append(ESCAPES[e])
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def parse(source, path):
    """[(name, text)] in the order of the file."""
    entries, stream = [], list(tokens(source, path))
    i = 0

    def expect(kind, value=None):
        nonlocal i
        if i >= len(stream):
            fail(path, f'the file ends inside an entry')
        k, v, line = stream[i]
        if k != kind or (value is not None and v != value):
            fail(f'{path}:{line}', f'expected {value or kind}, found {v!r}')
        i += 1
        return v, line

    while i < len(stream):
        expect('name', 'UPD_TEXT')
        expect('punct', '(')
        name, line = expect('name')
        expect('punct', ',')
        text = ''
        while i < len(stream) and stream[i][0] == 'string':
            text += unescape(stream[i][1], f'{path}:{stream[i][2]}')
            i += 1
        expect('punct', ')')
        if any(n == name for n, _ in entries):
            fail(f'{path}:{line}', f'{name} is defined twice')
        entries.append((name, text))
    return entries


def c_literal(data):
    """The bytes as a C string literal: printable ASCII as it is, every
    other byte as a three-digit octal escape (which never runs into the next
    character, as a hex escape would)."""
    out = []
    for b in data:
        if 0x20 <= b < 0x7F and b not in (0x22, 0x5C):
            out.append(chr(b))
        else:
            out.append(f'\\{b:03o}')
    return '"' + ''.join(out) + '"'


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    src, dst = sys.argv[1], sys.argv[2]
    with open(src, encoding='utf-8') as f:
        entries = parse(f.read(), src)
    lines = ['// Generated from res/texts.inc by cmake/texts_cp932.py: do not edit.',
             '#include "res/texts.h"', '', 'namespace texts {', '']
    for name, text in entries:
        try:
            data = text.encode('cp932')
        except UnicodeEncodeError as e:
            fail(src, f'{name}: {text[e.start:e.end]!r} has no code page 932 form')
        lines.append(f'const char {name}[] = {c_literal(data)};')
    lines += ['', '}  // namespace texts', '']
    with open(dst, 'w', encoding='ascii', newline='\n') as f:
        f.write('\n'.join(lines))


if __name__ == '__main__':
    main()
