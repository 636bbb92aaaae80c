#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "probe/echo_reply.h"
#include "probe/echo_request.h"

namespace {

const uint32_t kProbed = 0x0100007F;  // 127.0.0.1 as the socket functions hold it
const uint32_t kOther = 0x0200007F;   // 127.0.0.2

// A datagram as a raw socket delivers it: IPv4 header, then the ICMP message.
struct Datagram {
    std::vector<uint8_t> bytes;

    static Datagram reply(const EchoRequest& request, uint32_t source = kProbed, int optionWords = 0)
    {
        Datagram d;
        const size_t header = 20 + 4 * optionWords;
        d.bytes.assign(header + sizeof request, 0);
        d.bytes[0] = static_cast<uint8_t>(0x40 | (5 + optionWords));
        d.setTotalLength(d.bytes.size());
        d.bytes[8] = 64;
        d.bytes[9] = 1;
        std::memcpy(&d.bytes[12], &source, 4);
        std::memcpy(&d.bytes[16], &kProbed, 4);
        std::memcpy(&d.bytes[header], &request, sizeof request);
        d.icmp()[0] = 0;
        d.fixChecksum();
        return d;
    }

    uint8_t* icmp() { return &bytes[(bytes[0] & 0x0F) * 4]; }
    size_t icmpSize() { return bytes.size() - (bytes[0] & 0x0F) * 4; }
    void setTotalLength(size_t n)
    {
        bytes[2] = static_cast<uint8_t>(n >> 8);
        bytes[3] = static_cast<uint8_t>(n);
    }
    void fixChecksum()
    {
        icmp()[2] = icmp()[3] = 0;
        const uint16_t sum = internetChecksum(icmp(), icmpSize());
        icmp()[2] = static_cast<uint8_t>(sum);
        icmp()[3] = static_cast<uint8_t>(sum >> 8);
    }
};

class EchoReplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            buildEchoRequest(requests[i], counters, 1000 + i);
            rememberSentEcho(sent, requests[i].identifier, requests[i].sequence);
        }
    }
    bool matches(const std::vector<uint8_t>& bytes, uint32_t sender = kProbed)
    {
        return isMatchingEchoReply(bytes.data(), bytes.size(), sender, kProbed, sent);
    }

    EchoCounters counters;
    EchoRequest requests[4];
    SentEchoes sent;
};

TEST_F(EchoReplyTest, ReplyToAnyRequestOfTheProbeMatches)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(matches(Datagram::reply(requests[i]).bytes)) << "request " << i;
}

TEST_F(EchoReplyTest, OurOwnRequestLoopedBackIsNotAReply)
{
    Datagram d = Datagram::reply(requests[0]);
    d.icmp()[0] = 8;
    d.fixChecksum();
    EXPECT_FALSE(matches(d.bytes));
}

TEST_F(EchoReplyTest, WrongNumbersDoNotMatch)
{
    EchoRequest unsent;
    buildEchoRequest(unsent, counters, 0);  // numbered 4, never remembered
    EXPECT_FALSE(matches(Datagram::reply(unsent).bytes));

    Datagram mixed = Datagram::reply(requests[0]);
    mixed.icmp()[6] = static_cast<uint8_t>(requests[1].sequence);  // id of one, sequence of another
    mixed.fixChecksum();
    EXPECT_FALSE(matches(mixed.bytes));

    SentEchoes none;
    const auto good = Datagram::reply(requests[0]).bytes;
    EXPECT_FALSE(isMatchingEchoReply(good.data(), good.size(), kProbed, kProbed, none));
}

TEST_F(EchoReplyTest, OtherIcmpTypesAndCodesAreIgnored)
{
    for (uint8_t type : {3, 5, 11, 13, 14, 8}) {
        Datagram d = Datagram::reply(requests[0]);
        d.icmp()[0] = type;
        d.fixChecksum();
        EXPECT_FALSE(matches(d.bytes)) << "type " << int(type);
    }
    Datagram code = Datagram::reply(requests[0]);
    code.icmp()[1] = 1;
    code.fixChecksum();
    EXPECT_FALSE(matches(code.bytes));
}

TEST_F(EchoReplyTest, OtherSendersAndProtocolsAreIgnored)
{
    EXPECT_FALSE(matches(Datagram::reply(requests[0], kOther).bytes)) << "source in the header";
    EXPECT_FALSE(matches(Datagram::reply(requests[0]).bytes, kOther)) << "sender from the socket";
    Datagram udp = Datagram::reply(requests[0]);
    udp.bytes[9] = 17;
    EXPECT_FALSE(matches(udp.bytes));
    Datagram v6 = Datagram::reply(requests[0]);
    v6.bytes[0] = 0x65;
    EXPECT_FALSE(matches(v6.bytes));
}

