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

namespace {

// Adds 16-bit little-endian words to a running sum, as internetChecksum reads them.
uint32_t addWords(uint32_t sum, const uint8_t* bytes, std::size_t length)
{
    std::size_t i = 0;
    for (; i + 1 < length; i += 2)
        sum += static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i < length)
        sum += bytes[i];
    return sum;
}

} // namespace

uint16_t icmpv6Checksum(const Ipv6Bytes& source, const Ipv6Bytes& destination, const void* message,
                        std::size_t length)
{
    // The pseudo-header's length and next header, big-endian on the wire.
    const uint8_t trailer[8] = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0, 0, 58};
    uint32_t sum = addWords(0, source.bytes, sizeof source.bytes);
    sum = addWords(sum, destination.bytes, sizeof destination.bytes);
    sum = addWords(sum, trailer, sizeof trailer);
    // Folded before the message is added, so that no length of it overflows.
    sum = (sum & 0xFFFF) + (sum >> 16);
    const uint8_t* bytes = static_cast<const uint8_t*>(message);
    for (std::size_t done = 0; done < length; done += 0x8000) {
        const std::size_t part = length - done < 0x8000 ? length - done : 0x8000;
        sum = addWords(sum, bytes + done, part);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

void buildEchoRequest6(EchoRequest& request, EchoCounters& counters, uint32_t tickCount, const Ipv6Bytes& source,
                       const Ipv6Bytes& destination)
{
    buildEchoRequest(request, counters, tickCount);
    request.type = 128;
    request.checksum = 0;
    request.checksum = icmpv6Checksum(source, destination, &request, sizeof request);
}
