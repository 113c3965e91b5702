#include "media/sound/SoundSource.h"

#include "data/EmbeddedData.h"
#include "platform/AudioBuffer.h"
#include "platform/DebugOutput.h"
#include "platform/Files.h"
#include "platform/Utf8.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::size_t ReadFile(void* dst, std::size_t size, std::size_t count, void* file)
{
    return std::fread(dst, size, count, static_cast<std::FILE*>(file));
}

int SeekFile(void* file, ogg_int64_t offset, int origin)
{
    if (offset < std::numeric_limits<off_t>::min() || offset > std::numeric_limits<off_t>::max())
        return -1;
    return fseeko(static_cast<std::FILE*>(file), static_cast<off_t>(offset), origin) == 0 ? 0 : -1;
}

long TellFile(void* file)
{
    return static_cast<long>(ftello(static_cast<std::FILE*>(file)));
}

// Decoded samples to 16 bits as the decoder's own 16-bit output makes them:
// scaled by 32768, rounded to nearest, held to the 16-bit range.
#if defined(__SSE2__)
__m128i ToSamples(__m128 values)
{
    const __m128 scaled = _mm_mul_ps(values, _mm_set1_ps(32768.0f));
    const __m128 held = _mm_max_ps(_mm_min_ps(scaled, _mm_set1_ps(32767.0f)), _mm_set1_ps(-32768.0f));
    return _mm_cvtps_epi32(held);
}
#endif

std::int16_t ToSample(float value)
{
    // The same steps as the vector form, so both agree even on a NaN.
    const float scaled = value * 32768.0f;
    const float held = scaled < 32767.0f ? (scaled > -32768.0f ? scaled : -32768.0f) : 32767.0f;
    return static_cast<std::int16_t>(std::lrint(held));
}

void ConvertMono(const float* in, std::int16_t* out, std::uint32_t frames)
{
    std::uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= frames; i += 8) {
        const __m128i low = ToSamples(_mm_loadu_ps(in + i));
        const __m128i high = ToSamples(_mm_loadu_ps(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
    }
#endif
    for (; i < frames; ++i)
        out[i] = ToSample(in[i]);
}

void ConvertStereo(const float* left, const float* right, std::int16_t* out, std::uint32_t frames)
{
    std::uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= frames; i += 4) {
        const __m128i l = ToSamples(_mm_loadu_ps(left + i));
        const __m128i r = ToSamples(_mm_loadu_ps(right + i));
        // l0 r0 l1 r1 | l2 r2 l3 r3
        const __m128i low = _mm_unpacklo_epi32(l, r);
        const __m128i high = _mm_unpackhi_epi32(l, r);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_packs_epi32(low, high));
    }
#endif
    for (; i < frames; ++i) {
        out[2 * i] = ToSample(left[i]);
        out[2 * i + 1] = ToSample(right[i]);
    }
}

}  // namespace

void SoundSource::DecoderDeleter::operator()(OggVorbis_File* decoder) const
{
    ov_clear(decoder);
    delete decoder;
}

SoundSource::SoundSource() = default;

SoundSource::~SoundSource()
{
    Close();
}

void SoundSource::Close()
{
    // The decoder reads through the file, so it goes first.
    decoder.reset();
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    data = nullptr;
    position = size = 0;
    channels = rate = bytesPerFrame = 0;
    totalFrames = 0;
}

bool SoundSource::OpenResource(int id)
{
    const std::span<const unsigned char> bytes = FindEmbedded(std::to_string(id));
    if (bytes.empty() || !OpenMemory(bytes.data(), bytes.size()))
        return false;
    // The resource sounds carry 20 ms of trailing padding; the cut is counted in
    // bytes of that duration but taken off in frames, as the program always has.
    const auto trim = static_cast<unsigned>(channels * rate * 2 * 0.02);
    if (totalFrames > static_cast<std::int64_t>(trim))
        totalFrames -= trim;
    return true;
}

bool SoundSource::OpenMemory(const void* bytes, std::size_t count)
{
    Close();
    if (bytes == nullptr || count == 0)
        return false;
    data = static_cast<const unsigned char*>(bytes);
    size = count;
    position = 0;
    return OpenDecoder(false);
}

