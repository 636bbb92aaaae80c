// The hour under way of "connection-quality.csv": the measures the monitor
// posts are added to it, and its row is written when the hour ends (the
// main window's timer at its end, or a measure that comes in a later hour)
// and at exit. The user interface thread's alone.
#pragma once

#include <windows.h>

#include "core/probe_measure.h"

// The main window's timer at the end of the hour under way.
enum : UINT_PTR { kQualityHourTimer = 5 };

// A probe's measure, at this moment: the hour's row written first where a
// new hour began. The timer is set for the end of the hour.
void noteProbeMeasure(HWND window, const ProbeMeasure& measure);
// Writes the hour under way, if any probe came in it, and forgets it: its
// end, at exit, or at the session's end.
void writeQualityHour();
// The median round trip of the last probe the hosts answered, in ms; -1
// where it timed nothing.
int lastRoundTripMs();
