// The ICMP echo request that the probe sends, and its checksum.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

// The 45-byte message handed to a raw socket (the system adds the IP header).
// Multi-byte fields are in the host's byte order, as the checksum expects.
#pragma pack(push, 1)
struct EchoRequest {
    uint8_t type;        // 8, echo request
    uint8_t code;        // 0
    uint16_t checksum;   // internetChecksum of the whole message
    uint16_t identifier; // low 16 bits of the identifier counter
    uint16_t sequence;   // low 16 bits of the sequence counter
    uint8_t reserved;    // 0
    uint32_t timestamp;  // tick count when sent, unaligned
    uint8_t payload[32]; // 0x20 .. 0x3F
};
#pragma pack(pop)

static_assert(sizeof(EchoRequest) == 45, "the echo request is 45 bytes on the wire");

enum : std::size_t {
    kEchoHeaderSize = 8,
    // What follows the ICMP header: reserved byte, timestamp and payload.
    kEchoDataSize = sizeof(EchoRequest) - kEchoHeaderSize,
};

// The process-wide counters that number the requests. Both start at 1 and
// advance by one for every request built, and are never reset.
struct EchoCounters {
    uint32_t identifier = 1;
    uint32_t sequence = 1;
};

// RFC 1071 checksum over little-endian 16-bit words; an odd last byte is
// taken as a word with a zero high byte.
uint16_t internetChecksum(const void* data, std::size_t length);

// Fills the request with the next numbers from the counters (which advance)
// and the given tick count, then its checksum.
void buildEchoRequest(EchoRequest& request, EchoCounters& counters, uint32_t tickCount);

// ICMPv6 (RFC 4443): an IPv6 address as the socket functions hold it.
struct Ipv6Bytes {
    uint8_t bytes[16];
};

// The ICMPv6 checksum, which covers a pseudo-header too: the source and
// destination addresses, the message's length and the next header (58).
// Over a message whose checksum field holds its checksum, the result is 0.
uint16_t icmpv6Checksum(const Ipv6Bytes& source, const Ipv6Bytes& destination, const void* message,
                        std::size_t length);

// The same request for IPv6: type 128, its checksum for that pair of addresses.
void buildEchoRequest6(EchoRequest& request, EchoCounters& counters, uint32_t tickCount, const Ipv6Bytes& source,
                       const Ipv6Bytes& destination);
