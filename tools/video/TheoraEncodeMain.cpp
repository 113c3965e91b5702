// zv_theora_encode: turns a sequence of pictures into an Ogg Theora clip without sound, for data/.
//
//   zv_theora_encode --size 320x240 --fps 12 [--aspect 6:5] [--quality 48] [--keyframe-interval 64]
//                    [--serial 0x5A580000] [--title TEXT] --output clip.ogv INPUT...
//
// INPUT is a PNG file, a folder (its *.png files in name order), or "-" for raw RGB frames (width * height * 3
// bytes each, rows from the top) on standard input. The clip is written to a temporary file beside the
// output and renamed when complete, so a failed run leaves no half-written clip. Exit status 0 on success,
// 1 when encoding fails, 2 for wrong arguments.

#include "tools/video/PngFrame.h"
#include "tools/video/TheoraEncoder.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Usage
    = "usage: zv_theora_encode --size WxH --fps N[/D] [--aspect N:D] [--quality 0-63] [--keyframe-interval N]\n"
      "                        [--serial N] [--title TEXT] --output FILE.ogv INPUT...\n"
      "INPUT: PNG files, folders of PNG files (name order), or - for raw RGB frames on standard input\n";

struct Options {
    TheoraSettings settings;
    std::string output;
    std::vector<std::string> inputs;
};

bool ParseInt(std::string_view text, long long low, long long high, long long& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return problem == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// "A<sep>B" into two positive integers; a lone "A" gives B = 1 when `alone` allows it.
bool ParsePair(std::string_view text, char separator, bool alone, int& first, int& second)
{
    const std::size_t at = text.find(separator);
    long long a = 0, b = 1;
    if (at == std::string_view::npos) {
        if (!alone || !ParseInt(text, 1, 1 << 30, a))
            return false;
    } else if (!ParseInt(text.substr(0, at), 1, 1 << 30, a) || !ParseInt(text.substr(at + 1), 1, 1 << 30, b)) {
        return false;
    }
    first = static_cast<int>(a);
    second = static_cast<int>(b);
    return true;
}

bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    bool haveSize = false, haveFps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.size() < 2 || argument.substr(0, 2) != "--" || argument == "--") {
            options.inputs.emplace_back(argument);
            continue;
        }
        if (i + 1 >= argc) {
            error = std::string(argument) + " needs a value";
            return false;
        }
        const std::string_view value = argv[++i];
        long long number = 0;
        TheoraSettings& s = options.settings;
        if (argument == "--size") {
            haveSize = ParsePair(value, 'x', false, s.width, s.height);
            if (!haveSize) {
                error = "--size wants WIDTHxHEIGHT, not '" + std::string(value) + "'";
                return false;
            }
        } else if (argument == "--fps") {
            haveFps = ParsePair(value, '/', true, s.fpsNumerator, s.fpsDenominator);
            if (!haveFps) {
                error = "--fps wants N or N/D, not '" + std::string(value) + "'";
                return false;
            }
        } else if (argument == "--aspect") {
            if (!ParsePair(value, ':', false, s.aspectNumerator, s.aspectDenominator)) {
                error = "--aspect wants N:D, not '" + std::string(value) + "'";
                return false;
            }
        } else if (argument == "--quality") {
            if (!ParseInt(value, 0, 63, number)) {
                error = "--quality wants 0 to 63, not '" + std::string(value) + "'";
                return false;
            }
            s.quality = static_cast<int>(number);
        } else if (argument == "--keyframe-interval") {
            if (!ParseInt(value, 1, 1 << 20, number)) {
                error = "--keyframe-interval wants 1 to 1048576, not '" + std::string(value) + "'";
                return false;
            }
            s.keyframeInterval = static_cast<int>(number);
        } else if (argument == "--serial") {
            if (!ParseInt(value, 0, 0xFFFFFFFFLL, number)) {
                error = "--serial wants a 32-bit number, not '" + std::string(value) + "'";
                return false;
            }
            s.serial = static_cast<uint32_t>(number);
        } else if (argument == "--title") {
            s.title = value;
        } else if (argument == "--output") {
            options.output = value;
        } else {
            error = "unknown option " + std::string(argument);
            return false;
        }
    }
    if (!haveSize || !haveFps || options.output.empty() || options.inputs.empty()) {
        error = "--size, --fps, --output and at least one input are required";
        return false;
    }
    return true;
}

// The pictures named by the inputs, folders expanded; "-" stays as it is.
bool ListFrames(const std::vector<std::string>& inputs, std::vector<std::string>& frames, std::string& error)
{
    for (const std::string& input : inputs) {
        std::error_code code;
        if (input != "-" && fs::is_directory(input, code)) {
            std::vector<std::string> folder;
            for (const fs::directory_entry& entry : fs::directory_iterator(input, code))
                if (entry.path().extension() == ".png")
                    folder.push_back(entry.path().string());
            if (code) {
                error = input + ": " + code.message();
                return false;
            }
            std::sort(folder.begin(), folder.end());
            if (folder.empty()) {
                error = input + ": no .png files in this folder";
                return false;
            }
            frames.insert(frames.end(), folder.begin(), folder.end());
        } else {
            frames.push_back(input);
        }
    }
    return true;
}

struct FileCloser {
    void operator()(FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};

int Encode(const Options& options)
{
    std::vector<std::string> frames;
    std::string error;
    if (!ListFrames(options.inputs, frames, error)) {
        std::cerr << "zv_theora_encode: " << error << "\n";
        return 1;
    }
    const std::string temporary = options.output + ".part";
    std::unique_ptr<FILE, FileCloser> out(std::fopen(temporary.c_str(), "wb"));
    if (!out) {
        std::cerr << "zv_theora_encode: cannot write " << temporary << "\n";
        return 1;
    }
    TheoraEncoder encoder(
        [&out](const unsigned char* data, std::size_t size) { return std::fwrite(data, 1, size, out.get()) == size; });
    auto fail = [&](const std::string& message) {
        std::cerr << "zv_theora_encode: " << message << "\n";
        out.reset();
        std::remove(temporary.c_str());
        return 1;
    };
    const TheoraSettings& settings = options.settings;
    if (!encoder.Begin(settings))
        return fail(encoder.Error());
    const std::size_t frameBytes = static_cast<std::size_t>(settings.width) * settings.height * 3;
    std::vector<uint8_t> rgb;
    for (const std::string& frame : frames) {
        if (frame == "-") {
            rgb.resize(frameBytes);
            for (;;) {
                const std::size_t got = std::fread(rgb.data(), 1, frameBytes, stdin);
                if (got == 0)
                    break;
                if (got != frameBytes)
                    return fail("standard input ended inside a frame (" + std::to_string(got) + " of "
                        + std::to_string(frameBytes) + " bytes)");
                if (!encoder.AddFrame(rgb))
                    return fail(encoder.Error());
            }
            continue;
        }
        if (!ReadPngFrame(frame, settings.width, settings.height, rgb, error))
            return fail(error);
        if (!encoder.AddFrame(rgb))
            return fail(encoder.Error());
    }
    if (!encoder.Finish())
        return fail(encoder.Error());
    if (std::fflush(out.get()) != 0 || std::ferror(out.get()))
        return fail("cannot write " + temporary);
    out.reset();
    std::error_code code;
    fs::rename(temporary, options.output, code);
    if (code)
        return fail("cannot rename " + temporary + " to " + options.output + ": " + code.message());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::cerr << "zv_theora_encode: " << error << "\n" << Usage;
        return 2;
    }
    return Encode(options);
}
