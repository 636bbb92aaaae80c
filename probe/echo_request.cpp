#include "probe/echo_request.h"

uint16_t internetChecksum(const void* data, std::size_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2)
        sum += static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i < length)
        sum += bytes[i];
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

void buildEchoRequest(EchoRequest& request, EchoCounters& counters, uint32_t tickCount)
{
    request.type = 8;
    request.code = 0;
    request.checksum = 0;
    request.identifier = static_cast<uint16_t>(counters.identifier++);
    request.sequence = static_cast<uint16_t>(counters.sequence++);
    request.reserved = 0;
    request.timestamp = tickCount;
    for (unsigned k = 0; k < sizeof request.payload; ++k)
        request.payload[k] = static_cast<uint8_t>(0x20 + k);
    request.checksum = internetChecksum(&request, sizeof request);
}
