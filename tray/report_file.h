// The month's report saved where the user says, then opened in the browser.
#pragma once

#include <windows.h>

#include "history/history_report.h"

// The system's Save As dialog, in the user's Documents folder, suggesting
// the report's name; the page written there whole (into a file beside it,
// which then takes the name), or where the folder cannot be written, a
// message and no file. owner: the History window. False where nothing was
// saved (cancelled or failed).
bool saveReport(HWND owner, const HistoryFacts& facts, const wchar_t* note);

// The page written to that path, whole or not at all.
bool writeReportFile(const wchar_t* path, const HistoryFacts& facts, const wchar_t* note);
