#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "web/web_check.h"

namespace {

const std::string kAnswer =
    "HTTP/1.1 200 OK\r\nCache-Control: no-cache\r\nContent-Length: 22\r\nContent-Type: text/plain\r\n"
    "\r\nMicrosoft Connect Test";

// The answer as it arrives in reads of the given size; complete: read to its
// end, or only until the reader says it has enough.
WebAnswer judged(const std::string& answer, size_t readSize, bool closed, bool* complete = nullptr)
{
    static WebAnswerReader reader;
    reader = {};
    for (size_t at = 0; at < answer.size() && !webAnswerComplete(reader); at += readSize)
        addWebAnswerBytes(reader, answer.data() + at, std::min(readSize, answer.size() - at));
    if (complete != nullptr)
        *complete = webAnswerComplete(reader);
    return judgeWebAnswer(reader, closed);
}

TEST(WebCheck, TheRequestIsOneShortPlainGet)
{
    EXPECT_STREQ(kWebCheckRequest,
                 "GET /connecttest.txt HTTP/1.1\r\nHost: www.msftconnecttest.com\r\nConnection: close\r\n\r\n");
    EXPECT_STREQ(kSignInPageAddress, "http://www.msftconnecttest.com/redirect");
}

TEST(WebCheck, TheExpectedAnswerWholeOrSplitAcrossReads)
{
    bool complete = false;
    EXPECT_EQ(judged(kAnswer, 4096, true), WebAnswer::Expected);
    EXPECT_EQ(judged(kAnswer, 1, false, &complete), WebAnswer::Expected) << "byte by byte, judged by its length";
    EXPECT_TRUE(complete);
    EXPECT_EQ(judged("HTTP/1.0 200 OK\r\n\r\nMicrosoft Connect Test", 7, true), WebAnswer::Expected)
        << "no length: the end of the connection ends the body";
    EXPECT_EQ(judged(kAnswer.substr(0, kAnswer.size() - 3), 5, false, &complete), WebAnswer::None)
        << "out of time in the middle of the body: no opinion";
    EXPECT_FALSE(complete);
}

TEST(WebCheck, ThePageSentInChunksIsTheInternet)
{
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
                                "a;name=x\r\nMicrosoft \r\nC\r\nConnect Test\r\n0\r\n\r\n";
    bool complete = false;
    EXPECT_EQ(judged(chunked, 3, false, &complete), WebAnswer::Expected);
    EXPECT_TRUE(complete) << "the last chunk ends it";
    EXPECT_EQ(judged(chunked.substr(0, chunked.size() - 7), 4096, false, &complete), WebAnswer::None)
        << "the last chunk not there yet";
    EXPECT_FALSE(complete);
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n16\r\nMicrosoft Connect Tesx\r\n0\r\n\r\n",
                     4096, false), WebAnswer::Other);
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nMicrosoft Connect Test\r\n0\r\n\r\n",
                     4096, true), WebAnswer::None) << "a chunk size that is no number: not understood";
}

TEST(WebCheck, ARedirectA511OrAnotherPageIsASignInPage)
{
    for (const char* status : {"301 Moved", "302 Found", "303 See Other", "307 Temporary", "308 Permanent",
                               "511 Network Authentication Required"})
        EXPECT_EQ(judged(std::string("HTTP/1.1 ") + status + "\r\nLocation: http://portal.example/\r\n\r\n", 10, false),
                  WebAnswer::Other) << status << ", even while the connection stays open";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\n<html>login</", 4096, true), WebAnswer::Other)
        << "the right status, another body";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\n\r\nMicrosoft Connect Test and more", 4096, true), WebAnswer::Other);
    std::string huge = "HTTP/1.1 200 OK\r\n\r\n" + std::string(3000, 'x');
    bool complete = false;
    EXPECT_EQ(judged(huge, 1000, false, &complete), WebAnswer::Other) << "a login page larger than the reader";
    EXPECT_TRUE(complete) << "and reading stops there";
}

TEST(WebCheck, ErrorsAndAnswersNotUnderstoodHaveNoOpinion)
{
    EXPECT_EQ(judged("", 1, true), WebAnswer::None) << "closed at once";
    EXPECT_EQ(judged("", 1, false), WebAnswer::None) << "out of time";
    EXPECT_EQ(judged("HTTP/1.1 200", 4096, false), WebAnswer::None) << "out of time in the status line";
    for (const char* status : {"404 Not Found", "500 Internal Server Error", "503 Service Unavailable", "204 No Content"})
        EXPECT_EQ(judged(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 5\r\n\r\nerror", 4096, true),
                  WebAnswer::None) << status;
    EXPECT_EQ(judged("HTTP/1.1 2000 OK\r\n\r\nMicrosoft Connect Test", 4096, true), WebAnswer::None);
    EXPECT_EQ(judged("Microsoft Connect Test", 4096, true), WebAnswer::None) << "no status line";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nContent-Length: 22\r\n", 4096, true), WebAnswer::None)
        << "closed before its headers ended";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nContent-Length: 2x\r\n\r\nMicrosoft Connect Test", 4096, true), WebAnswer::None)
        << "a malformed length is not read as a number";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\nMicrosoft Connect Test", 4096, true), WebAnswer::None)
        << "nor an empty one as 0";
}

TEST(WebCheck, ARedirectIsDecidedByItsStatusLineHoweverLongItsHeaders)
{
    const std::string head = "HTTP/1.1 302 Found\r\nX-Proxy: ";
    const std::string tail = "\r\n\r\n";
    const std::string over = head + std::string(kMaxWebAnswerBytes + 1 - head.size() - tail.size(), 'p') + tail;
    bool complete = false;
    EXPECT_EQ(judged(over, 512, false, &complete), WebAnswer::Other);
    EXPECT_TRUE(complete);
    EXPECT_EQ(judged("HTTP/1.1 511\r", 4096, false, &complete), WebAnswer::Other) << "the status line alone";
    EXPECT_TRUE(complete);
    const std::string page = "HTTP/1.1 200 OK\r\nX-Proxy: " + std::string(kMaxWebAnswerBytes, 'p') + tail;
    EXPECT_EQ(judged(page, 512, false, &complete), WebAnswer::None) << "a 200 whose headers' end was never read";
    EXPECT_TRUE(complete) << "and nothing more is read";
}

TEST(WebCheck, EdgesOfTheStatusLineTheChunksAndTheLength)
{
    bool complete = false;
    EXPECT_EQ(judged("HTTP/1.1 200\r\nContent-Length: 22\r\n\r\nMicrosoft Connect Test", 4096, false),
              WebAnswer::Expected) << "a status line without its reason phrase";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n16\r", 4096, false, &complete),
                     WebAnswer::None) << "cut right after a size line's CR";
    EXPECT_FALSE(complete) << "its LF may still come";
    EXPECT_EQ(judged("HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\nMicrosoft Connect Test", 4096, false, &complete),
              WebAnswer::Other) << "another length is another page, however it begins";
    EXPECT_TRUE(complete);
}

