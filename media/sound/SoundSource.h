#pragma once
// The opened Ogg Vorbis data of one sound name: where its bytes come from (an
// embedded numbered resource, memory the caller keeps alive, or a file), the
// vorbisfile decoder over them, the format and the playable length. The sound
// system owns one per name; the stream that plays it reads it from the main
// thread while stopped and from its decoding thread while playing, never both.
//
// Only mono and stereo sources at rates the audio output takes
// (AudioFormat::IsValid) open; anything else is treated as unreadable.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

struct OggVorbis_File;

class SoundSource {
public:
    SoundSource();
    ~SoundSource();  // closes the decoder, then the file
    SoundSource(const SoundSource&) = delete;
    SoundSource& operator=(const SoundSource&) = delete;

    // Embedded resource `id` ("145"), opened as memory and then shortened by
    // 0.02 s worth of bytes counted as frames (3528 frames at 44100 Hz stereo).
    bool OpenResource(int id);
    // `size` bytes at `data`, which must outlive the source.
    bool OpenMemory(const void* data, std::size_t size);
    bool OpenFile(std::wstring_view path);

    // Decodes up to maxBytes (whole frames) of interleaved signed 16-bit
    // samples in the machine's byte order, the samples the decoder's own
    // 16-bit output gives, stopping at the playable length, at the end of the
    // data, at a decoding error or where a chained stream changes its number
    // of channels. Returns the bytes written.
    std::uint32_t ReadPcm(unsigned char* dst, std::uint32_t maxBytes);
    // Back to the first sample; false when the decoder cannot seek there.
    bool Rewind();

    int Channels() const { return channels; }
    int Rate() const { return rate; }
    int BytesPerFrame() const { return bytesPerFrame; }
    std::int64_t TotalFrames() const { return totalFrames; }

private:
    struct DecoderDeleter {
        void operator()(OggVorbis_File* decoder) const;
    };

    bool OpenDecoder(bool fromFile);
    void Close();

    static std::size_t ReadMemory(void* dst, std::size_t size, std::size_t count, void* self);
    static int SeekMemory(void* self, std::int64_t offset, int origin);
    static long TellMemory(void* self);

    std::FILE* file = nullptr;                                // a file source's open file, else null
    const unsigned char* data = nullptr;                      // memory and resource sources: the encoded bytes
    std::size_t position = 0;                                 // read position in data
    std::size_t size = 0;                                     // byte count of data
    int channels = 0;                                         // from the Vorbis header: 1 or 2
    int rate = 0;                                             // frames per second, from the Vorbis header
    int bytesPerFrame = 0;                                    // 2 for mono, 4 for stereo
    std::int64_t totalFrames = 0;                             // playable length
    std::unique_ptr<OggVorbis_File, DecoderDeleter> decoder;  // null until an Open succeeds
};
