#include "history/connection_log.h"

#include <cstring>

#include <shellapi.h>

#include "core/system_library.h"
#include "core/text.h"
#include "history/history_text.h"
#include "history/kept_rows.h"
#include "history/local_time.h"
#include "history/quality.h"
#include "settings/setting_values.h"

namespace {

const wchar_t kLastKnownFileName[] = L"connection-log.running";

// A record beside the log kept as the log is: rows appended a time at a
// time, set aside at 1 MiB as NAME.1.csv, rows that cannot be written yet
// kept in memory in order.
struct RecordFile {
    const wchar_t* name;
    const wchar_t* oldName;
    const char* header;
    KeptRows& kept;
    bool mayHaveThreeColumns;  // the log begun before its cause column
};

// Rows not written yet, oldest first; the user interface thread's alone.
KeptRows g_kept;
KeptRows g_keptQuality;

const RecordFile kLog = {L"connection-log.csv", L"connection-log.1.csv", kLogHeader, g_kept, true};
const RecordFile kQuality = {L"connection-quality.csv", L"connection-quality.1.csv", kQualityHeader, g_keptQuality,
                             false};

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

// A log begun before the cause column: it keeps three columns until it is
// set aside, so that no file mixes the two.
bool hasThreeColumns(HANDLE file, DWORD size)
{
    char start[64];
    OVERLAPPED first = {};
    DWORD read = 0;
    const DWORD wanted = size < sizeof start ? size : sizeof start;
    return ReadFile(file, start, wanted, &read, &first) && startsWithThreeColumnHeader(start, read);
}

// Readers (a spreadsheet showing the log) may keep it open meanwhile.
HANDLE openForAppending(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Sets a full record aside as its .1.csv (replacing an older one) and
// starts a new one. When the old file cannot be replaced (another program
// holds either file), the record goes on growing and the next row tries
// again: no row is lost to rotation. An invalid handle only when the record
// cannot be opened again at all.
HANDLE startNewFile(const RecordFile& record, HANDLE full, const wchar_t* path)
{
    CloseHandle(full);
    wchar_t oldPath[kTextBufferSize];
    if (pathBesideConfig(oldPath, record.oldName))
        MoveFileExW(path, oldPath, MOVEFILE_REPLACE_EXISTING);
    return openForAppending(path);
}

// Appends one line, with the header first in a new file and a line break
// after a foreign last line that lacks one; a full file is set aside first.
bool appendLine(const RecordFile& record, HANDLE& file, const wchar_t* path, const char* line)
{
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    // The line, and the line break that a foreign last line may want first.
    if (logNeedsRotation(size, lstrlenA(line) + 2)) {
        file = startNewFile(record, file, path);
        size = GetFileSize(file, nullptr);
        if (file == INVALID_HANDLE_VALUE || size == INVALID_FILE_SIZE)
            return false;
    }
    char row[kLogRowSize];
    copyText(row, line);
    if (record.mayHaveThreeColumns && size > 0 && hasThreeColumns(file, size))
        dropCauseColumn(row);
    SetFilePointer(file, 0, nullptr, FILE_END);
    const bool startsCleanly =
        size == 0 ? write(file, record.header) : endsWithLineBreak(file, size) || write(file, "\r\n");
    return startsCleanly && write(file, row);
}

// Writes the rows kept, oldest first, after a line that counts those lost;
// what cannot be written stays kept. Starts a new file with its header even
// when there is nothing to write. Nothing already in the file is ever changed.
void writeKeptRows(const RecordFile& record)
{
    wchar_t path[kTextBufferSize];
    if (!pathBesideConfig(path, record.name))
        return;
    HANDLE file = openForAppending(path);
    if (file == INVALID_HANDLE_VALUE)
        return;
    KeptRows& kept = record.kept;
    bool written = appendLine(record, file, path, "");
    if (written && kept.lost > 0) {
        char line[kLogRowSize];
        formatLostRowsLine(line, kept.lost);
        written = appendLine(record, file, path, line);
        if (written)
            kept.lost = 0;
    }
    while (written && oldestKeptRow(kept) != nullptr) {
        written = appendLine(record, file, path, oldestKeptRow(kept));
        if (written)
            dropOldestKeptRow(kept);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

void writeKeptRows()
{
    writeKeptRows(kLog);
}

} // namespace

bool connectionLogPath(wchar_t (&path)[kTextBufferSize])
{
    return pathBesideConfig(path, kLog.name);
}

void logQualityRow(const char* row)
{
    keepRow(g_keptQuality, row);
    writeKeptRows(kQuality);
}

void logShownState(LinkState state, BreakCause cause, long long secondsInPrevious, ULONGLONG now)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(now, time, local);
    char row[kLogRowSize];
    formatLogRow(row, time, state, secondsInPrevious, cause);
    keepRow(g_kept, row);
    writeKeptRows();
}

void logNotWatching(NotWatching reason, long long secondsInPrevious, ULONGLONG now)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(now, time, local);
    char row[kLogRowSize];
    formatNotWatchingRow(row, time, secondsInPrevious, reason);
    keepRow(g_kept, row);
    writeKeptRows();
    wchar_t path[kTextBufferSize];
    if (pathBesideConfig(path, kLastKnownFileName))
        DeleteFileW(path);
}

void noteRunning(long long secondsInState, ULONGLONG now)
{
    wchar_t path[kTextBufferSize];
    if (!pathBesideConfig(path, kLastKnownFileName))
        return;
    char text[kLastKnownSize];
    formatLastKnown(text, now, secondsInState);
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    write(file, text);
    CloseHandle(file);
}

namespace {

// Whether the log (either file) already holds a Not watching row for that
// moment: a last-known file that can be read but not deleted (held by
// another program, its folder's rights) would bring the same moment back
// at every start.
bool logHoldsNotWatchingAt(ULONGLONG moment)
{
    LocalTime time;
    SYSTEMTIME local;
    localTimeOf(moment, time, local);
    char row[kLogRowSize];
    formatNotWatchingRow(row, time, 0, NotWatching::Unknown);
    const char* const cut = std::strstr(row, "Not watching,");
    const size_t length = cut != nullptr ? static_cast<size_t>(cut - row) + 13 : 0;
    DWORD size = 0;
    char* text = readWholeLog(size);
    bool found = false;
    for (DWORD at = 0; text != nullptr && length > 0 && at + length <= size && !found; ++at)
        found = std::memcmp(text + at, row, length) == 0;
    if (text != nullptr)
        HeapFree(GetProcessHeap(), 0, text);
    return found;
}

} // namespace

bool logRunEndedUnseen(ULONGLONG& endedAt)
{
    wchar_t path[kTextBufferSize];
    if (!pathBesideConfig(path, kLastKnownFileName))
        return false;
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[kLastKnownSize];
    DWORD read = 0;
    const bool readWhole = ReadFile(file, text, sizeof text, &read, nullptr) != 0;
    CloseHandle(file);
    uint64_t moment = 0;
    long long seconds = 0;
    if (!readWhole || !parseLastKnown(text, read, moment, seconds) || logHoldsNotWatchingAt(moment)) {
        DeleteFileW(path);
        return false;
    }
    logNotWatching(NotWatching::Unknown, seconds, moment);
    endedAt = moment;
    return true;
}

bool logHasKeptRows()
{
    return g_kept.count > 0 || g_kept.lost > 0 || g_keptQuality.count > 0 || g_keptQuality.lost > 0;
}

void retryKeptRows()
{
    if (g_kept.count > 0 || g_kept.lost > 0)
        writeKeptRows(kLog);
    if (g_keptQuality.count > 0 || g_keptQuality.lost > 0)
        writeKeptRows(kQuality);
}

bool writtenLogPath(wchar_t (&path)[kTextBufferSize])
{
    if (!connectionLogPath(path))
        return false;
    // Came with Vista: looked up, so that XP still starts (and opens the path as built).
    static DWORD(WINAPI * finalPath)(HANDLE, LPWSTR, DWORD, DWORD);
    static bool looked = false;
    if (!looked)
        findSystemFunction(finalPath, L"kernel32.dll", "GetFinalPathNameByHandleW");
    looked = true;
    if (finalPath == nullptr)
        return true;
    const HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    wchar_t named[kTextBufferSize];
    const DWORD length = finalPath(file, named, kTextBufferSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length > 0 && length < kTextBufferSize) {
        removeLongPathPrefix(named);
        copyText(path, named);
    }
    return true;
}

void openConnectionLog()
{
    writeKeptRows();
    wchar_t path[kTextBufferSize];
    if (writtenLogPath(path))
        ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

// Appends a whole file (at most kMaxLogBytes, as written) to the text.
void appendFileText(const wchar_t* path, char* text, DWORD room, DWORD& length)
{
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD read = 0;
    if (ReadFile(file, text + length, room - length, &read, nullptr))
        length += read;
    CloseHandle(file);
}

} // namespace

namespace {

// A record's set-aside file and then the record, read as one text.
char* readWholeRecord(const RecordFile& record, DWORD& length)
{
    length = 0;
    writeKeptRows(record);
    wchar_t path[kTextBufferSize], old[kTextBufferSize];
    if (!pathBesideConfig(path, record.name) || !pathBesideConfig(old, record.oldName))
        return nullptr;
    // Either file may have grown past its limit by another program's hand: the rest is left out.
    const DWORD room = 2 * kMaxLogBytes;
    char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, room));
    if (text == nullptr)
        return nullptr;
    appendFileText(old, text, kMaxLogBytes, length);
    if (length > 0 && text[length - 1] != '\n')
        text[length++] = '\n';  // its last line cut short stays a line of its own
    appendFileText(path, text, room, length);
    return text;
}

} // namespace

char* readWholeLog(DWORD& length)
{
    return readWholeRecord(kLog, length);
}

char* readWholeQualityRecord(DWORD& length)
{
    return readWholeRecord(kQuality, length);
}
