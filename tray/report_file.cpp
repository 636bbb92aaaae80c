#include "tray/report_file.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/app_state.h"
#include "core/text.h"

namespace {

const wchar_t kPartEnding[] = L".part";

// The page as it is made, in blocks of 16 KiB.
struct FileWriter {
    HANDLE file;
    bool failed;
    DWORD used;
    char block[16384];
};

bool flush(FileWriter& out)
{
    DWORD written = 0;
    if (!out.failed && out.used > 0 &&
        (!WriteFile(out.file, out.block, out.used, &written, nullptr) || written != out.used))
        out.failed = true;
    out.used = 0;
    return !out.failed;
}

void writeToFile(const char* text, std::size_t length, void* context)
{
    FileWriter& out = *static_cast<FileWriter*>(context);
    while (length > 0 && !out.failed) {
        if (out.used == sizeof out.block)
            flush(out);
        const DWORD room = sizeof out.block - out.used;
        const DWORD part = length < room ? static_cast<DWORD>(length) : room;
        CopyMemory(out.block + out.used, text, part);
        out.used += part;
        text += part;
        length -= part;
    }
}

} // namespace

// Written whole into "NAME.part" beside it, which then takes the name; any
// failure leaves neither behind.
bool writeReportFile(const wchar_t* path, const HistoryFacts& facts, const wchar_t* note)
{
    wchar_t part[MAX_PATH + 8];
    if (!copyText(part, path) || !appendText(part, kPartEnding))
        return false;
    static FileWriter out;  // 16 KiB: the user interface thread's alone
    out.file = CreateFileW(part, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out.file == INVALID_HANDLE_VALUE)
        return false;
    out.failed = false;
    out.used = 0;
    writeReport({writeToFile, &out}, facts, note);
    const bool written = flush(out);
    const bool closed = CloseHandle(out.file) != 0;
    if (written && closed && MoveFileExW(part, path, MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(part);
    return false;
}


bool saveReport(HWND owner, const HistoryFacts& facts, const wchar_t* note)
{
    char name[64];
    formatReportName(name, facts.days[0].date, facts.days[facts.dayCount - 1].date);
    wchar_t path[MAX_PATH] = L"", documents[MAX_PATH] = L"";
    widenAsciiText(path, name);
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Web page (*.html)\0*.html\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = documents[0] != L'\0' ? documents : nullptr;
    dialog.lpstrTitle = L"Save Report";
    dialog.lpstrDefExt = L"html";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog))
        return false;
    if (!writeReportFile(path, facts, note)) {
        MessageBoxW(owner,
                    L"The report could not be saved: its folder cannot be written. Nothing was left there.\n"
                    L"Choose another folder, such as Documents.",
                    L"Report not saved", MB_OK | MB_ICONERROR);
        return false;
    }
    ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}
