#include "tools/video/TheoraEncoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int MaxSide = 16384;  // far beyond any clip; keeps the buffer arithmetic well inside int

int RoundUp16(int value)
{
    return (value + 15) & ~15;
}

// BT.601 studio range in 8-bit fixed point: the inverse of the video view's conversion.
uint8_t Luma(int r, int g, int b)
{
    return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

uint8_t BlueDifference(int r, int g, int b)
{
    return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}

uint8_t RedDifference(int r, int g, int b)
{
    return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// Repeats the last column and the last row of a plane into its padding.
void PadPlane(std::vector<uint8_t>& plane, int width, int height, int codedWidth, int codedHeight)
{
    for (int row = 0; row < height; ++row) {
        uint8_t* line = &plane[static_cast<std::size_t>(row) * codedWidth];
        std::fill(line + width, line + codedWidth, line[width - 1]);
    }
    const uint8_t* last = &plane[static_cast<std::size_t>(height - 1) * codedWidth];
    for (int row = height; row < codedHeight; ++row)
        std::memcpy(&plane[static_cast<std::size_t>(row) * codedWidth], last, codedWidth);
}

}  // namespace

TheoraEncoder::TheoraEncoder(Sink sink)
    : sink(std::move(sink))
{
}

TheoraEncoder::~TheoraEncoder()
{
    if (encoder)
        th_encode_free(encoder);
    if (streamReady)
        ogg_stream_clear(&stream);
}

bool TheoraEncoder::Fail(const std::string& message)
{
    error = message;
    return false;
}

bool TheoraEncoder::Begin(const TheoraSettings& wanted)
{
    if (encoder || finished)
        return Fail("the encoder has already begun");
    if (wanted.width <= 0 || wanted.height <= 0 || wanted.width > MaxSide || wanted.height > MaxSide)
        return Fail("the picture size must be between 1 and 16384 pixels each way");
    if (wanted.width % 2 != 0 || wanted.height % 2 != 0)
        return Fail("the picture width and height must be even (the colour is stored for 2 x 2 pixels)");
    if (wanted.fpsNumerator <= 0 || wanted.fpsDenominator <= 0)
        return Fail("the frame rate must be a positive fraction");
    if (wanted.aspectNumerator <= 0 || wanted.aspectDenominator <= 0)
        return Fail("the pixel aspect must be a positive fraction");
    if (wanted.quality < 0 || wanted.quality > 63)
        return Fail("the quality must be between 0 and 63");
    if (wanted.keyframeInterval < 1 || wanted.keyframeInterval > 1 << 20)
        return Fail("the key frame interval must be between 1 and 1048576 frames");
    settings = wanted;
    codedWidth = RoundUp16(settings.width);
    codedHeight = RoundUp16(settings.height);

    th_info info;
    th_info_init(&info);
    info.frame_width = codedWidth;
    info.frame_height = codedHeight;
    info.pic_width = settings.width;
    info.pic_height = settings.height;
    info.pic_x = 0;
    info.pic_y = 0;  // the picture at the top, so a decoder that ignores the offset still shows it right
    info.fps_numerator = settings.fpsNumerator;
    info.fps_denominator = settings.fpsDenominator;
    info.aspect_numerator = settings.aspectNumerator;
    info.aspect_denominator = settings.aspectDenominator;
    info.colorspace = TH_CS_ITU_REC_470BG;
    info.pixel_fmt = TH_PF_420;
    info.target_bitrate = 0;
    info.quality = settings.quality;
    // Room for the interval asked for: the granule position holds the frames since the last key frame.
    info.keyframe_granule_shift = 1;
    while ((1 << info.keyframe_granule_shift) < settings.keyframeInterval)
        ++info.keyframe_granule_shift;
    encoder = th_encode_alloc(&info);
    th_info_clear(&info);
    if (!encoder)
        return Fail("libtheora refused the settings");
    ogg_uint32_t interval = static_cast<ogg_uint32_t>(settings.keyframeInterval);
    if (th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval) != 0)
        return Fail("libtheora refused the key frame interval");

    if (ogg_stream_init(&stream, static_cast<int>(settings.serial)) != 0)
        return Fail("cannot set up the Ogg stream");
    streamReady = true;

    th_comment comment;
    th_comment_init(&comment);
    if (!settings.title.empty()) {
        // libtheora copies both strings but declares them mutable.
        std::string tag = "TITLE", value = settings.title;
        th_comment_add_tag(&comment, tag.data(), value.data());
    }
    // The first header packet must be alone on the first page; the other two follow on pages of their own,
    // flushed before any frame, as the Theora mapping into Ogg requires.
    bool first = true;
    bool written = true;
    ogg_packet packet;
    int result;
    while ((result = th_encode_flushheader(encoder, &comment, &packet)) > 0) {
        ogg_stream_packetin(&stream, &packet);
        if (first) {
            written = WritePages(true);
            first = false;
        }
        if (!written)
            break;
    }
    th_comment_clear(&comment);
    if (result < 0)
        return Fail("libtheora could not make the header packets");
    return written && WritePages(true);
}

