// The measured runs of the program, each in a process of its own started by
// the driver (bench_all.cpp). They print "key value" lines.
#pragma once

#include <QString>

// The name an edited event is given in a session.
inline constexpr const char *kEditedName = "Bench edit";

// The data layer alone: reads the data files of `dir`, writes them into
// `out`. Prints read, write (seconds), same (1 when the written files equal
// the files read), rows_events, rows_dates.
int childIo(const QString &dir, const QString &out);

// A session in the main window, in the current folder (its vantel.ini names
// the data folder): start until the list is filled and the first event
// selected; a second of the window left to itself; `steps` Downs in the event
// list; the name of the event reached typed anew on the detail page; Save;
// Export when `exportToo`. With `steps` 0 the start alone (for profiling).
// Prints ready, hwm_start_kb, rows, stall_ms, step, step_max, row, edited_id,
// save, saved, hwm_save_kb, export, exported, boxes, box1.., folder, hwm_end_kb.
int childSession(int argc, char **argv, int steps, bool exportToo);
