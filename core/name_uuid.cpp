#include "core/name_uuid.h"

#include <cstring>

namespace {

uint32_t rotate(uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

struct Sha1 {
    uint32_t state[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    uint8_t block[64] = {};
    std::size_t used = 0;
    uint64_t bytes = 0;
};

void compress(Sha1& sha)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(sha.block[4 * i]) << 24 | uint32_t(sha.block[4 * i + 1]) << 16 |
               uint32_t(sha.block[4 * i + 2]) << 8 | sha.block[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = sha.state[0], b = sha.state[1], c = sha.state[2], d = sha.state[3], e = sha.state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const uint32_t next = rotate(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotate(b, 30);
        b = a;
        a = next;
    }
    sha.state[0] += a;
    sha.state[1] += b;
    sha.state[2] += c;
    sha.state[3] += d;
    sha.state[4] += e;
}

void add(Sha1& sha, const uint8_t* data, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        sha.block[sha.used++] = data[i];
        if (sha.used == 64) {
            compress(sha);
            sha.used = 0;
        }
    }
    sha.bytes += length;
}

void finish(Sha1& sha, uint8_t (&digest)[20])
{
    const uint64_t bits = sha.bytes * 8;
    const uint8_t one = 0x80, zero = 0;
    add(sha, &one, 1);
    while (sha.used != 56)
        add(sha, &zero, 1);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    add(sha, length, 8);
    for (int i = 0; i < 20; ++i)
        digest[i] = static_cast<uint8_t>(sha.state[i / 4] >> (24 - 8 * (i % 4)));
}

} // namespace

Uuid nameBasedUuid(const Uuid& nameSpace, const uint8_t* name, std::size_t length)
{
    Sha1 sha;
    add(sha, nameSpace.bytes, sizeof nameSpace.bytes);
    add(sha, name, length);
    uint8_t digest[20];
    finish(sha, digest);
    Uuid uuid;
    std::memcpy(uuid.bytes, digest, sizeof uuid.bytes);
    uuid.bytes[6] = static_cast<uint8_t>((uuid.bytes[6] & 0x0F) | 0x50);  // version 5
    uuid.bytes[8] = static_cast<uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);  // the variant of RFC 4122
    return uuid;
}
