#include "support/VorbisFixture.h"

#include <vorbis/vorbisenc.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace {

constexpr double Pi = 3.14159265358979323846;

void AppendPage(std::vector<unsigned char>& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

float Sample(const VorbisParams& params, int channel, std::int64_t frame, std::minstd_rand& noise)
{
    const double t = static_cast<double>(frame) / params.rate;
    const double base = params.frequency * (channel == 0 ? 1.0 : 1.5);
    if (!params.rich)
        return static_cast<float>(params.amplitude * std::sin(2 * Pi * base * t));
    // A chord that changes every quarter second, each note with three overtones.
    static constexpr double Steps[] = {1.0, 1.25, 1.5, 1.335, 1.125, 1.0};
    const double root = base * Steps[static_cast<std::size_t>(t * 4) % std::size(Steps)];
    double value = 0;
    for (double note : {1.0, 1.26, 1.5})
        for (int overtone = 1; overtone <= 4; ++overtone)
            value += std::sin(2 * Pi * root * note * overtone * t) / (overtone * 3.0);
    value += (static_cast<double>(noise() % 2001) - 1000.0) / 1000.0 * 0.05;
    return static_cast<float>(params.amplitude * value / 2.5);
}

}  // namespace

std::vector<unsigned char> EncodeVorbis(const VorbisParams& params)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, params.channels, params.rate, params.quality) != 0) {
        vorbis_info_clear(&info);
        throw std::invalid_argument("EncodeVorbis: libvorbisenc refuses this format");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, params.serial);

    std::vector<unsigned char> out;
    ogg_page page;
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(out, page);

    std::minstd_rand noise(7);
    constexpr int Chunk = 1024;
    std::int64_t written = 0;
    bool finished = false;
    while (!finished) {
        const auto count = static_cast<int>(std::min<std::int64_t>(Chunk, params.frames - written));
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffers = vorbis_analysis_buffer(&dsp, count);
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < params.channels; ++c)
                    buffers[c][i] = Sample(params, c, written + i, noise);
            vorbis_analysis_wrote(&dsp, count);
            written += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    AppendPage(out, page);
                    if (ogg_page_eos(&page))
                        finished = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::filesystem::path WriteTemporaryFile(const std::vector<unsigned char>& bytes, std::string_view stem)
{
    static std::atomic<int> counter {0};
    const auto path = std::filesystem::temp_directory_path()
        / (std::string(stem) + "-" + std::to_string(std::random_device()()) + "-" + std::to_string(counter++) + ".ogg");
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("WriteTemporaryFile: cannot write " + path.string());
    return path;
}
