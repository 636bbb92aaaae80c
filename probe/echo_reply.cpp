#include "probe/echo_reply.h"

#include <cstring>

#include "probe/echo_request.h"

namespace {

enum : std::size_t { kMinIpHeaderSize = 20, kIcmpHeaderSize = 8 };
enum : uint8_t { kIcmpProtocol = 1, kEchoReplyType = 0 };

uint16_t readBigEndian16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// The request carried its numbers in the host's (little-endian) byte order
// and the reply echoes those bytes back unchanged.
uint16_t readLittleEndian16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int indexSent(const SentEchoes& sent, uint16_t identifier, uint16_t sequence)
{
    for (int i = 0; i < sent.count; ++i)
        if (sent.identifier[i] == identifier && sent.sequence[i] == sequence)
            return i;
    return -1;
}

} // namespace

void rememberSentEcho(SentEchoes& sent, uint16_t identifier, uint16_t sequence, uint32_t sentAtMs)
{
    if (sent.count >= kMaxEchoRequestsPerProbe)
        return;
    sent.identifier[sent.count] = identifier;
    sent.sequence[sent.count] = sequence;
    sent.sentAtMs[sent.count] = sentAtMs;
    sent.answered[sent.count] = false;
    ++sent.count;
}

int matchingEchoReply(const uint8_t* datagram, std::size_t length, uint32_t sender, uint32_t destination,
                      const SentEchoes& sent)
{
    if (datagram == nullptr || length < kMinIpHeaderSize)
        return -1;
    if ((datagram[0] >> 4) != 4)
        return -1;
    const std::size_t headerSize = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    const std::size_t totalSize = readBigEndian16(datagram + 2);
    if (headerSize < kMinIpHeaderSize || totalSize > length || totalSize < headerSize + kIcmpHeaderSize)
        return -1;
    if (datagram[9] != kIcmpProtocol)
        return -1;

    uint32_t source;
    std::memcpy(&source, datagram + 12, sizeof source);
    if (source != destination || sender != destination)
        return -1;

    const uint8_t* icmp = datagram + headerSize;
    const std::size_t icmpSize = totalSize - headerSize;
    if (icmp[0] != kEchoReplyType || icmp[1] != 0)
        return -1;
    if (internetChecksum(icmp, icmpSize) != 0)
        return -1;
    return indexSent(sent, readLittleEndian16(icmp + 4), readLittleEndian16(icmp + 6));
}

bool isMatchingEchoReply(const uint8_t* datagram, std::size_t length, uint32_t sender,
                         uint32_t destination, const SentEchoes& sent)
{
    return matchingEchoReply(datagram, length, sender, destination, sent) >= 0;
}

int matchingEchoReply6(const uint8_t* message, std::size_t length, const Ipv6Bytes& sender,
                       const Ipv6Bytes& destination, const Ipv6Bytes& local, const SentEchoes& sent)
{
    enum : uint8_t { kEchoReply6Type = 129 };
    if (message == nullptr || length < kIcmpHeaderSize || message[0] != kEchoReply6Type || message[1] != 0)
        return -1;
    if (std::memcmp(sender.bytes, destination.bytes, sizeof sender.bytes) != 0)
        return -1;
    if (icmpv6Checksum(sender, local, message, length) != 0)
        return -1;
    return indexSent(sent, readLittleEndian16(message + 4), readLittleEndian16(message + 6));
}

bool isMatchingEchoReply6(const uint8_t* message, std::size_t length, const Ipv6Bytes& sender,
                          const Ipv6Bytes& destination, const Ipv6Bytes& local, const SentEchoes& sent)
{
    return matchingEchoReply6(message, length, sender, destination, local, sent) >= 0;
}
