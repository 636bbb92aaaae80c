// libFuzzer: any text as a stored value (as the 20-byte read buffer holds it)
// converts to defined settings.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "settings/setting_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char value[kSettingValueSize];
    const size_t length = size < sizeof value - 1 ? size : sizeof value - 1;
    std::memcpy(value, data, length);
    value[length] = '\0';

    const uint32_t interval = pingIntervalMsFromSetting(value);
    if (interval < kMinPingIntervalSeconds * 1000 || interval > kMaxPingIntervalSeconds * 1000)
        std::abort();
    const int32_t number = settingToInt(value);
    char text[kSettingValueSize];
    formatSettingInt(text, number);
    if (settingToInt(text) != number)  // what is written reads back the same
        std::abort();
    isSettingYes(value);
    wchar_t path[kSettingValueSize];
    for (size_t i = 0; i <= length; ++i)
        path[i] = static_cast<unsigned char>(value[i]);
    keepDirectoryPart(path);
    return 0;
}
