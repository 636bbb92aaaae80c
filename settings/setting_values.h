// Turning the texts of "config.ini" into settings and back.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

enum : std::size_t { kSettingValueSize = 20 };   // 19 characters are seen
enum : uint32_t { kMinPingIntervalSeconds = 1, kMaxPingIntervalSeconds = 86400,
                  kDefaultPingIntervalMs = 60000 };

// atoi's rules (leading blanks, one sign, digits up to the first other
// character, 0 when no digit starts the value), saturating at the limits of
// a signed 32-bit number instead of overflowing.
int32_t settingToInt(const char* text);

// The interval in force for a stored "ping_time_interval", in milliseconds:
// the value in seconds, kept within 1 s .. 1 day so that the monitor neither
// spins nor sleeps for weeks.
uint32_t pingIntervalMsFromSetting(const char* text);

// "yes" exactly, letter case included.
bool isSettingYes(const char* text);

// A number as "%d" writes it.
void formatSettingInt(char (&text)[kSettingValueSize], int32_t value);

// Cuts a path right after its last backslash, or failing that its last
// forward slash. A path with neither names no folder: it is left as it is
// and the result is false.
bool keepDirectoryPart(wchar_t* path);

// The user's note for the report (a name, a customer and ticket numbers):
// one line of up to 160 characters, in any language. config.ini keeps it
// in ASCII: a backslash as "\\", every character past ASCII as "\uXXXX"
// (UTF-16), so that no code page can spoil it; line breaks and other
// control characters are dropped.
enum : std::size_t { kReportNoteSize = 161, kReportNoteSettingSize = 6 * (kReportNoteSize - 1) + 1 };
void encodeReportNote(char (&value)[kReportNoteSettingSize], const wchar_t* note);
void decodeReportNote(wchar_t (&note)[kReportNoteSize], const char* value);

// A path as the system names a file it has open ("\\?\C:\...",
// "\\?\UNC\server\share\...") in the usual form ("C:\...", "\\server\share\...").
void removeLongPathPrefix(wchar_t* path);
