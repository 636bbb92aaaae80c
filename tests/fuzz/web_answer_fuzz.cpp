// libFuzzer: any bytes as a web answer, arriving in reads of any size, must be
// judged without reading past what was given or past the reader's buffer, and
// an answer judged as the internet's must hold its page.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "web/web_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the size of the reads, the rest is the answer.
    const size_t readSize = 1 + data[0] % 64;
    ++data;
    --size;
    static WebAnswerReader reader;
    reader = {};
    for (size_t at = 0; at < size && !webAnswerComplete(reader); at += readSize) {
        const size_t length = size - at < readSize ? size - at : readSize;
        std::vector<char> piece(data + at, data + at + length);  // exact, so a read past it is caught
        addWebAnswerBytes(reader, piece.data(), piece.size());
    }
    if (reader.length > kMaxWebAnswerBytes)
        abort();
    for (bool closed : {false, true})
        if (judgeWebAnswer(reader, closed) == WebAnswer::Expected &&
            !std::memchr(reader.bytes, 'M', reader.length))
            abort();
    return 0;
}
