// Judging a datagram read from a raw ICMP socket: is it the echo reply to one
// of the requests this probe sent? Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int { kMaxEchoRequestsPerProbe = 4 };

// The numbers of the requests sent so far in one probe, when each left (a
// millisecond clock's reading), and which were answered.
struct SentEchoes {
    uint16_t identifier[kMaxEchoRequestsPerProbe] = {};
    uint16_t sequence[kMaxEchoRequestsPerProbe] = {};
    uint32_t sentAtMs[kMaxEchoRequestsPerProbe] = {};
    bool answered[kMaxEchoRequestsPerProbe] = {};
    int count = 0;
};

void rememberSentEcho(SentEchoes& sent, uint16_t identifier, uint16_t sequence, uint32_t sentAtMs = 0);

// Which request of `sent` a reply answers (see isMatchingEchoReply), or -1.
int matchingEchoReply(const uint8_t* datagram, std::size_t length, uint32_t sender, uint32_t destination,
                      const SentEchoes& sent);

// True only for an intact IPv4 datagram carrying an ICMP echo reply (type 0,
// code 0, valid checksum) from the probed address, whose identifier and
// sequence are those of a request in `sent`. Addresses are IPv4 addresses in
// network byte order as the socket functions hold them; `sender` is what the
// receive call reported. Every field is bounds-checked before it is read, so
// any byte string of any length is safe to pass.
bool isMatchingEchoReply(const uint8_t* datagram, std::size_t length, uint32_t sender,
                         uint32_t destination, const SentEchoes& sent);

struct Ipv6Bytes;

// The same for a message read from a raw ICMPv6 socket, which gives the
// ICMPv6 message without its IPv6 header: an echo reply (type 129, code 0)
// from the probed address, sent to ours (`local`, for the checksum's
// pseudo-header), whose checksum holds and whose numbers are those of a
// request in `sent`. Any byte string of any length is safe to pass.
bool isMatchingEchoReply6(const uint8_t* message, std::size_t length, const Ipv6Bytes& sender,
                          const Ipv6Bytes& destination, const Ipv6Bytes& local, const SentEchoes& sent);
// Which request of `sent` it answers, or -1.
int matchingEchoReply6(const uint8_t* message, std::size_t length, const Ipv6Bytes& sender,
                       const Ipv6Bytes& destination, const Ipv6Bytes& local, const SentEchoes& sent);
