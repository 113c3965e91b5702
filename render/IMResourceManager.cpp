#include "render/IMResourceManager.h"

#include "data/EmbeddedData.h"
#include "platform/AudioOutput.h"
#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/Utf8.h"
#include "render/ImageDecoding.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

IMResourceManager* theManager = nullptr;

}  // namespace

IMResourceManager::IMResourceManager() = default;

IMResourceManager::~IMResourceManager()
{
    // Textures go before the device (the base destroyed next), the sound system last.
    records.clear();
    if (GetRenderDevice() == this)
        SetRenderDevice(nullptr);
}

// ---------------------------------------------------------------------------
// Creating textures

TextureHandle IMResourceManager::Loaded(const std::wstring& name)
{
    const TextureHandle handle = FindTexture(name);
    if (handle < slotCount)
        ++records[handle]->refCount;
    return handle;
}

bool IMResourceManager::WithEviction(const std::wstring& name, const std::function<void()>& create)
{
    for (;;) {
        try {
            create();
            return true;
        } catch (const std::bad_alloc&) {
            // Evict the lowest other texture that still has device memory, then retry.
            TextureHandle victim = slotCount;
            for (TextureHandle h = 0; h < slotCount; ++h)
                if (records[h] && records[h]->name != name && records[h]->texture) {
                    victim = h;
                    break;
                }
            if (victim == slotCount) {
                OutputDebugString(L"out of texture memory: " + name);
                return false;
            }
            EvictTexture(victim);
        }
    }
}

TextureHandle IMResourceManager::Register(const std::wstring& name, std::unique_ptr<DeviceTexture> texture, int width,
    int height, PixelFormat format, Remake remake)
{
    TextureHandle handle;
    if (!freeSlots.empty()) {
        handle = freeSlots.back();
        freeSlots.pop_back();
    } else {
        records.emplace_back();
        handle = slotCount++;
    }
    nameToSlot[name] = handle;
    auto record = std::make_unique<TextureRecord>();
    // A texture made later (on first use) gets the sides CreatePow2Texture will give it.
    record->texWidth = texture ? texture->Width() : NextPowerOfTwo(width);
    record->texHeight = texture ? texture->Height() : NextPowerOfTwo(height);
    record->texture = std::move(texture);
    record->imageRect = {0, 0, width, height};
    record->name = name;
    record->refCount = 1;
    record->format = format;
    record->remake = std::move(remake);
    records[handle] = std::move(record);
    return handle;
}

// Decodes data again. Embedded pictures are read where they are; other bytes
// are kept (compressed), since the caller's buffer may be gone by then.
IMResourceManager::Remake IMResourceManager::Decoding(const std::wstring& name, std::span<const unsigned char> data)
{
    auto decode = [this](std::span<const unsigned char> bytes) {
        DecodedTexture decoded;
        DecodePicture(bytes, *this, decoded);
        return std::move(decoded.texture);
    };
    const auto embedded = FindEmbedded(std::wstring_view(name));
    if (!data.empty() && embedded.data() == data.data() && embedded.size() == data.size())
        return [decode, data] { return decode(data); };
    auto kept = std::make_shared<std::vector<unsigned char>>(data.begin(), data.end());
    return [decode, kept] { return decode(*kept); };
}

TextureHandle IMResourceManager::LoadTexture(const std::wstring& name)
{
    const TextureHandle found = Loaded(name);
    if (found < slotCount)
        return found;
    DecodedTexture decoded;
    bool ok = false;
    Remake remake;
    if (ResourceNumber(name)) {
        const auto bytes = FindEmbedded(std::wstring_view(name));
        WithEviction(name, [&] { ok = !bytes.empty() && DecodePicture(bytes, *this, decoded); });
        remake = Decoding(name, bytes);
    } else {
        // A file is read again when its texture must come back; one that is gone by then stays away.
        const std::string path = ToUtf8(name);
        WithEviction(name, [&] { ok = DecodePngFile(path, *this, decoded) || DecodeJpegFile(path, *this, decoded); });
        remake = [this, path] {
            DecodedTexture again;
            if (!DecodePngFile(path, *this, again))
                DecodeJpegFile(path, *this, again);
            return std::move(again.texture);
        };
    }
    if (!ok)
        return slotCount;
    return Register(
        name, std::move(decoded.texture), decoded.width, decoded.height, PixelFormat::A8R8G8B8, std::move(remake));
}

TextureHandle IMResourceManager::LoadTextureFromMemory(const std::wstring& name, std::span<const unsigned char> data)
{
    const TextureHandle found = Loaded(name);
    if (found < slotCount)
        return found;
    DecodedTexture decoded;
    bool ok = false;
    WithEviction(name, [&] { ok = DecodePicture(data, *this, decoded); });
    if (!ok)
        return slotCount;
    return Register(
        name, std::move(decoded.texture), decoded.width, decoded.height, PixelFormat::A8R8G8B8, Decoding(name, data));
}

