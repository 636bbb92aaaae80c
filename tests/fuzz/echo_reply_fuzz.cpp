// libFuzzer: any byte string as a received datagram, with any sender and any
// set of sent requests, must be judged without reading outside the buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "probe/echo_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first bytes choose the sent requests and the addresses; the rest is the datagram.
    SentEchoes sent;
    uint32_t sender = 0x0100007F;
    uint32_t destination = 0x0100007F;
    if (size >= 1) {
        const int count = data[0] % (kMaxEchoRequestsPerProbe + 1);
        for (int i = 0; i < count; ++i)
            rememberSentEcho(sent, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 1));
        if (data[0] & 0x80)
            sender = 0x0200007F;
        ++data;
        --size;
    }
    // An exact copy on the heap, so that a read past its end is caught.
    std::vector<uint8_t> datagram(data, data + size);
    isMatchingEchoReply(datagram.empty() ? nullptr : datagram.data(), datagram.size(), sender, destination, sent);
    return 0;
}
