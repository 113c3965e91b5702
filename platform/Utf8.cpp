#include "platform/Utf8.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Bytes that follow a lead byte, or -1 for a byte that cannot start a character.
int ContinuationCount(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if ((lead >> 5) == 0x6)
        return 1;
    if ((lead >> 4) == 0xE)
        return 2;
    if ((lead >> 3) == 0x1E)
        return 3;
    return -1;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = ContinuationCount(lead);
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    const std::u32string decoded = DecodeUtf8(text);
    if constexpr (sizeof(wchar_t) >= 4) {
        return std::wstring(decoded.begin(), decoded.end());
    } else {
        // UTF-16 (Windows): a code point beyond the first plane becomes a surrogate pair.
        std::wstring out;
        out.reserve(decoded.size());
        for (char32_t c : decoded) {
            if (c < 0x10000) {
                out.push_back(static_cast<wchar_t>(c));
            } else {
                c -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            }
        }
        return out;
    }
}

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (IsLowSurrogate(low)) {
                c = JoinSurrogates(c, low);
                ++i;
            }
        }
        if (IsSurrogate(c) || c > 0x10FFFF)
            c = Replacement;
        AppendUtf8(out, c);
    }
    return out;
}
