#include "tray/connection_log.h"

#include <shellapi.h>

#include "core/text.h"
#include "settings/setting_values.h"
#include "tray/history_text.h"
#include "tray/local_time.h"

namespace {

const wchar_t kLogFileName[] = L"connection-log.csv";
const wchar_t kOldLogFileName[] = L"connection-log.1.csv";

// A file beside config.ini; false where there is no settings folder.
bool pathBesideConfig(wchar_t (&path)[kTextBufferSize], const wchar_t* name)
{
    if (g_app.configPath[0] == L'\0' || !copyText(path, g_app.configPath) || !keepDirectoryPart(path))
        return false;
    return appendText(path, name);
}

bool write(HANDLE file, const char* text)
{
    const DWORD size = lstrlenA(text);
    DWORD written = 0;
    return WriteFile(file, text, size, &written, nullptr) && written == size;
}

bool endsWithLineBreak(HANDLE file, DWORD size)
{
    OVERLAPPED last = {};
    last.Offset = size - 1;
    char byte = 0;
    DWORD read = 0;
    return ReadFile(file, &byte, 1, &read, &last) && read == 1 && byte == '\n';
}

// Readers (a spreadsheet showing the log) may keep it open meanwhile.
HANDLE openForAppending(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Sets a full log aside as connection-log.1.csv (replacing an older one) and
// starts a new one; an invalid handle when that cannot be done.
HANDLE startNewLog(HANDLE full, const wchar_t* path)
{
    CloseHandle(full);
    wchar_t oldPath[kTextBufferSize];
    if (!pathBesideConfig(oldPath, kOldLogFileName) || !MoveFileExW(path, oldPath, MOVEFILE_REPLACE_EXISTING))
        return INVALID_HANDLE_VALUE;
    return openForAppending(path);
}

// Appends the row (may be empty) to the log, with the header first in a new
// file. Nothing already in the file is ever changed.
void appendToLog(const char* row)
{
    wchar_t path[kTextBufferSize];
    if (!connectionLogPath(path))
        return;
    HANDLE file = openForAppending(path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD size = GetFileSize(file, nullptr);
    // The row, and the line break that a foreign last line may want first.
    if (size != INVALID_FILE_SIZE && logNeedsRotation(size, lstrlenA(row) + 2)) {
        file = startNewLog(file, path);
        if (file == INVALID_HANDLE_VALUE)
            return;
        size = 0;
    }
    if (size != INVALID_FILE_SIZE) {
        SetFilePointer(file, 0, nullptr, FILE_END);
        // A foreign last line without its line break keeps its text to itself.
        const bool startsCleanly = size == 0 ? write(file, kLogHeader) : endsWithLineBreak(file, size) || write(file, "\r\n");
        if (startsCleanly)
            write(file, row);
    }
    CloseHandle(file);
}

} // namespace

bool connectionLogPath(wchar_t (&path)[kTextBufferSize])
{
    return pathBesideConfig(path, kLogFileName);
}

void logShownState(LinkState state, long long secondsInPrevious, ULONGLONG now)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(now, time, local);
    char row[kLogRowSize];
    formatLogRow(row, time, state, secondsInPrevious);
    appendToLog(row);
}

void openConnectionLog()
{
    wchar_t path[kTextBufferSize];
    if (!connectionLogPath(path))
        return;
    appendToLog("");
    ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
