#pragma once
// Decodes a whole Ogg Theora clip held in memory with libtheora, for the tests of the clips in data/ and
// of the clip encoder: the header facts, the frame count and, when asked, every picture as RGB converted
// the way the video view converts it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct TheoraClip {
    bool decoded = false;                        // headers and every frame decoded without an error
    std::string error;                           // why not, otherwise
    uint32_t serial = 0;                         // Ogg serial number of the Theora stream
    int frameWidth = 0;                          // coded size, multiples of 16
    int frameHeight = 0;                         //
    int pictureWidth = 0;                        // the picture inside it
    int pictureHeight = 0;                       //
    int pictureX = 0;                            // its offset from the top left
    int pictureY = 0;                            //
    int fpsNumerator = 0;                        //
    int fpsDenominator = 0;                      //
    int aspectNumerator = 0;                     //
    int aspectDenominator = 0;                   //
    int frames = 0;                              // data packets, one per frame
    int otherStreams = 0;                        // logical streams that are not Theora (a sound track would be one)
    int64_t lastGranuleFrame = -1;               // frame number of the last page's granule position
    std::vector<std::vector<uint8_t>> pictures;  // per frame, pictureWidth * pictureHeight * 3 (when kept)

    double Seconds() const { return fpsNumerator > 0 ? double(frames) * fpsDenominator / fpsNumerator : 0.0; }
    // The RGB of one pixel of a kept picture.
    const uint8_t* Pixel(int frame, int x, int y) const
    {
        return &pictures[frame][(static_cast<std::size_t>(y) * pictureWidth + x) * 3];
    }
};

TheoraClip DecodeTheoraClip(std::span<const unsigned char> bytes, bool keepPictures);