bool TheoraEncoder::AddFrame(const std::vector<uint8_t>& rgb)
{
    if (!encoder || finished)
        return Fail("frames can only be added between Begin and Finish");
    if (rgb.size() != static_cast<std::size_t>(settings.width) * settings.height * 3)
        return Fail("a frame has " + std::to_string(rgb.size()) + " bytes, not width x height x 3");
    if (holding && !EncodeHeld(false))
        return false;
    held = rgb;
    holding = true;
    ++framesAdded;
    return true;
}

bool TheoraEncoder::Finish()
{
    if (!encoder || finished)
        return Fail("Finish needs a begun encoder");
    if (!holding)
        return Fail("a stream needs one frame at least");
    finished = true;
    if (!EncodeHeld(true))
        return false;
    holding = false;
    return WritePages(true);
}

bool TheoraEncoder::EncodeHeld(bool last)
{
    ConvertPicture(held, settings.width, settings.height, codedWidth, codedHeight, planeY, planeCb, planeCr);
    th_ycbcr_buffer buffer;
    buffer[0] = {codedWidth, codedHeight, codedWidth, planeY.data()};
    buffer[1] = {codedWidth / 2, codedHeight / 2, codedWidth / 2, planeCb.data()};
    buffer[2] = {codedWidth / 2, codedHeight / 2, codedWidth / 2, planeCr.data()};
    if (th_encode_ycbcr_in(encoder, buffer) != 0)
        return Fail("libtheora refused a frame");
    ogg_packet packet;
    int result;
    while ((result = th_encode_packetout(encoder, last ? 1 : 0, &packet)) > 0) {
        ogg_stream_packetin(&stream, &packet);
        if (!WritePages(false))
            return false;
    }
    if (result < 0)
        return Fail("libtheora could not encode a frame");
    return true;
}

bool TheoraEncoder::WritePages(bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (!sink(page.header, static_cast<std::size_t>(page.header_len))
            || !sink(page.body, static_cast<std::size_t>(page.body_len)))
            return Fail("the output could not take the pages");
    }
    return true;
}

void TheoraEncoder::ConvertPicture(const std::vector<uint8_t>& rgb, int width, int height, int codedWidth,
    int codedHeight, std::vector<uint8_t>& y, std::vector<uint8_t>& cb, std::vector<uint8_t>& cr)
{
    const int chromaWidth = codedWidth / 2;
    const int chromaHeight = codedHeight / 2;
    y.assign(static_cast<std::size_t>(codedWidth) * codedHeight, 0);
    cb.assign(static_cast<std::size_t>(chromaWidth) * chromaHeight, 0);
    cr.assign(static_cast<std::size_t>(chromaWidth) * chromaHeight, 0);
    for (int row = 0; row < height; ++row) {
        const uint8_t* in = &rgb[static_cast<std::size_t>(row) * width * 3];
        uint8_t* out = &y[static_cast<std::size_t>(row) * codedWidth];
        for (int column = 0; column < width; ++column, in += 3)
            out[column] = Luma(in[0], in[1], in[2]);
    }
    for (int row = 0; row < height / 2; ++row) {
        for (int column = 0; column < width / 2; ++column) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t* in = &rgb[((static_cast<std::size_t>(row) * 2 + dy) * width + column * 2 + dx) * 3];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += in[c];
                }
            const int r = (sum[0] + 2) / 4, g = (sum[1] + 2) / 4, b = (sum[2] + 2) / 4;
            const std::size_t at = static_cast<std::size_t>(row) * chromaWidth + column;
            cb[at] = BlueDifference(r, g, b);
            cr[at] = RedDifference(r, g, b);
        }
    }
    PadPlane(y, width, height, codedWidth, codedHeight);
    PadPlane(cb, width / 2, height / 2, chromaWidth, chromaHeight);
    PadPlane(cr, width / 2, height / 2, chromaWidth, chromaHeight);
}
