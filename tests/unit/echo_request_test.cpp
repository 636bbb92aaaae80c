#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "probe/echo_request.h"

namespace {

const uint8_t* bytesOf(const EchoRequest& request)
{
    return reinterpret_cast<const uint8_t*>(&request);
}

TEST(InternetChecksum, KnownValues)
{
    // RFC 1071's example words 0001 f203 f4f5 f6f7, read little-endian.
    const uint8_t rfcExample[] = {0x01, 0x00, 0x03, 0xf2, 0xf5, 0xf4, 0xf7, 0xf6};
    EXPECT_EQ(internetChecksum(rfcExample, sizeof rfcExample), static_cast<uint16_t>(~0xddf2 & 0xFFFF));
    EXPECT_EQ(internetChecksum(nullptr, 0), 0xFFFF);
    const uint8_t allOnes[] = {0xFF, 0xFF};
    EXPECT_EQ(internetChecksum(allOnes, 2), 0x0000);
}

TEST(InternetChecksum, OddLengthTakesLastByteAsLowByte)
{
    const uint8_t odd[] = {0x12, 0x34, 0x56};
    // 0x3412 + 0x0056 = 0x3468
    EXPECT_EQ(internetChecksum(odd, 3), static_cast<uint16_t>(~0x3468 & 0xFFFF));
    const uint8_t single[] = {0xAB};
    EXPECT_EQ(internetChecksum(single, 1), static_cast<uint16_t>(~0x00AB & 0xFFFF));
}

TEST(InternetChecksum, CarriesFoldTwice)
{
    // 0xFFFF * 3 = 0x2FFFD; one fold gives 0xFFFD + 0x2 = 0xFFFF.
    const uint8_t words[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(internetChecksum(words, sizeof words), 0x0000);
    const uint8_t carry[] = {0xFF, 0xFF, 0x02, 0x00};  // 0xFFFF + 2 = 0x10001 -> 0x0002
    EXPECT_EQ(internetChecksum(carry, sizeof carry), static_cast<uint16_t>(~0x0002 & 0xFFFF));
    // FFFF + FFFF + 0001 = 0x1FFFF; the first fold gives 0x10000, only the second 0x0001.
    const uint8_t twoFolds[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00};
    EXPECT_EQ(internetChecksum(twoFolds, sizeof twoFolds), 0xFFFE);
}

TEST(EchoRequest, FortyFiveBytesFieldByField)
{
    EchoCounters counters;
    EchoRequest request;
    std::memset(&request, 0xCC, sizeof request);
    buildEchoRequest(request, counters, 0x11223344);
    const uint8_t* b = bytesOf(request);
    ASSERT_EQ(sizeof request, 45u);
    EXPECT_EQ(b[0], 8);
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[4], 0x01);  // identifier 1, little-endian
    EXPECT_EQ(b[5], 0x00);
    EXPECT_EQ(b[6], 0x01);  // sequence 1
    EXPECT_EQ(b[7], 0x00);
    EXPECT_EQ(b[8], 0);
    EXPECT_EQ(b[9], 0x44);  // tick count, little-endian, unaligned at offset 9
    EXPECT_EQ(b[10], 0x33);
    EXPECT_EQ(b[11], 0x22);
    EXPECT_EQ(b[12], 0x11);
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(b[13 + k], 0x20 + k) << "payload byte " << k;
    EXPECT_EQ(internetChecksum(b, sizeof request), 0) << "a sent request sums to zero";
    const uint16_t stored = static_cast<uint16_t>(b[2] | b[3] << 8);
    EchoRequest copy = request;
    copy.checksum = 0;
    EXPECT_EQ(stored, internetChecksum(&copy, sizeof copy));
}

TEST(EchoRequest, CountersAdvanceTogetherAndWrap)
{
    EchoCounters counters;
    EchoRequest request;
    for (uint32_t n = 1; n <= 5; ++n) {
        buildEchoRequest(request, counters, n * 1000);
        EXPECT_EQ(request.identifier, n);
        EXPECT_EQ(request.sequence, n);
        EXPECT_EQ(internetChecksum(&request, sizeof request), 0);
    }
    EXPECT_EQ(counters.identifier, 6u);
    EXPECT_EQ(counters.sequence, 6u);

    counters.identifier = counters.sequence = 65535;
    buildEchoRequest(request, counters, 0);
    EXPECT_EQ(request.identifier, 65535);
    buildEchoRequest(request, counters, 0);
    EXPECT_EQ(request.identifier, 0) << "the 65536th request wraps to 0";
    EXPECT_EQ(request.sequence, 0);
    EXPECT_EQ(counters.identifier, 65537u) << "the 32-bit counters themselves go on";
    EXPECT_EQ(internetChecksum(&request, sizeof request), 0);
}

TEST(EchoRequest, IdentifierAndSequenceEachHaveTheirPlace)
{
    EchoCounters counters;
    counters.identifier = 0x0102;
    counters.sequence = 0x0A0B;
    EchoRequest request;
    buildEchoRequest(request, counters, 0);
    const uint8_t* b = bytesOf(request);
    EXPECT_EQ(b[4] | b[5] << 8, 0x0102) << "identifier at offset 4";
    EXPECT_EQ(b[6] | b[7] << 8, 0x0A0B) << "sequence at offset 6";
    EXPECT_EQ(counters.identifier, 0x0103u);
    EXPECT_EQ(counters.sequence, 0x0A0Cu);
}

TEST(EchoRequest, ChecksumValidForAnyTickCount)
{
    EchoCounters counters;
    EchoRequest request;
    const uint32_t ticks[] = {0, 1, 0xFFFF, 0x10000, 0x7FFFFFFF, 0xFFFFFFFF, 0xDEADBEEF};
    for (uint32_t tick : ticks) {
        buildEchoRequest(request, counters, tick);
        EXPECT_EQ(internetChecksum(&request, sizeof request), 0) << "tick " << tick;
    }
}

// The ICMPv6 checksum as RFC 1071 has it, with a wide sum folded at the end,
// over the pseudo-header laid out in full.
uint16_t referenceChecksum6(const Ipv6Bytes& source, const Ipv6Bytes& destination, const uint8_t* message,
                            size_t length)
{
    std::vector<uint8_t> whole(source.bytes, source.bytes + 16);
    whole.insert(whole.end(), destination.bytes, destination.bytes + 16);
    for (int shift : {24, 16, 8, 0})
        whole.push_back(static_cast<uint8_t>(length >> shift));
    whole.insert(whole.end(), {0, 0, 0, 58});
    whole.insert(whole.end(), message, message + length);
    uint64_t sum = 0;
    for (size_t i = 0; i < whole.size(); i += 2)
        sum += whole[i] | (i + 1 < whole.size() ? whole[i + 1] << 8 : 0);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

TEST(EchoRequest6, TheChecksumAgreesWithAPlainSumOverManyMessagesCarriesIncluded)
{
    uint32_t random = 12345;
    const auto next = [&random] { return static_cast<uint8_t>((random = random * 1103515245u + 12345u) >> 16); };
    Ipv6Bytes source, destination;
    uint8_t message[64];
    for (int n = 0; n < 50000; ++n) {
        for (uint8_t& b : source.bytes)
            b = next();
        for (uint8_t& b : destination.bytes)
            b = next();
        const size_t length = 8 + n % 57;
        for (size_t i = 0; i < length; ++i)
            message[i] = n % 3 == 0 ? 0xFF : next();  // runs of 0xFF carry often
        ASSERT_EQ(icmpv6Checksum(source, destination, message, length),
                  referenceChecksum6(source, destination, message, length))
            << "message " << n;
    }
}

} // namespace
