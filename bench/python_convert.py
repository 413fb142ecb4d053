#!/usr/bin/env python3
"""A plain Python converter, the yardstick of bench/run.sh: what someone
would write in an afternoon with the csv module, struct and sorted().
It reads only plain numbers (anything else counts as 0) and is not a
reference for the file's bytes.

    python3 bench/python_convert.py LIST OUT.dbh
"""
import csv
import struct
import sys


def number(text, kind):
    try:
        return kind(text)
    except ValueError:
        return 0


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, newline="", encoding="latin-1") as f:
        rows = list(csv.reader(f))[1:]
    records = []
    for row in rows:
        row = (row + [""] * 7)[:7]
        x = int(number(row[1], float) * 10000.0)
        y = int(number(row[2], float) * 10000.0)
        if not (-1800000 <= x <= 1800000 and -900000 <= y <= 900000):
            continue
        speed = number(row[4], int) & 0xFF
        direction = number(row[6], int)
        code = ((direction - 180) if direction > 180 else (direction + 180)) // 2
        records.append((number(row[2], float), struct.pack(
            "<iiBBBB", y, x, number(row[3], int) & 0xFF, speed if speed >= 10 else 0,
            number(row[5], int) & 0xFF, code & 0xFF)))
    records = [packed for _, packed in sorted(records, key=lambda r: r[0])]
    random_block = bytes(16)
    checksum = 0x4A
    for packed in records:
        for byte in packed:
            checksum ^= byte
    body = 16 + 12 * len(records) + 12
    header = b"rudb" + struct.pack("<BBH", 14, 11, 2014) + b"r1r" + struct.pack("<IB", body, checksum)
    fill = (64 - (body + 16) % 64) % 64
    with open(target, "wb") as out:
        out.write(header + random_block + b"".join(records) + b"\xff" * (12 + fill))


if __name__ == "__main__":
    main()
