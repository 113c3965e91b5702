#include "screens/ScreenText.h"

void CreateScreenHeader(IMDialogBase* screen)
{
    const int width = screen->GetRect().Width();
    auto* backdrop = screen->CreatePicture(0, 0, L"DefaultBackGround", 0);
    backdrop->SetRect(screen->GetRect());
    CreateCentredLabel(screen, width, 10, L"Пеламира", 14);
    CreateCentredLabel(screen, width, 35, L"Тернавика", 18, true);
}
