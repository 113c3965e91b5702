#pragma once
// Small Ogg Theora clips made on the fly with libtheoraenc, for tests,
// fuzzing seeds and benchmarks that must not wait for the program's own
// media, and helpers to take the pages of a clip apart and damage them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// A picture in Y'CbCr 4:2:0: chroma planes of half the size, rounded up.
struct YuvImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y;  // width x height
    std::vector<std::uint8_t> u;  // ChromaWidth() x ChromaHeight(), Cb
    std::vector<std::uint8_t> v;  // the same, Cr

    YuvImage() = default;
    YuvImage(int width, int height);
    int ChromaWidth() const { return (width + 1) / 2; }
    int ChromaHeight() const { return (height + 1) / 2; }
    void Fill(std::uint8_t luma, std::uint8_t cb, std::uint8_t cr);
};

struct TheoraParams {
    int width = 64;  // picture size
    int height = 48;
    int pictureX = 0;  // the picture's place in the coded frame, 0 to 255 (odd ones too)
    int pictureY = 0;
    int frames = 10;
    int fpsNumerator = 25;  // frame rate written into the header
    int fpsDenominator = 1;
    int quality = 63;   // 0 to 63; 63 keeps flat colours within a step or two
    bool fast = false;  // the encoder's fastest mode (large clips in benchmarks)
    int keyframeInterval = 64;
    // Paints frame k; by default a flat grey of luma FrameLuma(k).
    std::function<void(int frame, YuvImage& picture)> paint;
    // Sees every packet before it is paged: 0 to 2 are the headers, 3 + k frame k.
    std::function<void(int packet, std::vector<unsigned char>& bytes)> tamper;
};

// The complete Ogg Theora file.
std::vector<unsigned char> EncodeTheora(const TheoraParams& params);

// The luma of frame k of the default painting: 32 values 6 apart, from 40.
int FrameLuma(int frame);
// The grey (0 to 255) the conversion makes of luma with neutral chroma.
int GreyOfLuma(int luma);
// The frame (0 to 31) of the default painting whose grey lies nearest to the
// pixel's green channel; -1 for a pixel more than 2 away from every one.
int FrameOfPixel(std::uint32_t argb);

// Makes a tamper hook's packet one the decoder must reject (a header packet
// where a frame belongs).
void BreakPacket(std::vector<unsigned char>& bytes);

// Where each Ogg page of a file starts and how long it is.
struct OggPageSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};
std::vector<OggPageSpan> OggPages(const std::vector<unsigned char>& file);
// Recomputes the checksum of the page at offset after it was changed.
void RepairPageChecksum(std::vector<unsigned char>& file, const OggPageSpan& page);
