#include "screens/ScreenText.h"

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

void CreateScreenHeader(IMDialogBase* screen)
{
    const int width = screen->GetRect().Width();
    auto* backdrop = screen->CreatePicture(0, 0, L"DefaultBackGround", 0);
    backdrop->SetRect(screen->GetRect());
    CreateCentredLabel(screen, width, 10, L"Пеламира", 14);
    CreateCentredLabel(screen, width, 35, L"Тернавика", 18, true);
}
