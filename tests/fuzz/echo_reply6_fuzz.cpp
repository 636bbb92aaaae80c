// libFuzzer: any byte string as a message read from a raw ICMPv6 socket, with
// any sender and any set of sent requests, must be judged without reading
// outside the buffer.
#include <cstdint>
#include <vector>

#include "probe/echo_reply.h"
#include "probe/echo_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte chooses the sent requests and the sender; the rest is the message.
    SentEchoes sent;
    Ipv6Bytes local = {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
    Ipv6Bytes probed = {{0, 0x64, 0xff, 0x9b, 0, 0, 0, 0, 0, 0, 0, 0, 203, 0, 113, 10}};
    Ipv6Bytes sender = probed;
    if (size >= 1) {
        const int count = data[0] % (kMaxEchoRequestsPerProbe + 1);
        for (int i = 0; i < count; ++i)
            rememberSentEcho(sent, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 1));
        if (data[0] & 0x80)
            sender.bytes[15] ^= 1;
        ++data;
        --size;
    }
    // An exact copy on the heap, so that a read past its end is caught.
    std::vector<uint8_t> message(data, data + size);
    isMatchingEchoReply6(message.empty() ? nullptr : message.data(), message.size(), sender, probed, local, sent);
    return 0;
}
