#include "support/TheoraFixture.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

void AppendPage(std::vector<unsigned char>& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// Hands one packet to the stream, through the tamper hook when there is one.
void PacketIn(ogg_stream_state& stream, ogg_packet& packet, int index, const TheoraParams& params)
{
    if (!params.tamper) {
        ogg_stream_packetin(&stream, &packet);
        return;
    }
    std::vector<unsigned char> bytes(packet.packet, packet.packet + packet.bytes);
    params.tamper(index, bytes);
    ogg_packet changed = packet;
    changed.packet = bytes.data();
    changed.bytes = static_cast<long>(bytes.size());
    ogg_stream_packetin(&stream, &changed);  // copies the bytes
}

int RoundUpTo16(int n)
{
    return (n + 15) & ~15;
}

// The coded frame's planes: the picture at its offset, its edges repeated around it.
struct FramePlanes {
    int width, height;
    std::vector<std::uint8_t> y, u, v;

    FramePlanes(const TheoraParams& params)
        : width(RoundUpTo16(params.pictureX + params.width))
        , height(RoundUpTo16(params.pictureY + params.height))
        , y(static_cast<std::size_t>(width) * height)
        , u(static_cast<std::size_t>(width / 2) * (height / 2))
        , v(u.size())
    {
    }

    void Place(const YuvImage& picture, int offsetX, int offsetY)
    {
        for (int fy = 0; fy < height; ++fy)
            for (int fx = 0; fx < width; ++fx) {
                const int x = std::clamp(fx - offsetX, 0, picture.width - 1);
                const int row = std::clamp(fy - offsetY, 0, picture.height - 1);
                y[static_cast<std::size_t>(fy) * width + fx]
                    = picture.y[static_cast<std::size_t>(row) * picture.width + x];
            }
        for (int cy = 0; cy < height / 2; ++cy)
            for (int cx = 0; cx < width / 2; ++cx) {
                const int x = std::clamp((2 * cx - offsetX) / 2, 0, picture.ChromaWidth() - 1);
                const int row = std::clamp((2 * cy - offsetY) / 2, 0, picture.ChromaHeight() - 1);
                const std::size_t from = static_cast<std::size_t>(row) * picture.ChromaWidth() + x;
                const std::size_t to = static_cast<std::size_t>(cy) * (width / 2) + cx;
                u[to] = picture.u[from];
                v[to] = picture.v[from];
            }
    }

    void Describe(th_ycbcr_buffer buffer)
    {
        buffer[0] = {width, height, width, y.data()};
        buffer[1] = {width / 2, height / 2, width / 2, u.data()};
        buffer[2] = {width / 2, height / 2, width / 2, v.data()};
    }
};

}  // namespace

YuvImage::YuvImage(int width, int height)
    : width(width)
    , height(height)
    , y(static_cast<std::size_t>(width) * height)
    , u(static_cast<std::size_t>(ChromaWidth()) * ChromaHeight())
    , v(u.size())
{
}

void YuvImage::Fill(std::uint8_t luma, std::uint8_t cb, std::uint8_t cr)
{
    std::fill(y.begin(), y.end(), luma);
    std::fill(u.begin(), u.end(), cb);
    std::fill(v.begin(), v.end(), cr);
}

int FrameLuma(int frame)
{
    return 40 + (frame % 32) * 6;
}

int GreyOfLuma(int luma)
{
    return std::clamp(((luma - 16) * 74) >> 6, 0, 255);
}

int FrameOfPixel(std::uint32_t argb)
{
    const int green = static_cast<int>((argb >> 8) & 0xFF);
    int best = -1, distance = 3;
    for (int frame = 0; frame < 32; ++frame) {
        const int d = std::abs(GreyOfLuma(FrameLuma(frame)) - green);
        if (d < distance) {
            distance = d;
            best = frame;
        }
    }
    return best;
}

void BreakPacket(std::vector<unsigned char>& bytes)
{
    if (bytes.empty())
        bytes.push_back(0);
    bytes[0] |= 0x80;
}

