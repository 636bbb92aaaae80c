#include "app/text.h"

#include <cstring>

bool copyText(char* buffer, std::size_t size, const char* text)
{
    if (size == 0)
        return false;
    buffer[0] = '\0';
    return appendText(buffer, size, text);
}

bool appendText(char* buffer, std::size_t size, const char* text)
{
    if (size == 0)
        return false;
    std::size_t used = std::strlen(buffer);
    for (; *text != '\0'; ++text) {
        if (used + 1 >= size) {
            buffer[used] = '\0';
            return false;
        }
        buffer[used++] = *text;
    }
    buffer[used] = '\0';
    return true;
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
