#include "reporting/CodePage.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>

using namespace XERCES_CPP_NAMESPACE;

namespace {

constexpr char Unrepresentable = '?';
// The first of the Unicode pictures of the C0 control characters.
constexpr wchar_t ControlPictures = 0x2400;

// XML 1.0 admits no C0 control but these three, not even as a character reference.
bool XmlCanCarry(wchar_t c)
{
    return c >= 0x20 || c == L'\t' || c == L'\n' || c == L'\r';
}

}  // namespace

CodePage::CodePage()
{
    XMLTransService::Codes result = XMLTransService::Ok;
    transcoder.reset(XMLPlatformUtils::fgTransService->makeNewTranscoderFor("windows-1251", result, 1024));
    if (!transcoder || result != XMLTransService::Ok)
        throw std::runtime_error("the XML library has no windows-1251 transcoder");

    // The narrowing table is read off the transcoder itself, so that narrowing and widening can never disagree.
    for (int byte = 1; byte < 256; ++byte) {
        const XMLByte source = static_cast<XMLByte>(byte);
        XMLCh target = 0;
        XMLSize_t eaten = 0;
        unsigned char size = 0;
        try {
            if (transcoder->transcodeFrom(&source, 1, &target, 1, eaten, &size) != 1)
                continue;
        } catch (const XMLException&) {
            continue;  // a byte the code page leaves undefined
        }
        if (target == 0xFFFD || target == 0x1A)
            continue;  // the transcoder's own stand-ins for an undefined byte
        byteToChar[byte] = target;
        charToByte.emplace_back(target, static_cast<char>(byte));
    }
    std::sort(charToByte.begin(), charToByte.end());
}

CodePage::~CodePage() = default;

std::string CodePage::Narrow(std::wstring_view text) const
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'"')
            c = L'\'';
        // A character beyond the basic plane is one code point where wchar_t is 32 bits wide, a UTF-16 pair where it
        // is 16 (Windows): either way one character the code page cannot hold.
        if (i + 1 < text.size() && IsHighSurrogate(static_cast<char32_t>(c))
            && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            bytes.push_back(Unrepresentable);
            ++i;
            continue;
        }
        const std::int64_t code = c;
        if (!XmlCanCarry(c) || code < 0 || code > 0xFFFF) {
            bytes.push_back(Unrepresentable);
            continue;
        }
        if (c < 0x80 && byteToChar[c] == static_cast<char16_t>(c)) {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        const auto found = std::lower_bound(charToByte.begin(), charToByte.end(),
            std::pair(static_cast<char16_t>(c), '\0'), [](const auto& a, const auto& b) { return a.first < b.first; });
        bytes.push_back(found != charToByte.end() && found->first == c ? found->second : Unrepresentable);
    }
    return bytes;
}

std::u16string CodePage::NameToUtf16(std::wstring_view name) const
{
    // What narrowing would change must not make two names one: a double quote stays itself, and a control character
    // an XML file cannot carry becomes its picture (U+2400 and on), which no one types.
    std::wstring kept(name);
    for (wchar_t& c : kept)
        if (!XmlCanCarry(c))
            c = static_cast<wchar_t>(ControlPictures + c);
    std::string narrowed;
    narrowed.reserve(kept.size());
    bool exact = true;
    for (std::size_t i = 0; exact && i < kept.size(); ++i) {
        const wchar_t c = kept[i];
        const std::string one = c == L'"' ? std::string(1, '"') : Narrow(std::wstring_view(&kept[i], 1));
        exact = one[0] != Unrepresentable || c == L'?';
        narrowed += one;
    }
    if (exact)
        return ToUtf16(narrowed);
    std::u16string text;
    text.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const wchar_t c = kept[i];
        const std::int64_t code = c;  // wchar_t is 16 bits wide on Windows, 32 elsewhere
        const bool isSurrogate = IsSurrogate(static_cast<char32_t>(c));
        if (isSurrogate && IsHighSurrogate(static_cast<char32_t>(c)) && i + 1 < kept.size()
            && IsLowSurrogate(static_cast<char32_t>(kept[i + 1]))) {
            // A pair of a 16-bit wide string (Windows): already UTF-16.
            text.push_back(static_cast<char16_t>(c));
            text.push_back(static_cast<char16_t>(kept[++i]));
        } else if (code < 0 || code > 0x10FFFF || isSurrogate || code == 0xFFFE || code == 0xFFFF) {
            text.push_back(u'?');
        } else if (code > 0xFFFF) {
            const SurrogatePair pair = SplitSurrogates(static_cast<char32_t>(c));
            text.push_back(pair.high);
            text.push_back(pair.low);
        } else {
            text.push_back(static_cast<char16_t>(c));
        }
    }
    return text;
}

std::u16string CodePage::ToUtf16(std::string_view bytes) const
{
    // A single-byte code page gives exactly one UTF-16 unit per byte.
    std::u16string text(bytes.size(), u'\0');
    std::vector<unsigned char> sizes(bytes.size());
    XMLSize_t done = 0;
    while (done < bytes.size()) {
        XMLSize_t eaten = 0;
        const XMLSize_t made = transcoder->transcodeFrom(reinterpret_cast<const XMLByte*>(bytes.data()) + done,
            bytes.size() - done, text.data() + done, bytes.size() - done, eaten, sizes.data() + done);
        if (eaten == 0 || made != eaten)
            break;
        done += eaten;
    }
    text.resize(done);
    return text;
}

std::wstring CodePage::ToWide(std::string_view bytes) const
{
    const std::u16string text = ToUtf16(bytes);
    return std::wstring(text.begin(), text.end());
}
