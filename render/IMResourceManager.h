#pragma once
// The one object through which the program reaches pictures and sounds: the
// render device, the reference-counted texture table, the skin registered at
// start-up, and the sound system.
//
// A texture's pixels live only in the device texture. Each record knows how to
// make its texture again (decode the embedded picture or the file once more,
// rasterise the glyph again, clear a blank one), which is how textures come
// back after an eviction or a device loss; a system-memory copy is kept only
// for a texture whose pixels were written later and saved with BackupTexture.
//
// A handle is a slot index. A lookup that finds nothing yields `slotCount`,
// which is never a valid handle; every operation given such a handle, or the
// handle of a freed slot, does nothing or returns a neutral value.

#include "media/sound/CSoundSystem.h"
#include "render/IMGlyphCache.h"
#include "render/IMRenderDevice.h"

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/AudioOutput.h"
class PlatformWindow;

using TextureHandle = unsigned;
// What a holder stores when it has no texture: never a valid handle, however
// many slots the table grows to (unlike a failed lookup's `slotCount`, which
// names the next slot to be made).
inline constexpr TextureHandle NoTexture = ~TextureHandle {0};

struct TextureRecord {
    std::unique_ptr<DeviceTexture> texture;  // null while evicted
    Rect imageRect;                          // {0, 0, picture width, picture height}
    int texWidth = 0;                        // allocated size, powers of two
    int texHeight = 0;
    std::wstring name;  // key in nameToSlot
    int refCount = 0;   // holders; the record dies at 0
    // Makes the texture again with the pixels it was registered with (or saved
    // by BackupTexture); set when registered. Empty: it cannot come back.
    std::function<std::unique_ptr<DeviceTexture>()> remake;
    PixelFormat format = PixelFormat::A8R8G8B8;
};

class IMResourceManager : public CSoundSystem, public IMRenderDevice {
public:
    IMResourceManager();
    ~IMResourceManager() override;

    TextureHandle LoadTexture(const std::wstring& name);
    TextureHandle LoadTextureFromMemory(const std::wstring& name, std::span<const unsigned char> data);
    // Registers an embedded PNG like LoadTextureFromMemory, but decodes it only
    // when it is first drawn or read (the skin: a screen uses a few of its 57
    // pictures, and the first frame waits for none of the others).
    TextureHandle RegisterEmbeddedPicture(const std::wstring& name, std::span<const unsigned char> data);
    TextureHandle CreateBlankTexture(const std::wstring& name, int width, int height, PixelFormat format);
    TextureHandle AddRefTexture(TextureHandle handle);
    void ReleaseTexture(TextureHandle handle);
    void ReleaseTextureByName(const std::wstring& name);
    TextureHandle FindTexture(const std::wstring& name) const;
    void EvictTexture(TextureHandle handle);
    void RestoreTexture(TextureHandle handle);
    void BackupTexture(TextureHandle handle);
    int GetTexturePitch(TextureHandle handle);
    // Lends the writer the texture's texels; only the picture's own rectangle
    // (its width and height from the top-left corner) is written back.
    void UpdateTexture(
        TextureHandle handle, const std::function<void(std::uint8_t* bits, int pitch, int rows)>& writer);

    void DrawTexture(TextureHandle handle, const Rect& dest, const Rect* source, std::uint32_t colour, float angle);

    // The glyph picture of ch (advance x cell height) in the given font, colour
    // and background, registered under key; a registered key gains a reference.
    TextureHandle CreateGlyphTexture(const std::wstring& key, wchar_t ch, std::uint32_t colour, int height,
        const std::wstring& face, bool italic, bool bold, bool underline, std::uint32_t background);
    IMGlyphCache glyphCache;  // fonts and their per-character caches

    // Whether handle names a texture now.
    bool IsLive(TextureHandle handle) const { return handle < slotCount && records[handle] != nullptr; }
    // The record of a live handle, or null.
    const TextureRecord* GetRecord(TextureHandle handle) const;
    // The texel at (column u, row v) as ARGB, brought back first when evicted;
    // 0 outside the texture or without one.
    std::uint32_t Texel(TextureHandle handle, int u, int v) const;
    // Its alpha (the hit test of pictures).
    int TexelAlpha(TextureHandle handle, int u, int v) const { return int(Texel(handle, u, v) >> 24); }
    // The picture's size; {0, 0, 0, 0} for an invalid handle.
    Rect ImageRect(TextureHandle handle) const;

    std::vector<std::unique_ptr<TextureRecord>> records;  // by handle; null while free
    std::map<std::wstring, TextureHandle> nameToSlot;
    std::vector<TextureHandle> freeSlots;  // stack: last freed, first reused
    TextureHandle slotCount = 0;           // slots ever created

protected:
    void EvictAllTextures() override;

private:
    friend class IMGlyphCache;
    using Remake = std::function<std::unique_ptr<DeviceTexture>()>;
    TextureHandle Register(const std::wstring& name, std::unique_ptr<DeviceTexture> texture, int width, int height,
        PixelFormat format, Remake remake);
    Remake Decoding(const std::wstring& name, std::span<const unsigned char> data);
    // Runs create, evicting one other texture after each std::bad_alloc, until it
    // succeeds or nothing is left to evict (then false).
    bool WithEviction(const std::wstring& name, const std::function<void()>& create);
    TextureHandle Loaded(const std::wstring& name);  // a registered name gains a reference
};

// The skin pictures, in the order they are registered.
std::span<const wchar_t* const> SkinNames();

// Creates the one instance: sound (result ignored; output null means the
// default device), render device, skin. Raises std::runtime_error
// "Не могу создать устройство Direct3D" when the device cannot be created.
IMResourceManager* CreateResourceManager(
    bool windowed, PlatformWindow* window, std::unique_ptr<AudioOutput> output = nullptr);
void DestroyResourceManager();
IMResourceManager* GetResourceManager();