TextureHandle IMResourceManager::RegisterEmbeddedPicture(const std::wstring& name, std::span<const unsigned char> data)
{
    const TextureHandle found = Loaded(name);
    if (found < slotCount)
        return found;
    int width = 0;
    int height = 0;
    if (!ReadPngSize(data, width, height))
        return LoadTextureFromMemory(name, data);
    return Register(name, nullptr, width, height, PixelFormat::A8R8G8B8, Decoding(name, data));
}

TextureHandle IMResourceManager::CreateBlankTexture(const std::wstring& name, int width, int height, PixelFormat format)
{
    const TextureHandle found = Loaded(name);
    if (found < slotCount)
        return found;
    auto blank = [this, width, height, format] {
        std::unique_ptr<DeviceTexture> texture = CreatePow2Texture(width, height, format);
        if (texture) {
            std::uint8_t* bits = texture->Lock();
            std::memset(bits, 0, std::size_t(texture->Pitch()) * std::max(0, std::min(height, texture->Height())));
            texture->Unlock();
        }
        return texture;
    };
    std::unique_ptr<DeviceTexture> texture;
    WithEviction(name, [&] { texture = blank(); });
    if (!texture)
        return slotCount;
    // What is written later (video frames) is not kept: the texture comes back blank.
    return Register(name, std::move(texture), width, height, format, blank);
}

// ---------------------------------------------------------------------------
// References

TextureHandle IMResourceManager::AddRefTexture(TextureHandle handle)
{
    if (!IsLive(handle))
        return slotCount;
    ++records[handle]->refCount;
    return handle;
}

void IMResourceManager::ReleaseTexture(TextureHandle handle)
{
    if (!IsLive(handle))
        return;
    TextureRecord& record = *records[handle];
    if (--record.refCount > 0)
        return;
    nameToSlot.erase(record.name);
    records[handle].reset();
    freeSlots.push_back(handle);
}

void IMResourceManager::ReleaseTextureByName(const std::wstring& name)
{
    ReleaseTexture(FindTexture(name));
}

TextureHandle IMResourceManager::FindTexture(const std::wstring& name) const
{
    auto it = nameToSlot.find(name);
    return it == nameToSlot.end() ? slotCount : it->second;
}

// ---------------------------------------------------------------------------
// Device memory and making textures again

void IMResourceManager::EvictTexture(TextureHandle handle)
{
    if (IsLive(handle))
        records[handle]->texture.reset();
}

void IMResourceManager::EvictAllTextures()
{
    for (TextureHandle h = 0; h < slotCount; ++h)
        EvictTexture(h);
}

void IMResourceManager::RestoreTexture(TextureHandle handle)
{
    if (!IsLive(handle))
        return;
    TextureRecord& record = *records[handle];
    if (record.texture || !record.remake)
        return;
    std::unique_ptr<DeviceTexture> texture;
    WithEviction(record.name, [&] { texture = record.remake(); });
    // A remade texture of another size (a file changed meanwhile) would not fit the record.
    if (texture && texture->Width() == record.texWidth && texture->Height() == record.texHeight)
        record.texture = std::move(texture);
}

// The texture's pixels now become the ones it comes back with: the one case
// where the table holds a system-memory copy.
void IMResourceManager::BackupTexture(TextureHandle handle)
{
    if (!IsLive(handle) || !records[handle]->texture)
        return;
    TextureRecord& record = *records[handle];
    const std::uint8_t* bits = record.texture->Lock();
    auto copy = std::make_shared<const std::vector<std::uint8_t>>(
        bits, bits + std::size_t(record.texture->Pitch()) * record.texHeight);
    record.texture->Unlock();
    record.remake = [this, copy, w = record.texWidth, h = record.texHeight, format = record.format] {
        std::unique_ptr<DeviceTexture> texture = CreatePow2Texture(w, h, format);
        if (texture) {
            std::uint8_t* out = texture->Lock();
            std::memcpy(out, copy->data(), std::min(copy->size(), std::size_t(texture->Pitch()) * texture->Height()));
            texture->Unlock();
        }
        return texture;
    };
}

int IMResourceManager::GetTexturePitch(TextureHandle handle)
{
    RestoreTexture(handle);
    if (!IsLive(handle) || !records[handle]->texture)
        return 0;
    return records[handle]->texture->Pitch();
}

void IMResourceManager::UpdateTexture(TextureHandle handle, const std::function<void(std::uint8_t*, int, int)>& writer)
{
    RestoreTexture(handle);
    if (!IsLive(handle) || !records[handle]->texture) {
        OutputDebugString("UpdateTexture: no texture to write");
        return;
    }
    TextureRecord& record = *records[handle];
    if (!writer)
        throw std::bad_function_call();
    std::uint8_t* bits = record.texture->Lock(record.imageRect);
    writer(bits, record.texture->Pitch(), record.imageRect.bottom);
    record.texture->Unlock();
}

