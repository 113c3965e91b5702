#include "support/TheoraClip.h"

#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <algorithm>
#include <cstring>

namespace {

uint8_t Clamp(int value)
{
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// The video view's conversion: BT.601 studio range in 6-bit fixed point.
void ConvertPicture(const th_ycbcr_buffer buffer, const TheoraClip& clip, std::vector<uint8_t>& rgb)
{
    rgb.resize(static_cast<std::size_t>(clip.pictureWidth) * clip.pictureHeight * 3);
    for (int y = 0; y < clip.pictureHeight; ++y) {
        const int row = clip.pictureY + y;
        for (int x = 0; x < clip.pictureWidth; ++x) {
            const int column = clip.pictureX + x;
            const int luma = buffer[0].data[row * buffer[0].stride + column];
            const int u = buffer[1].data[(row / 2) * buffer[1].stride + column / 2] - 128;
            const int v = buffer[2].data[(row / 2) * buffer[2].stride + column / 2] - 128;
            const int scaled = (luma - 16) * 74;
            uint8_t* out = &rgb[(static_cast<std::size_t>(y) * clip.pictureWidth + x) * 3];
            out[0] = Clamp((scaled + 102 * v) >> 6);
            out[1] = Clamp((scaled - 25 * u - 52 * v) >> 6);
            out[2] = Clamp((scaled + 129 * u) >> 6);
        }
    }
}

struct Decoder {
    ogg_sync_state sync {};
    ogg_stream_state stream {};
    bool haveStream = false;
    th_info info {};
    th_comment comment {};
    th_setup_info* setup = nullptr;
    th_dec_ctx* context = nullptr;
    int headers = 0;

    Decoder()
    {
        ogg_sync_init(&sync);
        th_info_init(&info);
        th_comment_init(&comment);
    }
    ~Decoder()
    {
        if (context)
            th_decode_free(context);
        th_setup_free(setup);
        th_comment_clear(&comment);
        th_info_clear(&info);
        if (haveStream)
            ogg_stream_clear(&stream);
        ogg_sync_clear(&sync);
    }
};

// Takes every packet the Theora stream holds now: headers first, then frames.
bool TakePackets(Decoder& d, TheoraClip& clip, bool keepPictures)
{
    ogg_packet packet;
    int result;
    while ((result = ogg_stream_packetout(&d.stream, &packet)) != 0) {
        if (result < 0) {
            clip.error = "a gap in the Theora stream";
            return false;
        }
        if (d.headers < 3) {
            if (th_decode_headerin(&d.info, &d.comment, &d.setup, &packet) <= 0) {
                clip.error = "a broken Theora header";
                return false;
            }
            if (++d.headers == 3) {
                d.context = th_decode_alloc(&d.info, d.setup);
                if (!d.context) {
                    clip.error = "libtheora cannot decode with these headers";
                    return false;
                }
                clip.frameWidth = static_cast<int>(d.info.frame_width);
                clip.frameHeight = static_cast<int>(d.info.frame_height);
                clip.pictureWidth = static_cast<int>(d.info.pic_width);
                clip.pictureHeight = static_cast<int>(d.info.pic_height);
                clip.pictureX = static_cast<int>(d.info.pic_x);
                clip.pictureY = static_cast<int>(d.info.pic_y);
                clip.fpsNumerator = static_cast<int>(d.info.fps_numerator);
                clip.fpsDenominator = static_cast<int>(d.info.fps_denominator);
                clip.aspectNumerator = static_cast<int>(d.info.aspect_numerator);
                clip.aspectDenominator = static_cast<int>(d.info.aspect_denominator);
            }
            continue;
        }
        ogg_int64_t granule = 0;
        const int decoded = th_decode_packetin(d.context, &packet, &granule);
        if (decoded != 0 && decoded != TH_DUPFRAME) {
            clip.error = "frame " + std::to_string(clip.frames) + " does not decode";
            return false;
        }
        if (keepPictures) {
            th_ycbcr_buffer buffer;
            if (th_decode_ycbcr_out(d.context, buffer) != 0) {
                clip.error = "frame " + std::to_string(clip.frames) + " has no picture";
                return false;
            }
            clip.pictures.emplace_back();
            ConvertPicture(buffer, clip, clip.pictures.back());
        }
        ++clip.frames;
    }
    return true;
}

}  // namespace

TheoraClip DecodeTheoraClip(std::span<const unsigned char> bytes, bool keepPictures)
{
    TheoraClip clip;
    Decoder d;
    char* buffer = ogg_sync_buffer(&d.sync, static_cast<long>(bytes.size()));
    if (!buffer || bytes.empty()) {
        clip.error = "no data";
        return clip;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    ogg_sync_wrote(&d.sync, static_cast<long>(bytes.size()));
    ogg_page page;
    int result;
    while ((result = ogg_sync_pageout(&d.sync, &page)) != 0) {
        if (result < 0)
            continue;  // skipped bytes before a page: counted as broken below if no stream is found
        const int serial = ogg_page_serialno(&page);
        if (ogg_page_bos(&page)) {
            if (d.haveStream) {
                ++clip.otherStreams;
                continue;
            }
            ogg_stream_state probe;
            ogg_stream_init(&probe, serial);
            ogg_stream_pagein(&probe, &page);
            ogg_packet packet;
            const bool theora = ogg_stream_packetpeek(&probe, &packet) == 1 && packet.bytes >= 7
                && std::memcmp(packet.packet, "\x80theora", 7) == 0;
            ogg_stream_clear(&probe);
            if (!theora) {
                ++clip.otherStreams;
                continue;
            }
            ogg_stream_init(&d.stream, serial);
            d.haveStream = true;
            clip.serial = static_cast<uint32_t>(serial);
        }
        if (!d.haveStream || serial != static_cast<int>(clip.serial))
            continue;
        ogg_stream_pagein(&d.stream, &page);
        if (!TakePackets(d, clip, keepPictures))
            return clip;
        if (d.context && ogg_page_granulepos(&page) >= 0)
            clip.lastGranuleFrame = th_granule_frame(d.context, ogg_page_granulepos(&page));
    }
    if (!d.haveStream || !d.context) {
        clip.error = "no complete Theora stream";
        return clip;
    }
    clip.decoded = true;
    return clip;
}
