#include "monitor/web_check.h"

#include <cstring>

const char kWebCheckHost[] = "www.msftconnecttest.com";
const char kWebCheckRequest[] =
    "GET /connecttest.txt HTTP/1.1\r\n"
    "Host: www.msftconnecttest.com\r\n"
    "Connection: close\r\n"
    "\r\n";
const char kSignInPageAddress[] = "http://www.msftconnecttest.com/redirect";

namespace {

const char kExpectedBody[] = "Microsoft Connect Test";
const char kHeaderEnd[] = "\r\n\r\n";

// Where the body begins, or 0 while the headers are not all there.
std::size_t bodyStart(const WebAnswerReader& reader)
{
    const std::size_t size = std::strlen(kHeaderEnd);
    for (std::size_t i = 0; i + size <= reader.length; ++i)
        if (std::memcmp(reader.bytes + i, kHeaderEnd, size) == 0)
            return i + size;
    return 0;
}

bool startsWith(const char* text, std::size_t length, const char* prefix)
{
    const std::size_t size = std::strlen(prefix);
    return length >= size && std::memcmp(text, prefix, size) == 0;
}

// "HTTP/1.x 200 ..." on the first line.
bool statusIsOk(const WebAnswerReader& reader)
{
    return startsWith(reader.bytes, reader.length, "HTTP/1.") && reader.length >= 12 && reader.bytes[8] == ' ' &&
           std::memcmp(reader.bytes + 9, "200", 3) == 0 && (reader.length == 12 || reader.bytes[12] == ' ' ||
                                                            reader.bytes[12] == '\r');
}

bool lowerEquals(char a, char b)
{
    return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
}

// The Content-Length header's value, or -1 where there is none.
long contentLength(const WebAnswerReader& reader, std::size_t headersEnd)
{
    const char name[] = "\r\ncontent-length:";
    const std::size_t size = sizeof name - 1;
    for (std::size_t i = 0; i + size <= headersEnd; ++i) {
        std::size_t k = 0;
        while (k < size && lowerEquals(reader.bytes[i + k], name[k]))
            ++k;
        if (k < size)
            continue;
        std::size_t at = i + size;
        while (at < headersEnd && reader.bytes[at] == ' ')
            ++at;
        long value = 0;
        bool digits = false;
        while (at < headersEnd && reader.bytes[at] >= '0' && reader.bytes[at] <= '9' && value < 100000) {
            value = value * 10 + (reader.bytes[at++] - '0');
            digits = true;
        }
        return digits ? value : -1;
    }
    return -1;
}

} // namespace

void addWebAnswerBytes(WebAnswerReader& reader, const char* bytes, std::size_t length)
{
    const std::size_t room = sizeof reader.bytes - reader.length;
    if (length > room) {
        reader.overflowed = true;
        length = room;
    }
    std::memcpy(reader.bytes + reader.length, bytes, length);
    reader.length += length;
}

bool webAnswerComplete(const WebAnswerReader& reader)
{
    if (reader.overflowed)
        return true;
    const std::size_t body = bodyStart(reader);
    if (body == 0)
        return false;
    const long expected = contentLength(reader, body);
    return !statusIsOk(reader) || (expected >= 0 && reader.length - body >= static_cast<std::size_t>(expected));
}

WebAnswer judgeWebAnswer(const WebAnswerReader& reader, bool closed)
{
    if (reader.length == 0)
        return WebAnswer::None;
    if (reader.overflowed)
        return WebAnswer::Other;  // far more than the page holds
    const std::size_t body = bodyStart(reader);
    if (body == 0)
        return closed ? WebAnswer::Other : WebAnswer::None;  // cut off before its headers ended
    if (!statusIsOk(reader))
        return WebAnswer::Other;
    std::size_t bodyLength = reader.length - body;
    const long expected = contentLength(reader, body);
    if (expected >= 0 && static_cast<std::size_t>(expected) <= bodyLength)
        bodyLength = static_cast<std::size_t>(expected);
    else if (!closed)
        return WebAnswer::None;  // out of time in the middle of the body
    const std::size_t size = sizeof kExpectedBody - 1;
    return bodyLength == size && std::memcmp(reader.bytes + body, kExpectedBody, size) == 0 ? WebAnswer::Expected
                                                                                           : WebAnswer::Other;
}

bool webCheckDue(const WebCheckSchedule& schedule, LinkState shown, bool signInShown, bool networkChanged,
                 uint32_t nowMs)
{
    return !schedule.checkedBefore || shown == Broken || signInShown || networkChanged ||
           nowMs - schedule.lastCheckMs >= kWebCheckSpacingMs;
}

void noteWebCheck(WebCheckSchedule& schedule, uint32_t nowMs)
{
    schedule.checkedBefore = true;
    schedule.lastCheckMs = nowMs;
}
