#pragma once
// Encodes RGB pictures into an Ogg Theora stream without a sound track, the form of the clips the video view
// plays. The same pictures and settings always give the same bytes: the Ogg serial number is a setting, and
// libtheora's encoder uses no clock and no randomness.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

struct TheoraSettings {
    int width = 0;              // picture size in pixels, both even; the coded frame is rounded up to 16
    int height = 0;             //
    int fpsNumerator = 25;      // frames per second, as a fraction
    int fpsDenominator = 1;     //
    int aspectNumerator = 1;    // shape of one pixel as the picture is meant to be seen (width : height)
    int aspectDenominator = 1;  //
    int quality = 48;           // libtheora's quality scale, 0 (smallest) to 63 (best)
    int keyframeInterval = 64;  // at most this many frames from one key frame to the next
    uint32_t serial = 0;        // Ogg serial number of the stream
    std::string title;          // the TITLE comment, when not empty
};

class TheoraEncoder {
public:
    // Receives the Ogg pages as they are made; returns false when it cannot take them (a full disk).
    using Sink = std::function<bool(const unsigned char* data, std::size_t size)>;

    explicit TheoraEncoder(Sink sink);
    ~TheoraEncoder();
    TheoraEncoder(const TheoraEncoder&) = delete;
    TheoraEncoder& operator=(const TheoraEncoder&) = delete;

    // Checks the settings and writes the three header packets. False (with Error()) on bad settings.
    bool Begin(const TheoraSettings& settings);
    // One picture: width * height RGB triplets, rows from the top. The picture is held back until the next
    // one arrives (or Finish), because the last frame's packet carries the end-of-stream mark.
    bool AddFrame(const std::vector<uint8_t>& rgb);
    // Encodes the held picture as the last frame and writes the final page. A stream needs one frame at least.
    bool Finish();

    int FramesAdded() const { return framesAdded; }
    const std::string& Error() const { return error; }

    // BT.601 studio-range Y'CbCr of an RGB picture, 4:2:0 (each chroma sample the mean of its 2 x 2 block),
    // into planes of the coded size, the picture at the top left and its edges repeated into the padding.
    static void ConvertPicture(const std::vector<uint8_t>& rgb, int width, int height, int codedWidth, int codedHeight,
        std::vector<uint8_t>& y, std::vector<uint8_t>& cb, std::vector<uint8_t>& cr);

private:
    bool Fail(const std::string& message);
    bool EncodeHeld(bool last);
    bool WritePages(bool flush);

    Sink sink;                // where pages go
    TheoraSettings settings;  // as given to Begin
    th_enc_ctx* encoder = nullptr;
    ogg_stream_state stream {};   // packs packets into pages; valid while streamReady
    bool streamReady = false;     //
    int codedWidth = 0;           // frame size as coded: the picture size rounded up to 16
    int codedHeight = 0;          //
    std::vector<uint8_t> held;    // the picture waiting to be encoded (RGB)
    bool holding = false;         //
    bool finished = false;        // Finish has run; nothing more may be added
    int framesAdded = 0;          //
    std::vector<uint8_t> planeY;  // conversion buffers, reused for every frame
    std::vector<uint8_t> planeCb;
    std::vector<uint8_t> planeCr;
    std::string error;  // what went wrong last
};
