#include "core/text.h"

namespace {

// The length of the text in the buffer, or size - 1 (after terminating it
// there) when the buffer holds no NUL at all.
template <typename Char> std::size_t usedLength(Char* buffer, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        if (buffer[i] == Char(0))
            return i;
    buffer[size - 1] = Char(0);
    return size - 1;
}

// Appends each character of text as convert turns it.
template <typename To, typename From, typename Convert>
bool appendConverted(To* buffer, std::size_t size, const From* text, Convert convert)
{
    if (size == 0)
        return false;
    std::size_t used = usedLength(buffer, size);
    for (; *text != From(0); ++text) {
        if (used + 1 >= size) {
            buffer[used] = To(0);
            return false;
        }
        buffer[used++] = convert(*text);
    }
    buffer[used] = To(0);
    return true;
}

template <typename Char> Char same(Char c) { return c; }

char asciiOrQuestionMark(wchar_t c)
{
    return c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
}

wchar_t widenedAscii(char c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x80 ? static_cast<wchar_t>(byte) : L'?';
}

template <typename To, typename From, typename Convert>
bool copyConverted(To* buffer, std::size_t size, const From* text, Convert convert)
{
    if (size == 0)
        return false;
    buffer[0] = To(0);
    return appendConverted(buffer, size, text, convert);
}

} // namespace

bool copyText(char* buffer, std::size_t size, const char* text)
{
    return copyConverted(buffer, size, text, same<char>);
}

bool appendText(char* buffer, std::size_t size, const char* text)
{
    return appendConverted(buffer, size, text, same<char>);
}

bool copyText(wchar_t* buffer, std::size_t size, const wchar_t* text)
{
    return copyConverted(buffer, size, text, same<wchar_t>);
}

bool appendText(wchar_t* buffer, std::size_t size, const wchar_t* text)
{
    return appendConverted(buffer, size, text, same<wchar_t>);
}

bool narrowAsciiText(char* buffer, std::size_t size, const wchar_t* text)
{
    return copyConverted(buffer, size, text, asciiOrQuestionMark);
}

bool widenAsciiText(wchar_t* buffer, std::size_t size, const char* text)
{
    return copyConverted(buffer, size, text, widenedAscii);
}

bool appendDecimal(char* buffer, std::size_t size, long value)
{
    char digits[24];
    char* p = digits + sizeof digits;
    *--p = '\0';
    // Works on the negative side, where every long value fits.
    long rest = value < 0 ? value : -value;
    do {
        *--p = static_cast<char>('0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        *--p = '-';
    return appendText(buffer, size, p);
}

bool appendTwoDigits(char* buffer, std::size_t size, long value)
{
    if (value >= 0 && value < 10 && !appendText(buffer, size, "0"))
        return false;
    return appendDecimal(buffer, size, value);
}
