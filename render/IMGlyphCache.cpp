#include "render/IMResourceManager.h"

TextureHandle IMResourceManager::CreateGlyphTexture(const std::wstring&, wchar_t, std::uint32_t, int,
                                                    const std::wstring&, bool, bool, bool, std::uint32_t)
{
    return slotCount;
}
