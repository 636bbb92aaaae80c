// Bounded text helpers for fixed-size character buffers, for single-byte
// text and for the wide text of paths. Each keeps the buffer NUL-terminated
// and says whether all of the text fit.
// Portable: no <windows.h>, and no printf family, whose MinGW version alone
// would double the size of the program.
#pragma once

#include <cstddef>

// A destination that holds no NUL within its size is taken as full: it is
// terminated at its last character and nothing more is appended.
bool copyText(char* buffer, std::size_t size, const char* text);
bool appendText(char* buffer, std::size_t size, const char* text);
bool copyText(wchar_t* buffer, std::size_t size, const wchar_t* text);
bool appendText(wchar_t* buffer, std::size_t size, const wchar_t* text);
// A number as "%d" writes it; and as "%02d" does (dates and times).
bool appendDecimal(char* buffer, std::size_t size, long value);
bool appendTwoDigits(char* buffer, std::size_t size, long value);

// Wide text to single-byte text and back for values that are plain ASCII
// (numbers, "yes"); any other character becomes '?'.
bool narrowAsciiText(char* buffer, std::size_t size, const wchar_t* text);
bool widenAsciiText(wchar_t* buffer, std::size_t size, const char* text);

template <typename Char, std::size_t N> bool copyText(Char (&buffer)[N], const Char* text)
{
    return copyText(buffer, N, text);
}
template <typename Char, std::size_t N> bool appendText(Char (&buffer)[N], const Char* text)
{
    return appendText(buffer, N, text);
}
template <std::size_t N> bool appendDecimal(char (&buffer)[N], long value) { return appendDecimal(buffer, N, value); }
template <std::size_t N> bool appendTwoDigits(char (&buffer)[N], long value)
{
    return appendTwoDigits(buffer, N, value);
}
template <std::size_t N> bool narrowAsciiText(char (&buffer)[N], const wchar_t* text)
{
    return narrowAsciiText(buffer, N, text);
}
template <std::size_t N> bool widenAsciiText(wchar_t (&buffer)[N], const char* text)
{
    return widenAsciiText(buffer, N, text);
}
