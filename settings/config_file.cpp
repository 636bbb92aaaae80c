#include "settings/config_file.h"

#include "core/text.h"
#include "settings/setting_values.h"

static_assert(sizeof g_app.reportNote / sizeof g_app.reportNote[0] == kReportNoteSize, "the note's buffer");

namespace {

const char kSection[] = "config";
const wchar_t kConfigFileName[] = L"config.ini";

bool hasConfigPath()
{
    return g_app.configPath[0] != L'\0';
}

// Creates a missing file empty, so that the profile functions find it; false
// when it can be neither opened nor created (then nothing is read or written).
bool makeSureConfigFileExists()
{
    if (!hasConfigPath())
        return false;
    const HANDLE file = CreateFileW(g_app.configPath, FILE_READ_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// The profile functions take wide names; every name and value of ours is ASCII.
struct WideText {
    wchar_t text[kSettingValueSize * 2];
    explicit WideText(const char* ascii) { widenAsciiText(text, ascii); }
};

// A key counts as found only with a non-empty value; at most 19 characters are seen.
bool readSetting(const char* key, char (&value)[kSettingValueSize])
{
    wchar_t wide[kSettingValueSize];
    const DWORD length = GetPrivateProfileStringW(WideText(kSection).text, WideText(key).text, nullptr, wide,
                                                  kSettingValueSize, g_app.configPath);
    narrowAsciiText(value, wide);
    return length > 0;
}

void writeProfileString(const char* section, const char* key, const char* value)
{
    WritePrivateProfileStringW(WideText(section).text, WideText(key).text, WideText(value).text,
                               g_app.configPath);
}

} // namespace

bool getModuleDirectory(wchar_t (&directory)[kTextBufferSize])
{
    const DWORD length = GetModuleFileNameW(nullptr, directory, kTextBufferSize);
    // No name at all, a name cut to the buffer, or one with no folder in it.
    if (length == 0 || length >= kTextBufferSize || !keepDirectoryPart(directory)) {
        directory[0] = L'\0';
        return false;
    }
    return true;
}

void buildConfigPath()
{
    wchar_t directory[kTextBufferSize] = L"";
    g_app.configPath[0] = L'\0';
    if (!getModuleDirectory(directory))
        return;
    // A path that does not fit is no path: better no settings than another file's.
    if (!copyText(g_app.configPath, directory) || !appendText(g_app.configPath, kConfigFileName))
        g_app.configPath[0] = L'\0';
}

void loadSettings(void (*openStatusWindow)())
{
    if (!makeSureConfigFileExists())
        return;
    char value[kSettingValueSize];
    if (readSetting("use_dialog_message", value) && isSettingYes(value))
        openStatusWindow();
    if (readSetting("ping_time_interval", value))
        g_app.pingIntervalMs = pingIntervalMsFromSetting(value);
    else
        writePingInterval(kSection);
    if (readSetting("messagebox_h_position", value))
        g_app.statusX = settingToInt(value);
    if (readSetting("messagebox_v_position", value))
        g_app.statusY = settingToInt(value);
    if (readSetting("history_h_position", value))
        g_app.historyX = settingToInt(value);
    if (readSetting("history_v_position", value))
        g_app.historyY = settingToInt(value);
    if (readSetting("message_hide_time", value))
        g_app.hideSeconds = settingToInt(value);
    wchar_t note[kReportNoteSettingSize];
    GetPrivateProfileStringW(WideText(kSection).text, L"report_note", L"", note, kReportNoteSettingSize,
                             g_app.configPath);
    char ascii[kReportNoteSettingSize];
    narrowAsciiText(ascii, note);
    decodeReportNote(g_app.reportNote, ascii);
}

void writeReportNote(const wchar_t* note)
{
    if (!makeSureConfigFileExists())
        return;
    char ascii[kReportNoteSettingSize];
    encodeReportNote(ascii, note);
    wchar_t value[kReportNoteSettingSize];
    widenAsciiText(value, ascii);
    WritePrivateProfileStringW(WideText(kSection).text, L"report_note", value, g_app.configPath);
    writePingInterval(kSection);
}

void writeSetting(const char* section, const char* key, const char* value)
{
    if (!makeSureConfigFileExists())
        return;
    writeProfileString(section, key, value);
    writePingInterval(section);
}

void writePingInterval(const char* section)
{
    if (!hasConfigPath())
        return;
    char value[kSettingValueSize];
    formatSettingInt(value, static_cast<int32_t>(g_app.pingIntervalMs / 1000));
    writeProfileString(section, "ping_time_interval", value);
}

void writePositionSettings(const char* xKey, const char* yKey, int x, int y)
{
    char value[kSettingValueSize];
    formatSettingInt(value, x);
    writeSetting("config", xKey, value);
    formatSettingInt(value, y);
    writeSetting("config", yKey, value);
}
