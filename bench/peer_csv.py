#!/usr/bin/env python3
"""Peer of the data-file benchmarks: Python's csv module reading the three
data files of a folder and writing them again as UTF-8, each written file
flushed to disk with fsync, as a save does. Every field of every line is
written anew.

Prints "read SECONDS", "write SECONDS", "bytes N" and the rows read per file
("rows_admin", "rows_events", "rows_dates") on separate lines.
"""
import argparse
import csv
import os
import time

FILES = ("VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("data_dir", help="the folder holding the three data files")
    parser.add_argument("out_dir", help="the folder the files are written into (made if missing)")
    parser.add_argument("--encoding", default="utf-8",
                        help="the encoding the files are read in (default utf-8; cp1252 for Windows-1252)")
    args = parser.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    size = sum(os.path.getsize(os.path.join(args.data_dir, name)) for name in FILES)

    start = time.perf_counter()
    tables = []
    for name in FILES:
        with open(os.path.join(args.data_dir, name), newline="", encoding=args.encoding) as f:
            tables.append(list(csv.reader(f, delimiter="\t", quotechar='"')))
    read = time.perf_counter() - start

    start = time.perf_counter()
    for name, rows in zip(FILES, tables):
        path = os.path.join(args.out_dir, name)
        with open(path, "w", newline="", encoding="utf-8") as f:
            csv.writer(f, delimiter="\t", quotechar='"', lineterminator="\r\n").writerows(rows)
            f.flush()
            os.fsync(f.fileno())
    write = time.perf_counter() - start

    print("read %.6f" % read)
    print("write %.6f" % write)
    print("bytes %d" % size)
    for key, rows in zip(("rows_admin", "rows_events", "rows_dates"), tables):
        print("%s %d" % (key, len(rows)))


if __name__ == "__main__":
    main()
