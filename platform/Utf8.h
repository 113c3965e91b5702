#pragma once
// UTF-8 at the program's edges: wide strings leave the program as UTF-8 (file
// names, the window title, the debug log) and typed text arrives as UTF-8.
// Broken sequences decode to U+FFFD; nothing here fails.

#include <string>
#include <string_view>

// The code points of text; each broken sequence becomes one U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
std::wstring FromUtf8(std::string_view text);
// Wide text (which may still carry UTF-16 surrogate pairs) to UTF-8; a lone
// surrogate or an out-of-range value becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// UTF-16 surrogates: a character above U+FFFF travels as a high unit
// (D800 to DBFF) followed by a low one (DC00 to DFFF). Typed text and the
// workbook's XML library speak UTF-16; the program's wide text holds whole
// characters.
constexpr bool IsHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}
constexpr bool IsLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit < 0xE000;
}
constexpr bool IsSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit < 0xE000;
}
// The character of a high and a low surrogate.
constexpr char32_t JoinSurrogates(char32_t high, char32_t low)
{
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
struct SurrogatePair {
    char16_t high;
    char16_t low;
};
// The two units of a character from U+10000 to U+10FFFF.
constexpr SurrogatePair SplitSurrogates(char32_t c)
{
    const char32_t offset = c - 0x10000;
    return {static_cast<char16_t>(0xD800 + (offset >> 10)), static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
}