TEST_F(EchoReplyTest, CorruptedChecksumIsRejected)
{
    Datagram d = Datagram::reply(requests[0]);
    d.icmp()[20] ^= 0x01;
    EXPECT_FALSE(matches(d.bytes));
}

TEST_F(EchoReplyTest, HeaderOptionsAreSkippedByTheirLength)
{
    EXPECT_TRUE(matches(Datagram::reply(requests[1], kProbed, 1).bytes)) << "IHL 6";
    EXPECT_TRUE(matches(Datagram::reply(requests[1], kProbed, 10).bytes)) << "IHL 15";
}

TEST_F(EchoReplyTest, HeaderLengthOutOfBoundsIsRejected)
{
    Datagram d = Datagram::reply(requests[0]);
    for (uint8_t ihl : {0, 1, 4}) {
        d.bytes[0] = static_cast<uint8_t>(0x40 | ihl);
        EXPECT_FALSE(matches(d.bytes)) << "IHL " << int(ihl);
    }
    // IHL 15 claims a 60-byte header: with a 65-byte datagram, no ICMP header follows.
    d.bytes[0] = 0x4F;
    EXPECT_FALSE(matches(d.bytes));
}

TEST_F(EchoReplyTest, TotalLengthMustFitTheDatagram)
{
    Datagram longer = Datagram::reply(requests[0]);
    longer.setTotalLength(longer.bytes.size() + 1);
    EXPECT_FALSE(matches(longer.bytes)) << "claims more than was received";

    Datagram padded = Datagram::reply(requests[0]);
    padded.bytes.push_back(0xEE);  // trailing bytes beyond the total length are not part of it
    EXPECT_TRUE(matches(padded.bytes));

    Datagram tiny = Datagram::reply(requests[0]);
    tiny.setTotalLength(27);
    EXPECT_FALSE(matches(tiny.bytes)) << "no room for an ICMP header";
}

TEST_F(EchoReplyTest, EveryTruncationIsRejectedWithoutReadingPastTheEnd)
{
    const std::vector<uint8_t> full = Datagram::reply(requests[2]).bytes;
    for (size_t n = 0; n < full.size(); ++n) {
        // An exactly sized heap copy lets AddressSanitizer see any read past the end.
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
        cut.shrink_to_fit();
        EXPECT_FALSE(isMatchingEchoReply(cut.empty() ? nullptr : cut.data(), n, kProbed, kProbed, sent))
            << "length " << n;
    }
}

TEST_F(EchoReplyTest, MinimalReplyWithoutDataMatches)
{
    Datagram d = Datagram::reply(requests[0]);
    d.bytes.resize(28);
    d.setTotalLength(28);
    d.fixChecksum();
    EXPECT_TRUE(matches(d.bytes));
}

TEST_F(EchoReplyTest, GarbageNeverMatches)
{
    uint32_t seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        seed = seed * 1103515245u + 12345u;
        std::vector<uint8_t> junk(seed % 400);
        for (uint8_t& byte : junk) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<uint8_t>(seed >> 16);
        }
        if (!junk.empty())
            junk[0] = 0x45;  // mostly plausible headers, to get past the first check
        EXPECT_FALSE(matches(junk));
    }
}

// Datagrams that every later check would pass, so that only the check named fails them.
TEST_F(EchoReplyTest, HeaderShorterThanTwentyBytesIsRejectedByItself)
{
    const Datagram good = Datagram::reply(requests[0]);
    std::vector<uint8_t> shortHeader(good.bytes.begin(), good.bytes.begin() + 16);
    shortHeader.insert(shortHeader.end(), good.bytes.begin() + 20, good.bytes.end());
    shortHeader[0] = 0x44;  // IHL 4: a 16-byte header, the reply right after it
    shortHeader[2] = 0;
    shortHeader[3] = static_cast<uint8_t>(shortHeader.size());
    std::memcpy(&shortHeader[12], &kProbed, 4);
    EXPECT_FALSE(matches(shortHeader));
}

TEST_F(EchoReplyTest, IcmpPartShorterThanItsHeaderIsRejectedByItself)
{
    Datagram d = Datagram::reply(requests[0]);
    d.setTotalLength(27);  // 7 bytes of ICMP; the eighth still lies in the buffer
    d.icmp()[2] = d.icmp()[3] = 0;
    const uint16_t sum = internetChecksum(d.icmp(), 7);
    d.icmp()[2] = static_cast<uint8_t>(sum);
    d.icmp()[3] = static_cast<uint8_t>(sum >> 8);
    ASSERT_EQ(internetChecksum(d.icmp(), 7), 0);
    EXPECT_FALSE(matches(d.bytes));
}

