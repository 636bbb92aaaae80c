#include "settings/setting_values.h"

#include "core/text.h"

#include <cstring>
#include <cwchar>

int32_t settingToInt(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    // The magnitude stops growing one past the largest value that fits.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

uint32_t pingIntervalMsFromSetting(const char* text)
{
    int32_t seconds = settingToInt(text);
    if (seconds < static_cast<int32_t>(kMinPingIntervalSeconds))
        seconds = kMinPingIntervalSeconds;
    if (seconds > static_cast<int32_t>(kMaxPingIntervalSeconds))
        seconds = kMaxPingIntervalSeconds;
    return static_cast<uint32_t>(seconds) * 1000u;
}

bool isSettingYes(const char* text)
{
    return std::strcmp(text, "yes") == 0;
}

void formatSettingInt(char (&text)[kSettingValueSize], int32_t value)
{
    text[0] = '\0';
    appendDecimal(text, value);
}

bool keepDirectoryPart(wchar_t* path)
{
    wchar_t* separator = std::wcsrchr(path, L'\\');
    if (separator == nullptr)
        separator = std::wcsrchr(path, L'/');
    if (separator == nullptr)
        return false;
    separator[1] = L'\0';
    return true;
}

void removeLongPathPrefix(wchar_t* path)
{
    std::size_t cut = 0;
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0)
        cut = 6;  // "\\?\UNC\server\share" becomes "\\server\share"
    else if (std::wcsncmp(path, L"\\\\?\\", 4) == 0)
        cut = 4;
    else
        return;
    const std::size_t start = cut == 6 ? 2 : 0;
    std::wmemmove(path + start, path + start + cut, std::wcslen(path + start + cut) + 1);
}