std::vector<unsigned char> EncodeTheora(const TheoraParams& params)
{
    th_info info;
    th_info_init(&info);
    FramePlanes planes(params);
    info.frame_width = static_cast<ogg_uint32_t>(planes.width);
    info.frame_height = static_cast<ogg_uint32_t>(planes.height);
    info.pic_width = static_cast<ogg_uint32_t>(params.width);
    info.pic_height = static_cast<ogg_uint32_t>(params.height);
    info.pic_x = static_cast<ogg_uint32_t>(params.pictureX);
    info.pic_y = static_cast<ogg_uint32_t>(params.pictureY);
    info.fps_numerator = static_cast<ogg_uint32_t>(params.fpsNumerator);
    info.fps_denominator = static_cast<ogg_uint32_t>(params.fpsDenominator);
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = TH_PF_420;
    info.target_bitrate = 0;
    info.quality = params.quality;
    info.keyframe_granule_shift = 6;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    th_info_clear(&info);
    if (!encoder)
        throw std::runtime_error("EncodeTheora: the encoder refused the parameters");
    int interval = params.keyframeInterval;
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);
    if (params.fast) {
        int level = 0;
        th_encode_ctl(encoder, TH_ENCCTL_GET_SPLEVEL_MAX, &level, sizeof level);
        th_encode_ctl(encoder, TH_ENCCTL_SET_SPLEVEL, &level, sizeof level);
    }

    std::vector<unsigned char> out;
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x7e0a);
    ogg_page page;
    ogg_packet packet;
    th_comment comment;
    th_comment_init(&comment);
    // Each header on a page of its own, so tests can cut between them.
    int index = 0;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        PacketIn(stream, packet, index++, params);
        while (ogg_stream_flush(&stream, &page) > 0)
            AppendPage(out, page);
    }
    th_comment_clear(&comment);

    YuvImage picture(params.width, params.height);
    for (int frame = 0; frame < params.frames; ++frame) {
        if (params.paint)
            params.paint(frame, picture);
        else
            picture.Fill(static_cast<std::uint8_t>(FrameLuma(frame)), 128, 128);
        planes.Place(picture, params.pictureX, params.pictureY);
        th_ycbcr_buffer buffer;
        planes.Describe(buffer);
        if (th_encode_ycbcr_in(encoder, buffer) != 0) {
            th_encode_free(encoder);
            ogg_stream_clear(&stream);
            throw std::runtime_error("EncodeTheora: frame " + std::to_string(frame) + " refused");
        }
        const int last = frame + 1 == params.frames ? 1 : 0;
        while (th_encode_packetout(encoder, last, &packet) > 0) {
            PacketIn(stream, packet, index++, params);
            while (ogg_stream_pageout(&stream, &page) > 0)
                AppendPage(out, page);
        }
    }
    while (ogg_stream_flush(&stream, &page) > 0)
        AppendPage(out, page);
    ogg_stream_clear(&stream);
    th_encode_free(encoder);
    return out;
}

std::vector<OggPageSpan> OggPages(const std::vector<unsigned char>& file)
{
    std::vector<OggPageSpan> pages;
    std::size_t at = 0;
    while (at + 27 <= file.size() && std::memcmp(file.data() + at, "OggS", 4) == 0) {
        const std::size_t segments = file[at + 26];
        if (at + 27 + segments > file.size())
            break;
        std::size_t body = 0;
        for (std::size_t s = 0; s < segments; ++s)
            body += file[at + 27 + s];
        const std::size_t length = 27 + segments + body;
        if (at + length > file.size())
            break;
        pages.push_back({at, length});
        at += length;
    }
    return pages;
}

void RepairPageChecksum(std::vector<unsigned char>& file, const OggPageSpan& span)
{
    unsigned char* start = file.data() + span.offset;
    const long headerLength = 27 + start[26];
    ogg_page page;
    page.header = start;
    page.header_len = headerLength;
    page.body = start + headerLength;
    page.body_len = static_cast<long>(span.length) - headerLength;
    ogg_page_checksum_set(&page);
}
