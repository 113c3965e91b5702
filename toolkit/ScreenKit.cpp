#include "toolkit/ScreenKit.h"

#include "data/EmbeddedData.h"
#include "render/IMResourceManager.h"
#include "toolkit/IMServices.h"

namespace {

const wchar_t* const LinePicture = L"EditBarKaretka";
constexpr int ExitButtonX = 755;
constexpr int ExitButtonY = 22;

}  // namespace

IMButtonBase* CreateFamilyButton(IMDialogBase* parent, int x, int y, const std::wstring& family, int layer)
{
    return parent->CreateButton(x, y, family, family, family + L"Nuv", family + L"Klick", layer);
}

IMButtonBase* CreateExitButton(IMDialogBase* parent)
{
    return parent->CreateButton(ExitButtonX, ExitButtonY, L"ExitButton", L"", L"", L"", 0);
}

IMFrameLines CreateFrameLines(IMDialogBase* parent)
{
    IMFrameLines lines {};
    lines.left = parent->CreatePicture(0, 0, LinePicture, 0);
    lines.top = parent->CreatePicture(0, 0, LinePicture, 0);
    lines.bottom = parent->CreatePicture(0, 0, LinePicture, 0);
    lines.right = parent->CreatePicture(0, 0, LinePicture, 0);
    return lines;
}

void PlaceFrameLines(const IMFrameLines& lines, int width, int height)
{
    lines.left->SetRect({0, 0, 1, height});
    lines.top->SetRect({0, 0, width, 1});
    lines.bottom->SetRect({0, height - 1, width, height});
    lines.right->SetRect({width - 1, 0, width, height});
}

IMFrameLines CreateFrame(IMDialogBase* parent, int width, int height)
{
    const IMFrameLines lines = CreateFrameLines(parent);
    PlaceFrameLines(lines, width, height);
    return lines;
}

IMLabel* CreateLabel(IMDialogBase* parent, int x, int y, const std::wstring& text, int size, bool bold)
{
    auto* label = new IMLabel(parent, 0);
    const std::uint32_t colour = InkColour;
    label->SetStyle(&colour, nullptr, &bold, nullptr, &size, nullptr, nullptr);
    label->SetText(text);
    label->SetRect(label->GetSourceRect());
    label->SetPosition(x, y);
    return label;
}

IMLabel* CreateCentredLabel(IMDialogBase* parent, int width, int y, const std::wstring& text, int size, bool bold)
{
    IMLabel* label = CreateLabel(parent, 0, y, text, size, bold);
    label->SetPosition(width / 2 - label->GetWidth() / 2, y);
    return label;
}

IMPicture* CreateEmbeddedPicture(
    IMDialogBase* parent, int x, int y, const std::wstring& name, int layer, std::uint32_t colour)
{
    IMResourceManager* manager = GetResourceManager();
    if (manager)
        manager->LoadTextureFromMemory(name, FindEmbedded(std::wstring_view(name)));
    IMPicture* picture = parent->CreatePicture(x, y, name, layer, colour);
    if (manager)
        manager->ReleaseTextureByName(name);
    return picture;
}

std::uint32_t CreateEmbeddedSound(const std::wstring& name)
{
    CSoundSystem* sound = GetSoundSystem();
    if (!sound)
        return 0;
    const auto bytes = FindEmbedded(std::wstring_view(name));
    return sound->CreateSoundFromMemory(name, bytes.data(), bytes.size());
}
