"""Reads a calendar file with an independent iCalendar parser and prints
its entries as JSON, one object per VEVENT, for the tests to compare."""
import json
import sys

import icalendar

with open(sys.argv[1], 'rb') as f:
    calendar = icalendar.Calendar.from_ical(f.read())
out = []
for c in calendar.walk('VEVENT'):
    start = c.decoded('DTSTART')
    entry = {
        'uid': str(c['UID']),
        'sequence': int(c.get('SEQUENCE', -1)),
        'start': start.isoformat(),
        'tzid': c['DTSTART'].params.get('TZID', ''),
        'utcoffset': str(start.utcoffset()) if hasattr(start, 'utcoffset') and start.utcoffset() is not None else '',
    }
    for name in ('SUMMARY', 'DESCRIPTION', 'LOCATION', 'URL', 'CONTACT'):
        if name in c:
            entry[name.lower()] = str(c[name])
    if 'CATEGORIES' in c:
        entry['categories'] = [str(x) for x in c['CATEGORIES'].cats]
    if 'RRULE' in c:
        until = c['RRULE'].get('UNTIL')
        entry['rrule'] = c['RRULE']['FREQ'][0] + ' until ' + (until[0].isoformat() if until else '')
    out.append(entry)
print(json.dumps(out, ensure_ascii=False))