TEST(EchoReply, IdentifierAndSequenceAreNotInterchangeable)
{
    EchoCounters counters;
    counters.identifier = 0x0102;
    counters.sequence = 0x0A0B;
    EchoRequest request;
    buildEchoRequest(request, counters, 0);
    SentEchoes sent;
    rememberSentEcho(sent, request.identifier, request.sequence);
    Datagram reply = Datagram::reply(request);
    EXPECT_TRUE(isMatchingEchoReply(reply.bytes.data(), reply.bytes.size(), kProbed, kProbed, sent));
    std::swap(reply.icmp()[4], reply.icmp()[6]);
    std::swap(reply.icmp()[5], reply.icmp()[7]);
    reply.fixChecksum();
    EXPECT_FALSE(isMatchingEchoReply(reply.bytes.data(), reply.bytes.size(), kProbed, kProbed, sent));
}

TEST(SentEchoes, KeepsAtMostFour)
{
    SentEchoes sent;
    for (uint16_t n = 1; n <= 6; ++n)
        rememberSentEcho(sent, n, n);
    EXPECT_EQ(sent.count, 4);
    EXPECT_EQ(sent.identifier[3], 4);
}

} // namespace

namespace {

Ipv6Bytes address6(uint8_t last)
{
    Ipv6Bytes address = {{0x20, 0x01, 0x0d, 0xb8}};
    address.bytes[15] = last;
    return address;
}

// The checksum as RFC 4443 writes it: RFC 1071's over the pseudo-header
// (source, destination, a 32-bit length, three zero bytes, 58) and the message.
uint16_t checksumOverPseudoHeader(const Ipv6Bytes& source, const Ipv6Bytes& destination,
                                  const std::vector<uint8_t>& message)
{
    std::vector<uint8_t> whole(source.bytes, source.bytes + 16);
    whole.insert(whole.end(), destination.bytes, destination.bytes + 16);
    const size_t n = message.size();
    for (int shift : {24, 16, 8, 0})
        whole.push_back(static_cast<uint8_t>(n >> shift));
    whole.insert(whole.end(), {0, 0, 0, 58});
    whole.insert(whole.end(), message.begin(), message.end());
    return internetChecksum(whole.data(), whole.size());
}

} // namespace

TEST(EchoReply6, TheReplyFromTheProbedAddressMatchesAndNothingElseDoes)
{
    const Ipv6Bytes us = address6(1), probed = address6(0x0a), other = address6(0x0b);
    EchoCounters counters;
    EchoRequest request;
    buildEchoRequest6(request, counters, 1234, us, probed);
    const std::vector<uint8_t> sentBytes(reinterpret_cast<uint8_t*>(&request),
                                         reinterpret_cast<uint8_t*>(&request) + sizeof request);
    EXPECT_EQ(request.type, 128);
    EXPECT_EQ(checksumOverPseudoHeader(us, probed, sentBytes), 0) << "the request's own checksum holds";

    SentEchoes sent;
    rememberSentEcho(sent, request.identifier, request.sequence);
    // The reply: the same message as type 129, its checksum for the way back.
    std::vector<uint8_t> reply = sentBytes;
    reply[0] = 129;
    reply[2] = reply[3] = 0;
    const uint16_t checksum = checksumOverPseudoHeader(probed, us, reply);
    std::memcpy(&reply[2], &checksum, 2);
    EXPECT_TRUE(isMatchingEchoReply6(reply.data(), reply.size(), probed, probed, us, sent));

    EXPECT_FALSE(isMatchingEchoReply6(sentBytes.data(), sentBytes.size(), probed, probed, us, sent))
        << "our own request looped back";
    EXPECT_FALSE(isMatchingEchoReply6(reply.data(), reply.size(), other, probed, us, sent)) << "another sender";
    EXPECT_FALSE(isMatchingEchoReply6(reply.data(), reply.size(), probed, probed, other, sent))
        << "a checksum made for another of our addresses";
    for (size_t cut = 0; cut < reply.size(); ++cut)
        EXPECT_FALSE(isMatchingEchoReply6(reply.data(), cut, probed, probed, us, sent)) << "cut to " << cut;
    std::vector<uint8_t> changed = reply;
    changed[20] ^= 0x01;
    EXPECT_FALSE(isMatchingEchoReply6(changed.data(), changed.size(), probed, probed, us, sent)) << "a changed byte";
    changed = reply;
    changed[1] = 1;
    EXPECT_FALSE(isMatchingEchoReply6(changed.data(), changed.size(), probed, probed, us, sent)) << "code 1";
    SentEchoes none;
    EXPECT_FALSE(isMatchingEchoReply6(reply.data(), reply.size(), probed, probed, us, none)) << "not sent";
    EXPECT_FALSE(isMatchingEchoReply6(nullptr, 0, probed, probed, us, sent));
}