TEST(WebCheck, DueAfterChangesWhileASignInPageIsShownAndHourly)
{
    WebCheckSchedule schedule = {};
    const uint32_t t = 0xFFFFFF00u;  // across the clock's wrap
    EXPECT_TRUE(webCheckDue(schedule, Connected, false, false, t)) << "the first Connected of the run";
    noteWebCheck(schedule, t);
    EXPECT_FALSE(webCheckDue(schedule, Connected, false, false, t + 60000));
    EXPECT_TRUE(webCheckDue(schedule, Broken, false, false, t + 60000)) << "a change to Connected";
    EXPECT_TRUE(webCheckDue(schedule, Broken, true, false, t + 65000)) << "every probe while signed out";
    EXPECT_TRUE(webCheckDue(schedule, Connected, true, false, t + 66000)) << "the sign-in flag alone";
    EXPECT_TRUE(webCheckDue(schedule, Connected, false, true, t + 70000)) << "a network change or resume";
    EXPECT_FALSE(webCheckDue(schedule, Connected, false, false, t + 3599999));
    EXPECT_TRUE(webCheckDue(schedule, Connected, false, false, t + 3600000)) << "once an hour";
}

TEST(WebCheck, TheProxysAnswers)
{
    const char page[] = "Microsoft Connect Test";
    EXPECT_EQ(judgeProxyReply(200, page, 22), ProxyAnswer::Reached);
    EXPECT_EQ(judgeProxyReply(200, page, 21), ProxyAnswer::SignIn) << "the page cut short";
    EXPECT_EQ(judgeProxyReply(200, "<html>Blocked</html>", 20), ProxyAnswer::SignIn);
    for (unsigned status : {301u, 302u, 303u, 307u, 308u, 511u})
        EXPECT_EQ(judgeProxyReply(status, page, 22), ProxyAnswer::SignIn) << status;
    for (unsigned status : {500u, 501u, 502u, 503u, 504u})
        EXPECT_EQ(judgeProxyReply(status, page, 22), ProxyAnswer::Cut) << status << ", the status first";
    EXPECT_EQ(judgeProxyReply(407, "", 0), ProxyAnswer::SignInAsked) << "credentials not met";
    for (unsigned status : {204u, 304u, 400u, 403u, 499u, 505u})
        EXPECT_EQ(judgeProxyReply(status, page, 22), ProxyAnswer::NoOpinion) << status;
}

TEST(WebCheck, AProxyOnThisComputerIsKnownByItsHostAndNamesNoCause)
{
    for (const wchar_t* local : {L"127.0.0.1:8888", L"localhost:3128", L"LocalHost", L"http://127.1.2.3:80",
                                 L"[::1]:8080", L"https=10.0.0.1:443;http=127.0.0.1:8888", L" 127.0.0.1:1 "})
        EXPECT_TRUE(proxyOnThisComputer(local)) << static_cast<int>(local[0]);
    for (const wchar_t* remote : {L"192.0.2.254:3128", L"proxy.example:8080", L"127.example.com:80",
                                  L"localhost.example:3128", L"http=10.0.0.1:80;https=127.0.0.1:1",
                                  L"https=127.0.0.1:1", L"[2001:db8::1]:3128", L"", L"127.:8"})
        EXPECT_FALSE(proxyOnThisComputer(remote)) << static_cast<int>(remote[0]);
    EXPECT_FALSE(proxyOnThisComputer(nullptr));

    EXPECT_EQ(proxyAnswerThatCounts(ProxyAnswer::Reached, true), ProxyAnswer::Reached);
    for (ProxyAnswer error : {ProxyAnswer::Cut, ProxyAnswer::SignIn, ProxyAnswer::SignInAsked, ProxyAnswer::NoOpinion})
        EXPECT_EQ(proxyAnswerThatCounts(error, true), ProxyAnswer::Unreachable) << static_cast<int>(error);
    EXPECT_EQ(proxyAnswerThatCounts(ProxyAnswer::Cut, false), ProxyAnswer::Cut);
}

} // namespace