bool SoundSource::OpenFile(std::wstring_view path)
{
    Close();
    file = OpenFileToRead(ToUtf8(path));
    if (file == nullptr)
        return false;
    return OpenDecoder(true);
}

bool SoundSource::OpenDecoder(bool fromFile)
{
    const ov_callbacks callbacks = fromFile ? ov_callbacks {ReadFile, SeekFile, nullptr, TellFile}
                                            : ov_callbacks {ReadMemory, SeekMemory, nullptr, TellMemory};
    void* datasource = fromFile ? static_cast<void*>(file) : static_cast<void*>(this);
    auto opened = std::unique_ptr<OggVorbis_File, DecoderDeleter>(new OggVorbis_File {});
    if (ov_open_callbacks(datasource, opened.get(), nullptr, 0, callbacks) != 0) {
        // A failed open clears the decoder itself, so it is freed without ov_clear.
        delete opened.release();
        Close();
        return false;
    }
    decoder = std::move(opened);
    const vorbis_info* info = ov_info(decoder.get(), -1);
    const ogg_int64_t total = ov_pcm_total(decoder.get(), -1);
    if (info == nullptr || total < 0 || info->rate <= 0 || info->rate > AudioFormat::MaxRate
        || !AudioFormat {info->channels, static_cast<int>(info->rate)}.IsValid()) {
        Close();
        return false;
    }
    channels = info->channels;
    rate = static_cast<int>(info->rate);
    bytesPerFrame = channels == 1 ? 2 : 4;
    totalFrames = total;
    return true;
}

std::uint32_t SoundSource::ReadPcm(unsigned char* dst, std::uint32_t maxBytes)
{
    if (!decoder)
        return 0;
    const ogg_int64_t tell = ov_pcm_tell(decoder.get());
    if (tell < 0 || tell >= totalFrames)
        return 0;
    const std::uint64_t remaining = static_cast<std::uint64_t>(totalFrames - tell) * bytesPerFrame;
    const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(maxBytes, remaining));
    const std::uint32_t whole = wanted - wanted % static_cast<std::uint32_t>(bytesPerFrame);
    const std::uint32_t frames = whole / static_cast<std::uint32_t>(bytesPerFrame);
    auto* out = reinterpret_cast<std::int16_t*>(dst);
    std::uint32_t done = 0;
    while (done < frames) {
        float** pcm = nullptr;
        int link = 0;
        const long got = ov_read_float(
            decoder.get(), &pcm, static_cast<int>(std::min<std::uint32_t>(frames - done, 1u << 20)), &link);
        if (got <= 0)
            break;  // the end, or an error: both end the data here
        const vorbis_info* info = ov_info(decoder.get(), link);
        if (info == nullptr || info->channels != channels)
            break;  // a chained stream that changes its channels cannot go on in this format
        const auto count = static_cast<std::uint32_t>(got);
        if (channels == 1)
            ConvertMono(pcm[0], out + done, count);
        else
            ConvertStereo(pcm[0], pcm[1], out + 2 * static_cast<std::size_t>(done), count);
        done += count;
    }
    return done * static_cast<std::uint32_t>(bytesPerFrame);
}

bool SoundSource::Rewind()
{
    return decoder && ov_pcm_seek(decoder.get(), 0) == 0;
}

std::size_t SoundSource::ReadMemory(void* dst, std::size_t size, std::size_t count, void* self)
{
    auto& source = *static_cast<SoundSource*>(self);
    if (size == 0)
        return 0;
    const std::size_t items = std::min(count, (source.size - source.position) / size);
    std::memcpy(dst, source.data + source.position, items * size);
    source.position += items * size;
    return items;
}

int SoundSource::SeekMemory(void* self, std::int64_t offset, int origin)
{
    auto& source = *static_cast<SoundSource*>(self);
    std::int64_t base = 0;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<std::int64_t>(source.position);
        break;
    case SEEK_END:
        base = static_cast<std::int64_t>(source.size);
        break;
    default:
        return -1;
    }
    if (offset < -base || offset > static_cast<std::int64_t>(source.size) - base)
        return -1;
    source.position = static_cast<std::size_t>(base + offset);
    return 0;
}

long SoundSource::TellMemory(void* self)
{
    return static_cast<long>(static_cast<SoundSource*>(self)->position);
}