void IMResourceManager::DrawTexture(
    TextureHandle handle, const Rect& dest, const Rect* source, std::uint32_t colour, float angle)
{
    if (!IsLive(handle))
        return;
    RestoreTexture(handle);
    TextureRecord& record = *records[handle];
    if (record.texture)
        DrawDeviceTexture(*record.texture, record.imageRect, dest, source, colour, angle);
}

const TextureRecord* IMResourceManager::GetRecord(TextureHandle handle) const
{
    return IsLive(handle) ? records[handle].get() : nullptr;
}

std::uint32_t IMResourceManager::Texel(TextureHandle handle, int u, int v) const
{
    // Bringing an evicted texture back changes none of the table's pictures.
    const_cast<IMResourceManager*>(this)->RestoreTexture(handle);
    const TextureRecord* record = GetRecord(handle);
    if (!record || !record->texture)
        return 0;
    return record->texture->Texel(u, v);
}

Rect IMResourceManager::ImageRect(TextureHandle handle) const
{
    const TextureRecord* record = GetRecord(handle);
    return record ? record->imageRect : Rect {};
}

// ---------------------------------------------------------------------------
// The one instance

std::span<const wchar_t* const> SkinNames()
{
    // Plain constants: the list outlives every static with a destructor, so a
    // window torn down by exit() (the display connection lost) can still walk it.
    static constexpr const wchar_t* names[] = {
        L"DefaultBackGround",
        L"ExitButton",
        L"PrintButton",
        L"SaveAsButton",
        L"RetryButton",
        L"CloseButton",
        L"StartPopStartButton",
        L"EscButton",
        L"F1Button",
        L"F12Button",
        L"SubmitButton",
        L"OptionsButton",
        L"CancelButton",
        L"PrintButtonKlick",
        L"SaveAsButtonKlick",
        L"RetryButtonKlick",
        L"CloseButtonKlick",
        L"StartPopStartButtonKlick",
        L"SubmitButtonKlick",
        L"OptionsButtonKlick",
        L"CancelButtonKlick",
        L"PrintButtonNuv",
        L"SaveAsButtonNuv",
        L"RetryButtonNuv",
        L"CloseButtonNuv",
        L"StartPopStartButtonNuv",
        L"SubmitButtonNuv",
        L"OptionsButtonNuv",
        L"CancelButtonNuv",
        L"SliderSliderVertical",
        L"SliderSliderVerticalHover",
        L"SliderSliderHorizontal",
        L"SliderSliderHorizontalHover",
        L"ScrollSlider",
        L"ScrollSliderHorizontal",
        L"ScrollBackground",
        L"ScrollButtonUp",
        L"ScrollButtonDown",
        L"CheckBoxUnchecked",
        L"CheckBoxChecked",
        L"RadioButtonUnchecked",
        L"RadioButtonChecked",
        L"CheckBoxDisUnchecked",
        L"CheckBoxDisChecked",
        L"RadioButtonDisUnchecked",
        L"RadioButtonDisChecked",
        L"EditBarBackGround",
        L"EditBarCornerLT",
        L"EditBarCornerRT",
        L"EditBarCornerLB",
        L"EditBarCornerRB",
        L"EditBarBorderL",
        L"EditBarBorderR",
        L"EditBarBorderT",
        L"EditBarBorderB",
        L"EditBarKaretka",
        L"SelectionMask",
    };
    return names;
}

IMResourceManager* CreateResourceManager(bool windowed, PlatformWindow* window, std::unique_ptr<AudioOutput> output)
{
    auto manager = std::make_unique<IMResourceManager>();
    manager->startTime = GetClock().Milliseconds();
    manager->frameCount = 0;
    // Without sound the program runs silently: the result is not examined.
    if (output)
        manager->InitSound(std::move(output));
    else
        manager->InitSound();
    if (manager->InitDevice(75, window, windowed, BackBufferWidth, BackBufferHeight) != 0)
        throw std::runtime_error("Не могу создать устройство Direct3D");
    for (const std::wstring name : SkinNames())
        manager->RegisterEmbeddedPicture(name, FindEmbedded(std::wstring_view(name)));
    theManager = manager.release();
    SetRenderDevice(theManager);
    SetSoundSystem(theManager);
    return theManager;
}

void DestroyResourceManager()
{
    if (!theManager)
        return;
    for (const std::wstring name : SkinNames())
        theManager->ReleaseTextureByName(name);
    const std::uint32_t elapsed = GetClock().Milliseconds() - theManager->startTime;
    const std::uint64_t fps = elapsed ? std::uint64_t(theManager->frameCount) * 1000 / elapsed : 0;
    OutputDebugString("FPS: " + std::to_string(fps));
    delete theManager;
    theManager = nullptr;
}

IMResourceManager* GetResourceManager()
{
    return theManager;
}
