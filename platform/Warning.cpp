#include "platform/Warning.h"

#include <SDL.h>

#include <clocale>
#include <cstdio>
#include <mutex>
#include <string>

void OutputWarning(std::string_view utf8)
{
    static std::mutex outputMutex;
    std::lock_guard lock(outputMutex);
    std::fputs("zvonkary: ", stderr);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

namespace {

// The text in lines of at most `width` characters, broken between words: the X11 box does not wrap.
std::string Wrapped(std::string_view utf8, std::size_t width)
{
    std::string out;
    std::size_t lineLength = 0;  // characters, not bytes
    while (!utf8.empty()) {
        const std::size_t space = utf8.find(' ');
        const std::string_view word = utf8.substr(0, space);
        std::size_t wordLength = 0;
        for (char c : word)
            wordLength += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (lineLength > 0 && lineLength + 1 + wordLength > width) {
            out += '\n';
            lineLength = 0;
        } else if (lineLength > 0) {
            out += ' ';
            ++lineLength;
        }
        out += word;
        lineLength += wordLength;
        utf8 = space == std::string_view::npos ? std::string_view() : utf8.substr(space + 1);
    }
    return out;
}

}  // namespace

void ShowWarningWindow(std::string_view utf8Title, std::string_view utf8Text)
{
    // X11 draws the box's text in the locale's encoding: the program's texts are UTF-8, whatever the session's
    // locale says. The program is on its way out, so nothing else depends on the locale any more.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "");
    const std::string title(utf8Title);
    const std::string text = Wrapped(utf8Text, 60);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title.c_str(), text.c_str(), nullptr);
}
