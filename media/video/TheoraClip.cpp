#include "media/video/TheoraClip.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// The sync layer takes the clip in pieces of this size.
constexpr std::size_t FeedSize = 8192;

[[noreturn]] void Fail(const char* text)
{
    throw std::runtime_error(text);
}

}  // namespace

TheoraClip::TheoraClip()
{
    ogg_sync_init(&sync);
    th_info_init(&info);
    th_comment_init(&comment);
}

TheoraClip::~TheoraClip()
{
    Close();
    ogg_sync_clear(&sync);
    th_info_clear(&info);
    th_comment_clear(&comment);
}

void TheoraClip::Open(const unsigned char* bytes, std::size_t count)
{
    Close();
    data = bytes;
    size = count;
    try {
        ReadHeaders();
    } catch (...) {
        Close();
        throw;
    }
}

void TheoraClip::Rewind()
{
    Open(data, size);
}

void TheoraClip::Close()
{
    if (decoder)
        th_decode_free(decoder);
    decoder = nullptr;
    if (setup)
        th_setup_free(setup);
    setup = nullptr;
    if (hasStream)
        ogg_stream_clear(&stream);
    hasStream = false;
    ogg_sync_reset(&sync);
    th_info_clear(&info);
    th_info_init(&info);
    th_comment_clear(&comment);
    th_comment_init(&comment);
    std::memset(yuv, 0, sizeof yuv);
    headers = 0;
    readPos = 0;
}

// ---------------------------------------------------------------------------
// Headers

void TheoraClip::ReadHeaders()
{
    FindTheoraStream();
    ReadOtherHeaders();
    CheckPictureSize();
    decoder = th_decode_alloc(&info, setup);
    if (!decoder)
        Fail("error during theora_decode_header (corrupt stream)");
    th_setup_free(setup);
    setup = nullptr;
}

void TheoraClip::FindTheoraStream()
{
    if (Feed() == 0)
        Fail("eof searched, terminate...");
    // Every logical stream opens with a beginning-of-stream page, all of them
    // before any other page; the first one carrying a Theora header is ours.
    for (;;) {
        if (!NextPage())
            Fail("eof searched, terminate...");
        if (!ogg_page_bos(&page)) {
            // Refused when it belongs to another stream; the packets come later.
            if (hasStream)
                ogg_stream_pagein(&stream, &page);
            return;
        }
        ogg_stream_state test;
        if (ogg_stream_init(&test, ogg_page_serialno(&page)) != 0)
            Fail("error during ogg_stream_init");
        if (ogg_stream_pagein(&test, &page) != 0) {
            ogg_stream_clear(&test);
            Fail("error during ogg_stream_pagein");
        }
        const int got = ogg_stream_packetout(&test, &packet);
        if (got < 0) {
            ogg_stream_clear(&test);
            Fail("error during ogg_stream_packetout");
        }
        if (!hasStream && got > 0 && th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
            stream = test;  // the state moves over: its buffers now belong to stream
            hasStream = true;
            headers = 1;
        } else {
            ogg_stream_clear(&test);
        }
    }
}

void TheoraClip::ReadOtherHeaders()
{
    // Without a Theora stream among the first pages none can follow.
    if (!hasStream)
        Fail("eof searched. terminate...");
    while (headers < 3) {
        while (headers < 3) {
            const int got = ogg_stream_packetout(&stream, &packet);
            if (got == 0)
                break;
            if (got < 0)
                Fail("error during ogg_stream_packetout");
            if (th_decode_headerin(&info, &comment, &setup, &packet) <= 0)
                Fail("error during theora_decode_header (corrupt stream)");
            ++headers;
        }
        if (headers == 3)
            break;
        if (!NextPage())
            Fail("eof searched. terminate...");
        ogg_stream_pagein(&stream, &page);
    }
}

void TheoraClip::CheckPictureSize() const
{
    const bool fits = info.frame_width <= MaxFrameSide && info.frame_height <= MaxFrameSide && info.pic_width > 0
        && info.pic_height > 0 && info.pic_x + info.pic_width <= info.frame_width
        && info.pic_y + info.pic_height <= info.frame_height;
    if (!fits)
        Fail("error during theora_decode_header (corrupt stream)");
}

// ---------------------------------------------------------------------------
// Pages and packets

std::size_t TheoraClip::Feed()
{
    const std::size_t count = std::min(size - readPos, FeedSize);
    if (count == 0)
        return 0;
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(count));
    if (!buffer)
        return 0;
    std::memcpy(buffer, data + readPos, count);
    ogg_sync_wrote(&sync, static_cast<long>(count));
    readPos += count;
    return count;
}

bool TheoraClip::NextPage()
{
    for (;;) {
        const int got = ogg_sync_pageout(&sync, &page);
        if (got > 0)
            return true;
        // Negative: bytes were skipped to find the next page; look again.
        if (got == 0 && Feed() == 0)
            return false;
    }
}

bool TheoraClip::NextPacket()
{
    for (;;) {
        const int got = ogg_stream_packetout(&stream, &packet);
        if (got > 0)
            return true;
        // Negative: packets were lost with a damaged page; the next one follows.
        if (got < 0)
            continue;
        if (!NextPage())
            return false;
        ogg_stream_pagein(&stream, &page);  // refused for pages of other streams
    }
}

// ---------------------------------------------------------------------------
// Frames

bool TheoraClip::NextFrame()
{
    if (!decoder || !NextPacket())
        return false;
    ogg_int64_t granule = 0;
    // A duplicate frame (an empty packet) is a success: the picture stays.
    if (th_decode_packetin(decoder, &packet, &granule) < 0)
        Fail("error during theora_decode_packetin...");
    if (th_decode_ycbcr_out(decoder, yuv) != 0)
        Fail("error during theora_decode_YUVout...");
    return true;
}

YuvFrame TheoraClip::Picture() const
{
    YuvFrame frame;
    YuvPlane* planes[3] = {&frame.y, &frame.u, &frame.v};
    for (int i = 0; i < 3; ++i)
        *planes[i] = {yuv[i].data, yuv[i].stride, yuv[i].width, yuv[i].height};
    frame.chromaShiftX = info.pixel_fmt == TH_PF_444 ? 0 : 1;
    frame.chromaShiftY = info.pixel_fmt == TH_PF_420 ? 1 : 0;
    return frame;
}

Rect TheoraClip::PictureRect() const
{
    const auto x = static_cast<int>(info.pic_x), y = static_cast<int>(info.pic_y);
    return {x, y, x + PictureWidth(), y + PictureHeight()};
}
