#!/usr/bin/env python3
"""Peer of the data-file benchmarks: Python's csv module reading the three
data files of a folder and writing them again, each written file flushed to
disk with fsync, as a save does.

    peer_csv.py DATA_DIR OUT_DIR

Prints "read SECONDS", "write SECONDS" and "bytes N" on separate lines.
"""
import csv
import os
import sys
import time

FILES = ("VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt")


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    size = sum(os.path.getsize(os.path.join(src, name)) for name in FILES)

    start = time.perf_counter()
    tables = []
    for name in FILES:
        with open(os.path.join(src, name), newline="", encoding="utf-8") as f:
            tables.append(list(csv.reader(f, delimiter="\t", quotechar='"')))
    read = time.perf_counter() - start

    start = time.perf_counter()
    for name, rows in zip(FILES, tables):
        path = os.path.join(out, name)
        with open(path, "w", newline="", encoding="utf-8") as f:
            csv.writer(f, delimiter="\t", quotechar='"', lineterminator="\r\n").writerows(rows)
            f.flush()
            os.fsync(f.fileno())
    write = time.perf_counter() - start

    print("read %.6f" % read)
    print("write %.6f" % write)
    print("bytes %d" % size)


if __name__ == "__main__":
    main()
