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
