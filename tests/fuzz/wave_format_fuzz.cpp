// Any bytes as a wave file: the check must stay within them and finish.
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
    isPlayableWave({readBytes, &bytes});
    return 0;
}
