// "config.ini" beside the executable: read once at start-up, written through
// at every change.
#pragma once

#include "core/app_state.h"

// Fills the buffer with the executable's directory, final separator
// included. False, with the buffer empty, when the executable's name cannot
// be had, does not fit the buffer or holds no folder.
bool getModuleDirectory(wchar_t (&directory)[kTextBufferSize]);

// Sets configPath; leaves it empty when there is no directory or the path
// would not fit, and then no setting is read or written for the run.
void buildConfigPath();

// Reads the settings into g_app. A stored "use_dialog_message" of exactly
// "yes" calls openStatusWindow (passed in so that settings need know nothing
// of the tray).
void loadSettings(void (*openStatusWindow)());

// Writes one key, then "ping_time_interval" from the interval in force.
void writeSetting(const char* section, const char* key, const char* value);
void writePingInterval(const char* section);
// Writes a window's place, its top left corner, under two keys of [config].
void writePositionSettings(const char* xKey, const char* yKey, int x, int y);

// The user's note for the report, "report_note" (see encodeReportNote):
// read into g_app at start-up with the other settings, written when it changes.
void writeReportNote(const wchar_t* note);
