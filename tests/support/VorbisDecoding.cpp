#include "support/VorbisDecoding.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vorbis/vorbisfile.h>

namespace {

// vorbisfile reads the bytes through these, as the program's sound sources do.
struct MemoryReader {
    std::span<const unsigned char> bytes;
    std::size_t position = 0;
};

std::size_t ReadMemory(void* out, std::size_t size, std::size_t count, void* source)
{
    auto* reader = static_cast<MemoryReader*>(source);
    const std::size_t wanted = size * count;
    const std::size_t n = std::min(wanted, reader->bytes.size() - reader->position);
    std::memcpy(out, reader->bytes.data() + reader->position, n);
    reader->position += n;
    return size ? n / size : 0;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(source);
    ogg_int64_t base = whence == SEEK_CUR ? static_cast<ogg_int64_t>(reader->position)
        : whence == SEEK_END              ? static_cast<ogg_int64_t>(reader->bytes.size())
                                          : 0;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > static_cast<ogg_int64_t>(reader->bytes.size()))
        return -1;
    reader->position = static_cast<std::size_t>(target);
    return 0;
}

long TellMemory(void* source)
{
    return static_cast<long>(static_cast<MemoryReader*>(source)->position);
}

}  // namespace

Sound DecodeVorbis(std::span<const unsigned char> bytes)
{
    Sound sound;
    MemoryReader reader {bytes};
    OggVorbis_File file;
    const ov_callbacks callbacks {ReadMemory, SeekMemory, nullptr, TellMemory};
    if (bytes.empty() || ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0)
        return sound;
    const vorbis_info* info = ov_info(&file, -1);
    sound.rate = info->rate;
    sound.channels = info->channels;
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long frames = ov_read_float(&file, &pcm, 4096, &section);
        if (frames < 0) {
            ov_clear(&file);
            return sound;
        }
        if (frames == 0)
            break;
        for (long i = 0; i < frames; ++i)
            for (int c = 0; c < sound.channels; ++c)
                sound.samples.push_back(pcm[c][i]);
    }
    ov_clear(&file);
    sound.decoded = true;
    return sound;
}

Sound DecodeVorbisFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return DecodeVorbis(bytes);
}
