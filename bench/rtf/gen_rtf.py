#!/usr/bin/env python3
"""Writes a large RTF document for the reader's benchmarks, in the style word processors write: font, colour
and style tables, formatted runs, Latin with cp1252 escapes, Cyrillic in a cp1251 font, Chinese as \\uN with
fallbacks, Japanese as cp932 double-byte escapes, tables, bulleted lists and hyperlinks.

    python3 bench/rtf/gen_rtf.py OUT.rtf [MEGABYTES]      (default 10; the same bytes on every run)
"""
import random
import sys

LATIN = ('lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor incididunt ut labore et '
         'dolore magna aliqua quest dungeon guild raid potion sword shield caf\u00e9 na\u00efve r\u00e9sum\u00e9 '
         'fa\u00e7ade \u00fcber gro\u00df').split()
CYRILLIC = ('\u043f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440 \u0437\u0430\u043c\u0435\u0442\u043a\u0430 '
            '\u0438\u0433\u0440\u0430 \u043a\u0432\u0435\u0441\u0442 \u0433\u0438\u043b\u044c\u0434\u0438\u044f '
            '\u0437\u0435\u043b\u044c\u0435 \u043c\u0435\u0447 \u0449\u0438\u0442 \u0434\u0440\u0430\u043a\u043e\u043d').split()
CHINESE = [chr(c) for c in range(0x4E00, 0x4E00 + 2000, 7)]
JAPANESE = ('\u3053\u3093\u306b\u3061\u306f \u4e16\u754c \u30b2\u30fc\u30e0 \u30af\u30a8\u30b9\u30c8 '
            '\u6771\u4eac \u5192\u967a \u5263 \u76fe \u9f8d \u5b9d\u7269').split()

HEADER = (r'{\rtf1\ansi\ansicpg1252\deff0\deflang1033\uc1'
          r'{\fonttbl{\f0\froman\fcharset0\fprq2{\*\panose 02020603050405020304}Times New Roman;}'
          r'{\f1\fswiss\fcharset204\fprq2 Arial Cyr;}{\f2\fmodern\fcharset128\fprq1 MS Gothic;}'
          r'{\f3\fnil\fcharset134 SimSun;}{\f4\froman\fcharset2 Symbol;}{\f5\fmodern\fcharset0 Courier New;}}'
          '\r\n'
          r'{\colortbl;\red0\green0\blue0;\red192\green0\blue0;\red0\green96\blue192;\red255\green255\blue0;}'
          '\r\n'
          r'{\stylesheet{\ql \li0\ri0\widctlpar\f0\fs24 \snext0 Normal;}{\s1\ql\b\fs32 \sbasedon0 \snext0 heading 1;}}'
          '\r\n'
          r'{\info{\title Benchmark notes}{\author gen_rtf}}{\*\generator gen_rtf.py;}'
          '\r\n'
          r'\viewkind4\pard\plain\f0\fs24' '\r\n')


def escape_cp(text, codepage):
    out = []
    for ch in text:
        if ch in '\\{}':
            out.append('\\' + ch)
        elif ord(ch) < 0x80:
            out.append(ch)
        else:
            out.extend('\\\'%02x' % b for b in ch.encode(codepage))
    return ''.join(out)


def unicode_escape(text, codepage='cp1252'):
    out = []
    for ch in text:
        if ord(ch) < 0x80:
            out.append('\\' + ch if ch in '\\{}' else ch)
            continue
        try:
            fallback = ''.join('\\\'%02x' % b for b in ch.encode(codepage))
        except UnicodeEncodeError:
            fallback = '?'
        value = ord(ch) if ord(ch) < 0x8000 else ord(ch) - 0x10000
        out.append('\\u%d%s' % (value, fallback))
    return ''.join(out)


def words(rng, vocabulary, n, sep=' '):
    return sep.join(rng.choice(vocabulary) for _ in range(n))


def latin_paragraph(rng):
    parts = []
    for _ in range(rng.randint(3, 9)):
        text = escape_cp(words(rng, LATIN, rng.randint(3, 12)), 'cp1252') + ' '
        kind = rng.randrange(8)
        if kind == 0:
            parts.append(r'{\b %s}' % text)
        elif kind == 1:
            parts.append(r'{\i\cf2 %s}' % text)
        elif kind == 2:
            parts.append(r'{\ul\fs28 %s}' % text)
        elif kind == 3:
            parts.append(r'{\highlight4 %s}' % text)
        elif kind == 4:
            parts.append(r'\lquote %s\rquote  ' % text)
        else:
            parts.append(text)
    return r'\pard\plain\f0\fs24\sa120 ' + ''.join(parts) + r'\par' + '\r\n'


def cyrillic_paragraph(rng):
    text = escape_cp(words(rng, CYRILLIC, rng.randint(8, 30)), 'cp1251')
    return r'\pard\plain\sa120{\f1\fs24 %s}{\f1\b  %s}\par' % (text, escape_cp(rng.choice(CYRILLIC), 'cp1251')) + '\r\n'


def chinese_paragraph(rng):
    text = unicode_escape(''.join(rng.choice(CHINESE) for _ in range(rng.randint(20, 60))), 'gbk')
    return r'\pard\plain\sa120{\f3\uc2 %s}\par' % text + '\r\n'


def japanese_paragraph(rng):
    text = escape_cp(words(rng, JAPANESE, rng.randint(6, 20), '\u3001'), 'cp932')
    return r'\pard\plain\qj\sa120{\f2\fs21 %s}\par' % text + '\r\n'


def table(rng):
    rows = []
    for _ in range(rng.randint(2, 6)):
        cells = ''.join(r'\pard\intbl %s\cell ' % escape_cp(words(rng, LATIN, rng.randint(1, 4)), 'cp1252')
                        for _ in range(3))
        rows.append(r'\trowd\trgaph108\cellx3000\cellx6000\cellx9000 ' + cells + r'\row' + '\r\n')
    return ''.join(rows) + r'\pard' + '\r\n'


def bullet_list(rng):
    items = []
    for _ in range(rng.randint(2, 6)):
        items.append(r'{\listtext\pard\plain\f4 \'b7\tab}\ls1\ilvl0\fi-360\li720 %s\par' % escape_cp(
            words(rng, LATIN, rng.randint(3, 10)), 'cp1252') + '\r\n')
    return r'\pard' + ''.join(items) + r'\pard' + '\r\n'


def link_paragraph(rng):
    url = 'https://example.org/%s/%d' % (rng.choice(LATIN[:20]), rng.randint(1, 99999))
    return (r'\pard See {\field{\*\fldinst HYPERLINK "%s"}{\fldrslt {\ul\cf3 %s}}} for more.\par' %
            (url, escape_cp(words(rng, LATIN, 3), 'cp1252')) + '\r\n')


def generate(megabytes):
    rng = random.Random(20240607)
    makers = [latin_paragraph] * 5 + [cyrillic_paragraph] * 2 + [chinese_paragraph, japanese_paragraph, table,
                                                                 bullet_list, link_paragraph]
    target = int(megabytes * 1024 * 1024)
    chunks = [HEADER]
    size = len(HEADER)
    while size < target:
        chunk = rng.choice(makers)(rng)
        chunks.append(chunk)
        size += len(chunk)
    chunks.append('}\r\n')
    return ''.join(chunks).encode('ascii')


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    megabytes = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    with open(sys.argv[1], 'wb') as out:
        out.write(generate(megabytes))


if __name__ == '__main__':
    main()
