#!/usr/bin/env python3
"""Writes a note holding one table of many rows, the way a word processor writes one: row words with cell
edges and borders, cell text in a few fonts and styles, a merged cell now and then.

    python3 bench/rtf/gen_table_note.py OUT.rtf [ROWS]      (default 20000; the same bytes on every run)

Open and save it in the notepad (both within 1 s):
    xvfb-run -a build/bin/rtf_open_note_bench OUT.rtf
    time build/bin/mossport-rtf resave OUT.rtf /tmp/resaved.rtf
"""
import random
import sys

ITEMS = 'sword shield potion helm ring amulet bow staff dagger cloak boots gloves scroll gem key'.split()
BOSSES = 'Dragon Lich Golem Hydra Wraith Troll Kraken Basilisk Chimera Wyvern'.split()
BORDER = r'\brdrs\brdrw10'
CELL = ''.join(side + BORDER for side in (r'\clbrdrt', r'\clbrdrl', r'\clbrdrb', r'\clbrdrr'))


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    rng = random.Random(20000)
    parts = [r'{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Tahoma;}{\f1\fmodern Courier New;}}'
             r'{\colortbl;\red192\green0\blue0;\red255\green255\blue192;}' '\r\n'
             r'\pard\f0\fs17 Drop table\par' '\r\n']
    for r in range(rows):
        merged = r % 50 == 1
        parts.append(r'\trowd\trgaph108\trleft0' + (r'\trhdr' if r == 0 else ''))
        if merged:
            parts.append(CELL + r'\cellx1800' + CELL + r'\clcbpat2\cellx6300' + CELL + r'\cellx7200')
        else:
            parts.append(CELL + r'\cellx1800' + CELL + r'\cellx4200' + CELL + r'\cellx6300' + CELL + r'\cellx7200')
        parts.append('\r\n')
        boss = rng.choice(BOSSES)
        item = rng.choice(ITEMS)
        cells = [r'{\b %s %d}' % (boss, r), r'{\i %s}' % item]
        if not merged:
            cells.append(r'{\cf1 %d gold}' % rng.randint(1, 9999))
        cells.append(r'{\f1 %d%%}' % rng.randint(1, 100))
        for text in cells:
            parts.append(r'\pard\intbl\f0\fs17 ' + text + r'\cell' + '\r\n')
        parts.append(r'\row' + '\r\n')
    parts.append(r'\pard\f0\fs17 End of the table\par}' '\r\n')
    with open(out, 'w', encoding='ascii', newline='') as f:
        f.write(''.join(parts))


if __name__ == '__main__':
    main()
