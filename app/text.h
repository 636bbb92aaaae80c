// Bounded text helpers for fixed-size character buffers. Each keeps the
// buffer NUL-terminated and says whether all of the text fit.
// Portable: no <windows.h>, and no printf family, whose MinGW version alone
// would double the size of the program.
#pragma once

#include <cstddef>


bool copyText(char* buffer, std::size_t size, const char* text);
bool appendText(char* buffer, std::size_t size, const char* text);
// A number as "%d" writes it.
bool appendDecimal(char* buffer, std::size_t size, long value);

template <std::size_t N> bool copyText(char (&buffer)[N], const char* text) { return copyText(buffer, N, text); }
template <std::size_t N> bool appendText(char (&buffer)[N], const char* text) { return appendText(buffer, N, text); }
template <std::size_t N> bool appendDecimal(char (&buffer)[N], long value) { return appendDecimal(buffer, N, value); }
