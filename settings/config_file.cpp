#include "settings/config_file.h"

#include "app/text.h"
#include "settings/setting_values.h"

namespace {

const char kSection[] = "config";
const char kConfigFileName[] = "config.ini";

bool hasConfigPath()
{
    return g_app.configPath[0] != '\0';
}

// Creates a missing file empty, so that the profile functions find it; false
// when it can be neither opened nor created (then nothing is read or written).
bool makeSureConfigFileExists()
{
    if (!hasConfigPath())
        return false;
    const HANDLE file = CreateFileA(g_app.configPath, FILE_READ_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// A key counts as found only with a non-empty value; at most 19 characters are seen.
bool readSetting(const char* key, char (&value)[kSettingValueSize])
{
    return GetPrivateProfileStringA(kSection, key, nullptr, value, sizeof value, g_app.configPath) > 0;
}

} // namespace

bool getModuleDirectory(char (&directory)[kTextBufferSize])
{
    const DWORD length = GetModuleFileNameA(nullptr, directory, sizeof directory);
    if (length >= sizeof directory) {
        directory[0] = '\0';
        return false;
    }
    directory[length] = '\0';
    keepDirectoryPart(directory);
    return true;
}

void buildConfigPath()
{
    char directory[kTextBufferSize] = "";
    g_app.configPath[0] = '\0';
    if (!getModuleDirectory(directory))
        return;
    // A path that does not fit is no path: better no settings than another file's.
    if (!copyText(g_app.configPath, directory) || !appendText(g_app.configPath, kConfigFileName))
        g_app.configPath[0] = '\0';
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
    if (readSetting("message_hide_time", value))
        g_app.hideSeconds = settingToInt(value);
}

void writeSetting(const char* section, const char* key, const char* value)
{
    if (!makeSureConfigFileExists())
        return;
    WritePrivateProfileStringA(section, key, value, g_app.configPath);
    writePingInterval(section);
}

void writePingInterval(const char* section)
{
    if (!hasConfigPath())
        return;
    char value[kSettingValueSize];
    formatSettingInt(value, static_cast<int32_t>(g_app.pingIntervalMs / 1000));
    WritePrivateProfileStringA(section, "ping_time_interval", value, g_app.configPath);
}
