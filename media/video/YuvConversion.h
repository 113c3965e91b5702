#pragma once
// Colour conversion of decoded video pictures (Y'CbCr, studio range) into
// the B, G, R, 0 pixels of an X8R8G8B8 texture, in fixed 16-bit saturating
// arithmetic: y = (Y - 16) * 74, R = (y + 102 (V - 128)) >> 6,
// G = (y - 25 (U - 128) - 52 (V - 128)) >> 6, B = (y + 129 (U - 128)) >> 6,
// each clamped to 0..255.
//
// The SSE2 version converts 8 pixels of 2 rows at a time; the plain version
// is there for machines without SSE2. Both write identical bytes: the
// picture, and on the right of it the columns up to the next multiple of 16
// where the texture row and the decoded planes both have room (the decoder's
// frames are padded to 16, so this costs nothing and saves a tail loop).

#include "events/Geometry.h"

#include <cstddef>
#include <cstdint>

// One plane of a decoded frame.
struct YuvPlane {
    const std::uint8_t* data = nullptr;  // the top-left sample
    std::ptrdiff_t stride = 0;           // bytes from a row to the one below; negative when stored bottom-up
    int width = 0;                       // samples per row
    int height = 0;                      // rows
};

// A decoded frame: the luma plane and the two chroma planes with their decimation.
struct YuvFrame {
    YuvPlane y;            // luma
    YuvPlane u;            // Cb
    YuvPlane v;            // Cr
    int chromaShiftX = 1;  // log2 of luma columns per chroma column: 1 for 4:2:0 and 4:2:2, 0 for 4:4:4
    int chromaShiftY = 1;  // log2 of luma rows per chroma row: 1 for 4:2:0, 0 otherwise
};

// Converts `picture` (a rectangle of the frame in luma samples) into bits,
// whose rows are pitch bytes apart, starting at its top-left corner; writes at
// most `rows` rows and pitch / 4 pixels a row. The part of `picture` outside
// the planes is left out.
void ConvertYuvToXrgb(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows);

// The two versions behind ConvertYuvToXrgb, for the tests and the benchmark.
void ConvertYuvToXrgbPlain(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows);
#if defined(__SSE2__)
#define ZV_HAVE_SSE2_CONVERSION 1
void ConvertYuvToXrgbSse2(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows);
#endif
