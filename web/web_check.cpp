#include "web/web_check.h"

#include <cstring>

const char kWebCheckHost[] = "www.msftconnecttest.com";
const char kWebCheckRequest[] =
    "GET /connecttest.txt HTTP/1.1\r\n"
    "Host: www.msftconnecttest.com\r\n"
    "Connection: close\r\n"
    "\r\n";

namespace {

const char kExpectedBody[] = "Microsoft Connect Test";
enum : std::size_t { kExpectedSize = sizeof kExpectedBody - 1 };
const char kHeaderEnd[] = "\r\n\r\n";

// What an answer says so far, and whether more bytes could change it.
struct Judgement {
    WebAnswer answer;
    bool final;
};

// Where the body begins, or 0 while the headers are not all there.
std::size_t bodyStart(const WebAnswerReader& reader)
{
    const std::size_t size = std::strlen(kHeaderEnd);
    for (std::size_t i = 0; i + size <= reader.length; ++i)
        if (std::memcmp(reader.bytes + i, kHeaderEnd, size) == 0)
            return i + size;
    return 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The status code of "HTTP/1.x NNN ...", or -1 where the first line is not that.
int statusCode(const WebAnswerReader& reader)
{
    const char* b = reader.bytes;
    if (reader.length < 13 || std::memcmp(b, "HTTP/1.", 7) != 0 || !isDigit(b[7]) || b[8] != ' ' ||
        !isDigit(b[9]) || !isDigit(b[10]) || !isDigit(b[11]) || (b[12] != ' ' && b[12] != '\r'))
        return -1;
    return (b[9] - '0') * 100 + (b[10] - '0') * 10 + (b[11] - '0');
}

// A header's value (blanks around it left out) as [start, end); false where
// the answer has no such header. name is lower case, with its colon.
bool headerValue(const WebAnswerReader& reader, std::size_t headersEnd, const char* name, std::size_t& start,
                 std::size_t& end)
{
    const std::size_t size = std::strlen(name);
    for (std::size_t i = 0; i + 2 + size <= headersEnd; ++i) {
        if (reader.bytes[i] != '\r' || reader.bytes[i + 1] != '\n')
            continue;
        std::size_t k = 0;
        while (k < size && lower(reader.bytes[i + 2 + k]) == name[k])
            ++k;
        if (k < size)
            continue;
        start = i + 2 + size;
        while (start < headersEnd && reader.bytes[start] == ' ')
            ++start;
        end = start;
        while (end < headersEnd && reader.bytes[end] != '\r')
            ++end;
        while (end > start && reader.bytes[end - 1] == ' ')
            --end;
        return true;
    }
    return false;
}

// Content-Length: -1 where there is none, -2 where it is not a number.
long contentLength(const WebAnswerReader& reader, std::size_t headersEnd)
{
    std::size_t at, end;
    if (!headerValue(reader, headersEnd, "content-length:", at, end))
        return -1;
    if (at == end)
        return -2;
    long value = 0;
    for (; at < end; ++at) {
        if (!isDigit(reader.bytes[at]))
            return -2;
        if (value < 1000000)  // larger is just as far from the page's size
            value = value * 10 + (reader.bytes[at] - '0');
    }
    return value;
}

bool isChunked(const WebAnswerReader& reader, std::size_t headersEnd)
{
    std::size_t at, end;
    if (!headerValue(reader, headersEnd, "transfer-encoding:", at, end))
        return false;
    const char chunked[] = "chunked";
    for (; at + sizeof chunked - 1 <= end; ++at) {
        std::size_t k = 0;
        while (k < sizeof chunked - 1 && lower(reader.bytes[at + k]) == chunked[k])
            ++k;
        if (k == sizeof chunked - 1)
            return true;
    }
    return false;
}

// The body as far as it has come: its first bytes (enough to compare with
// the page), its whole length so far, and whether it is all there.
struct Body {
    char start[kExpectedSize + 1];
    std::size_t length;
    bool complete;
    bool malformed;
};

void addBody(Body& body, const char* bytes, std::size_t length)
{
    for (std::size_t i = 0; i < length && body.length + i < sizeof body.start; ++i)
        body.start[body.length + i] = bytes[i];
    body.length += length;
}

int hexValue(char c)
{
    c = lower(c);
    return isDigit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Decodes "SIZE[;ext]\r\nDATA\r\n ... 0\r\n": proxies and scanners re-send
// pages that way. Stops where the bytes read end.
Body chunkedBody(const WebAnswerReader& reader, std::size_t at)
{
    Body body = {};
    const char* b = reader.bytes;
    for (;;) {
        std::size_t size = 0;
        std::size_t digits = 0;
        for (; at < reader.length && hexValue(b[at]) >= 0; ++at, ++digits)
            if (size < 0x1000000)
                size = size * 16 + static_cast<std::size_t>(hexValue(b[at]));
        std::size_t lineEnd = at;
        while (lineEnd < reader.length && b[lineEnd] != '\r' && b[lineEnd] != '\n')
            ++lineEnd;
        if (lineEnd + 1 >= reader.length)
            return body;  // the size line is not all there yet
        if (digits == 0 || (lineEnd > at && b[at] != ';' && b[at] != ' ') || b[lineEnd] != '\r' ||
            b[lineEnd + 1] != '\n') {
            body.malformed = true;
            return body;
        }
        at = lineEnd + 2;
        if (size == 0) {
            body.complete = true;  // trailers, if any, change nothing
            return body;
        }
        const std::size_t here = reader.length - at < size ? reader.length - at : size;
        addBody(body, b + at, here);
        at += here;
        if (here < size || at + 2 > reader.length)
            return body;
        if (b[at] != '\r' || b[at + 1] != '\n') {
            body.malformed = true;
            return body;
        }
        at += 2;
    }
}

// A body of a status 200: the internet's page, or another one.
Judgement judgeBody(const WebAnswerReader& reader, std::size_t headersEnd, bool closed)
{
    Body body = {};
    const long length = contentLength(reader, headersEnd);
    if (isChunked(reader, headersEnd)) {
        body = chunkedBody(reader, headersEnd);
    } else if (length == -2) {
        return {WebAnswer::None, true};  // a length that is no number: not understood
    } else {
        std::size_t available = reader.length - headersEnd;
        if (length >= 0 && static_cast<std::size_t>(length) <= available) {
            available = static_cast<std::size_t>(length);
            body.complete = true;
        }
        addBody(body, reader.bytes + headersEnd, available);
        body.complete = body.complete || closed;
        if (length >= 0 && static_cast<std::size_t>(length) != kExpectedSize)
            return {WebAnswer::Other, true};  // another page, however much of it came
    }
    if (body.malformed)
        return {WebAnswer::None, true};
    const bool startsAsExpected = body.length <= kExpectedSize &&
                                  std::memcmp(body.start, kExpectedBody, body.length) == 0;
    if (!startsAsExpected)
        return {WebAnswer::Other, true};  // another page, whether or not all of it came
    if (body.complete)
        return {body.length == kExpectedSize ? WebAnswer::Expected : WebAnswer::Other, true};
    return {WebAnswer::None, closed || reader.overflowed};  // cut off: no opinion
}

// A redirect, or 511 ("network authentication required": a portal that
// says so).
bool isSignInStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308 || status == 511;
}

// A sign-in status is decided by the status line alone: a portal's headers
// may run past the bytes read.
Judgement judge(const WebAnswerReader& reader, bool closed)
{
    const int status = statusCode(reader);
    if (isSignInStatus(status))
        return {WebAnswer::Other, true};
    const std::size_t headersEnd = bodyStart(reader);
    if (headersEnd == 0)
        return {WebAnswer::None, closed || reader.overflowed};  // headers that never ended
    if (status == 200)
        return judgeBody(reader, headersEnd, closed);
    return {WebAnswer::None, true};  // a server's or proxy's error, or no status line: no opinion
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
    return judge(reader, false).final;
}

WebAnswer judgeWebAnswer(const WebAnswerReader& reader, bool closed)
{
    return judge(reader, closed).answer;
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

ProxyAnswer judgeProxyReply(unsigned status, const char* body, std::size_t length)
{
    if (status == 200)
        return length == kExpectedSize && std::memcmp(body, kExpectedBody, kExpectedSize) == 0 ? ProxyAnswer::Reached
                                                                                               : ProxyAnswer::SignIn;
    if (isSignInStatus(static_cast<int>(status)))
        return ProxyAnswer::SignIn;
    if (status == 407)
        return ProxyAnswer::SignInAsked;
    return status >= 500 && status <= 504 ? ProxyAnswer::Cut : ProxyAnswer::NoOpinion;
}

namespace {

wchar_t lowerWide(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Whether [start, end) reads as the text, letter case aside.
bool sameWide(const wchar_t* start, const wchar_t* end, const char* text)
{
    for (; start < end && *text != 0; ++start, ++text)
        if (lowerWide(*start) != static_cast<wchar_t>(*text))
            return false;
    return start == end && *text == 0;
}

bool startsWithWide(const wchar_t* start, const wchar_t* end, const char* text)
{
    for (; *text != 0; ++start, ++text)
        if (start == end || lowerWide(*start) != static_cast<wchar_t>(*text))
            return false;
    return true;
}

bool isProxySeparator(wchar_t c)
{
    return c == L';' || c == L' ' || c == L'\t';
}

// The first entry of the list that plain HTTP goes by: "http=..." where the
// list is per scheme, else the first entry.
void httpProxyEntry(const wchar_t* list, const wchar_t*& start, const wchar_t*& end)
{
    const wchar_t* first = nullptr;
    const wchar_t* firstEnd = nullptr;
    for (const wchar_t* at = list; *at != 0;) {
        while (*at != 0 && isProxySeparator(*at))
            ++at;
        const wchar_t* entryEnd = at;
        while (*entryEnd != 0 && !isProxySeparator(*entryEnd))
            ++entryEnd;
        if (at == entryEnd)
            break;
        if (startsWithWide(at, entryEnd, "http=")) {
            start = at + 5;
            end = entryEnd;
            return;
        }
        if (first == nullptr) {
            first = at;
            firstEnd = entryEnd;
        }
        at = entryEnd;
    }
    bool perScheme = false;
    for (const wchar_t* at = first; at != nullptr && at < firstEnd; ++at)
        perScheme = perScheme || *at == L'=';
    start = perScheme ? nullptr : first;  // "https=..." alone does not carry plain HTTP
    end = perScheme ? nullptr : firstEnd;
}

// 127.x.y.z, written as digits and dots.
bool isLoopbackIpv4(const wchar_t* start, const wchar_t* end)
{
    int dots = 0;
    for (const wchar_t* at = start; at < end; ++at) {
        if (*at == L'.')
            ++dots;
        else if (*at < L'0' || *at > L'9')
            return false;
    }
    return dots == 3 && startsWithWide(start, end, "127.") && end[-1] != L'.';
}

} // namespace

bool proxyOnThisComputer(const wchar_t* proxyList)
{
    const wchar_t *start = nullptr, *end = nullptr;
    if (proxyList == nullptr)
        return false;
    httpProxyEntry(proxyList, start, end);
    if (start == nullptr)
        return false;
    if (startsWithWide(start, end, "http://"))
        start += 7;
    // The host ends at the port's colon, or, bracketed (IPv6), at its bracket.
    const wchar_t* hostEnd = start;
    if (start < end && *start == L'[') {
        ++start;
        for (hostEnd = start; hostEnd < end && *hostEnd != L']'; ++hostEnd) {
        }
    } else {
        while (hostEnd < end && *hostEnd != L':' && *hostEnd != L'/')
            ++hostEnd;
    }
    return sameWide(start, hostEnd, "localhost") || sameWide(start, hostEnd, "::1") ||
           isLoopbackIpv4(start, hostEnd);
}

ProxyAnswer proxyAnswerThatCounts(ProxyAnswer answer, bool onThisComputer)
{
    if (!onThisComputer || answer == ProxyAnswer::Reached || answer == ProxyAnswer::NoProxy ||
        answer == ProxyAnswer::Unasked)
        return answer;
    return ProxyAnswer::Unreachable;
}
