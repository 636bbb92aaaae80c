// Any bytes as a wave file: the check must stay within them and finish, and
// a wave fitted in memory must claim no byte past its end.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/wave_format.h"

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
};

bool readBytes(void* context, uint32_t offset, void* buffer, uint32_t size)
{
    const Bytes& bytes = *static_cast<const Bytes*>(context);
    if (offset > bytes.size || size > bytes.size - offset)
        return false;
    std::memcpy(buffer, bytes.data + offset, size);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes bytes = {data, size};
    const bool playable = isPlayableWave({readBytes, &bytes});
    if (size > UINT32_MAX)
        return 0;
    uint8_t* copy = new uint8_t[size + 1];
    std::memcpy(copy, data, size);
    const uint32_t held = static_cast<uint32_t>(size);
    if (fitPlayableWave(copy, held) != playable)
        __builtin_trap();
    if (playable) {
        uint32_t riffSize;
        std::memcpy(&riffSize, copy + 4, 4);
        if (riffSize > held - 8)
            __builtin_trap();
    }
    delete[] copy;
    return 0;
}
