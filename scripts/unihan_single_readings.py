#!/usr/bin/env python3
"""Writes the characters that the Unihan database reads in one way only.

A character qualifies when at least two of the Mandarin reading fields of
Unihan_Readings.txt (kMandarin, kHanyuPinyin, kXHC1983, kHanyuPinlu,
kTGHZ2013) give it a reading and all of their readings, written without tone
marks and with u-umlaut as v, are the same syllable. The spelling test holds
the pinyin table against this list: it is a second source, independent of the
"first kMandarin reading" the table is generated from.

Usage: scripts/unihan_single_readings.py UNIHAN_READINGS_TXT_BZ2 OUT
Output: one "<code point in hex><TAB><reading>" line per character.
"""

import bz2
import collections
import re
import sys
import unicodedata

FIELDS = ("kMandarin", "kHanyuPinyin", "kXHC1983", "kHanyuPinlu", "kTGHZ2013")


def plain(reading):
    # u-umlaut comes with and without a tone mark (u, diaeresis, tone).
    decomposed = unicodedata.normalize("NFD", reading.lower()).replace("u\u0308", "v")
    return "".join(c for c in decomposed if not unicodedata.combining(c))


def readings(field, value):
    if field == "kMandarin":
        return value.split()
    if field == "kHanyuPinlu":  # reading(frequency) ...
        return [re.sub(r"\(.*\)", "", x) for x in value.split()]
    # location:reading,reading ...
    return [r for part in value.split() for r in part.split(":", 1)[1].split(",")]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    found = collections.defaultdict(dict)
    with bz2.open(sys.argv[1], "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            cp, field, value = line.rstrip("\n").split("\t", 2)
            if field in FIELDS:
                found[int(cp[2:], 16)][field] = {plain(r) for r in readings(field, value)}
    with open(sys.argv[2], "w", encoding="ascii") as out:
        for cp in sorted(found):
            fields = found[cp]
            merged = set().union(*fields.values())
            if len(fields) >= 2 and len(merged) == 1 and re.fullmatch("[a-z]+", next(iter(merged))):
                out.write("%X\t%s\n" % (cp, merged.pop()))


if __name__ == "__main__":
    main()
