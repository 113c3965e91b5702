#pragma once
// An Ogg Theora clip held in memory, decoded frame by frame: the Ogg sync and
// stream layers find the first Theora logical stream and hand its packets to
// libtheora's decoder. Damaged data raises std::runtime_error with one of the
// texts below. A header error leaves the clip closed; after a frame error it
// stays open, and Rewind starts it again.
//
// Header errors, in the order the headers are read:
//   "eof searched, terminate..."       the data ended before any non-header page (empty, not Ogg)
//   "error during ogg_stream_init"
//   "error during ogg_stream_pagein"
//   "error during ogg_stream_packetout"
//   "error during theora_decode_header (corrupt stream)"   also for pictures over MaxFrameSide a side
//   "eof searched. terminate..."       the data ended before three Theora headers (no Theora, truncated)
// Frame errors:
//   "error during theora_decode_packetin..."
//   "error during theora_decode_YUVout..."

#include "events/Geometry.h"
#include "media/video/YuvConversion.h"

#include <cstddef>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

class TheoraClip {
public:
    // Frames larger than this a side are refused: nothing the program shows
    // comes near, and a forged header must not make it allocate gigabytes.
    static constexpr int MaxFrameSide = 2048;

    TheoraClip();
    ~TheoraClip();
    TheoraClip(const TheoraClip&) = delete;
    TheoraClip& operator=(const TheoraClip&) = delete;

    // Reads the headers of data[0, size) and sets up the decoder. The bytes are
    // not copied: they must stay valid while the clip is open.
    void Open(const unsigned char* data, std::size_t size);
    // Starts again from the first frame, reading the headers anew.
    void Rewind();
    // Decodes the next frame into Picture(); false at the end of the data.
    bool NextFrame();
    // Releases the decoder and the Ogg state; Open may follow.
    void Close();

    bool IsOpen() const { return decoder != nullptr; }
    // The last decoded frame (planes of the coded frame size). Valid after NextFrame returned true.
    YuvFrame Picture() const;
    // The visible part of the coded frame, in luma samples.
    Rect PictureRect() const;
    int PictureWidth() const { return static_cast<int>(info.pic_width); }
    int PictureHeight() const { return static_cast<int>(info.pic_height); }

private:
    void ReadHeaders();
    void FindTheoraStream();  // first stage: the beginning-of-stream pages
    void ReadOtherHeaders();  // second stage: the comment and setup headers
    void CheckPictureSize() const;
    std::size_t Feed();  // hands the next piece of data to the sync layer; 0 at the end
    bool NextPage();     // the next page out of the sync layer, feeding at need; false at the end
    bool NextPacket();   // the next packet of the Theora stream; false at the end of the data

    ogg_stream_state stream {};           // the Theora logical stream, once found
    bool hasStream = false;               // stream is initialised
    ogg_sync_state sync {};               // pages out of the raw bytes
    ogg_page page {};                     // the page last taken from sync
    ogg_packet packet {};                 // the packet last taken from stream
    th_comment comment {};                // the comment header
    th_info info {};                      // the identification header: sizes, frame rate, pixel format
    th_setup_info* setup = nullptr;       // the setup header, until the decoder exists
    th_dec_ctx* decoder = nullptr;        // null while closed
    th_ycbcr_buffer yuv {};               // the last decoded frame
    int headers = 0;                      // Theora headers read so far (three make a clip)
    const unsigned char* data = nullptr;  // the clip, owned by the caller
    std::size_t size = 0;
    std::size_t readPos = 0;  // bytes of data handed to sync so far
};
