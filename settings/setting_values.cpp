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

namespace {

int hexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

void encodeReportNote(char (&value)[kReportNoteSettingSize], const wchar_t* note)
{
    static const char digits[] = "0123456789abcdef";
    std::size_t at = 0, characters = 0;
    for (; note != nullptr && *note != 0 && characters < kReportNoteSize - 1; ++note, ++characters) {
        const uint32_t c = static_cast<uint16_t>(*note);
        if (c < 0x20 || c == 0x7F)
            continue;
        if (c == '\\') {
            value[at++] = '\\';
            value[at++] = '\\';
        } else if (c < 0x80) {
            value[at++] = static_cast<char>(c);
        } else {
            value[at++] = '\\';
            value[at++] = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                value[at++] = digits[(c >> shift) & 0xF];
        }
    }
    value[at] = '\0';
}

void decodeReportNote(wchar_t (&note)[kReportNoteSize], const char* value)
{
    std::size_t at = 0;
    while (*value != '\0' && at < kReportNoteSize - 1) {
        if (value[0] == '\\' && value[1] == '\\') {
            note[at++] = L'\\';
            value += 2;
            continue;
        }
        if (value[0] == '\\' && value[1] == 'u') {
            int code = 0, i = 0;
            for (; i < 4 && hexDigit(value[2 + i]) >= 0; ++i)
                code = code * 16 + hexDigit(value[2 + i]);
            if (i == 4) {
                note[at++] = static_cast<wchar_t>(code);
                value += 6;
                continue;
            }
        }
        const unsigned char c = static_cast<unsigned char>(*value++);
        if (c >= 0x20 && c < 0x7F)
            note[at++] = static_cast<wchar_t>(c);
    }
    note[at] = L'\0';
}
