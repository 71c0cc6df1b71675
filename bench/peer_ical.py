#!/usr/bin/env python3
"""Peer of the calendar benchmark: Python's icalendar module reading a
calendar file and writing the same calendar again (every VEVENT built anew
from the values read, then written as text).

Prints "parse SECONDS", "write SECONDS" and "events N" on separate lines.
"""
import argparse
import time

import icalendar


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("ics", help="the calendar file to read")
    parser.add_argument("out", help="the file the calendar is written to")
    args = parser.parse_args()
    with open(args.ics, "rb") as f:
        data = f.read()

    start = time.perf_counter()
    calendar = icalendar.Calendar.from_ical(data)
    entries = list(calendar.walk("VEVENT"))
    parsed = time.perf_counter() - start

    start = time.perf_counter()
    out = icalendar.Calendar()
    for name in ("VERSION", "PRODID", "CALSCALE", "METHOD"):
        out.add(name, calendar.get(name))
    for tz in calendar.walk("VTIMEZONE"):
        out.add_component(tz)
    for e in entries:
        event = icalendar.Event()
        for name in ("UID", "DTSTAMP", "SEQUENCE", "DTSTART", "RRULE", "SUMMARY", "DESCRIPTION", "LOCATION",
                     "URL", "CATEGORIES", "CONTACT"):
            if name in e:
                event.add(name, e.decoded(name) if name in ("DTSTAMP", "DTSTART") else e[name])
        out.add_component(event)
    with open(args.out, "wb") as f:
        f.write(out.to_ical())
    written = time.perf_counter() - start
    print("parse %.6f" % parsed)
    print("write %.6f" % written)
    print("events %d" % len(entries))


if __name__ == "__main__":
    main()
