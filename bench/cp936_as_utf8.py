#!/usr/bin/env python3
"""How often code page 936 file names happen to be well-formed UTF-8: the
figures behind isUtf8Address (links/address.h).

Each name is put into an address, "http://example.invalid/" + name + ".zip",
encoded in code page 936, and read as strict UTF-8 (RFC 3629: no overlong
forms, no surrogates). Counted: names whose address is well-formed UTF-8 with
any multi-byte sequence, and with a sequence of three or four bytes (the
rule). Common names are drawn from the 3755 hanzi of GB2312 level 1; rarer
ones from all 6763 GB2312 hanzi and from all of code page 936. Takes about
two minutes.

    python3 bench/cp936_as_utf8.py
"""
import random
import sys


def gb2312_hanzi(first_row, last_row):
    out = []
    for lead in range(first_row, last_row + 1):
        for trail in range(0xA1, 0xFF):
            try:
                out.append(bytes([lead, trail]).decode("gb2312"))
            except UnicodeDecodeError:
                pass
    return out


def kinds(name):
    raw = ("http://example.invalid/" + name + ".zip").encode("cp936")
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        return False, False
    any_multi = any(ord(c) >= 0x80 for c in text)
    long_seq = any(ord(c) >= 0x800 for c in text)
    return any_multi, long_seq


def count(label, names):
    total = multi = longer = 0
    examples = []
    for name in names:
        total += 1
        a, b = kinds(name)
        multi += a
        longer += b
        if b and len(examples) < 3:
            examples.append(name)
    print("%-44s %9d names  %9d (%.4f%%) UTF-8 with a multi-byte sequence  "
          "%8d (%.5f%%) with a 3-/4-byte one %s"
          % (label, total, multi, 100.0 * multi / total, longer, 100.0 * longer / total,
             " ".join(examples)))


def cp936_characters():
    out = []
    for lead in range(0x81, 0xFF):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFF)):
            try:
                c = bytes([lead, trail]).decode("cp936")
            except UnicodeDecodeError:
                continue
            if len(c) == 1 and ord(c) >= 0x80:
                out.append(c)
    return out


def random_names(rng, alphabet, n, count=500000):
    return ("".join(rng.choice(alphabet) for _ in range(n)) for _ in range(count))


def main():
    level1 = gb2312_hanzi(0xB0, 0xD7)      # the 3755 most common hanzi
    every = gb2312_hanzi(0xB0, 0xF7)       # all 6763 GB2312 hanzi
    kana = [chr(c) for c in range(0x3041, 0x3094)] + [chr(c) for c in range(0x30A1, 0x30F7)]
    cp936 = cp936_characters()
    rng = random.Random(936)
    count("one hanzi (all GB2312)", every)
    count("two level-1 hanzi (every pair)", (a + b for a in level1 for b in level1))
    for n in (3, 4, 6):
        count("%d level-1 hanzi (random)" % n, random_names(rng, level1, n))
    count("hanzi, digit, hanzi (random)",
          (rng.choice(level1) + str(rng.randrange(10)) + rng.choice(level1) for _ in range(500000)))
    count("4 kana or level-1 hanzi (random)", random_names(rng, kana + level1[:500], 4))
    for n in (2, 3, 4):
        count("%d GB2312 hanzi (random)" % n, random_names(rng, every, n))
    for n in (2, 3, 4):
        count("%d code page 936 characters (random)" % n, random_names(rng, cp936, n))


if __name__ == "__main__":
    sys.exit(main())
