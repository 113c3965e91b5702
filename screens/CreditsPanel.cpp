// The credits panel (Ctrl+I): who made the program and the free works it
// carries, over every screen, until its Exit button closes it.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/PlatformWindow.h"
#include "screens/ScreenText.h"

namespace {

bool creditsOpen = false;  // process-wide, main thread only

struct CreditLine {
    int y;
    const wchar_t* text;
    int size;
};

// The people who made the program, named as a pupil and a teacher know
// them, and the free works the program carries, under the panel's headings.
// The course name heads the panel, centred in the gap between the two staves
// of the backdrop's top, where no staff line runs through its letters.
constexpr CreditLine Title {18, L"Тернавика", 25};
constexpr CreditLine Credits[] = {
    {90, L"Авторы:", 21},
    {110, L"Команда проекта «Звонкары»", 20},
    {130, L"Музыка: FluidSynth и банк FluidR3 GM (MIT); голос: Festival, festvox-ru", 20},
    {170, L"Руководитель проекта:", 21},
    {190, L"Команда проекта «Звонкары»", 20},
    {230, L"Программисты:", 21},
    {250, L"Команда проекта «Звонкары»", 20},
    {270, L"Библиотеки: SDL2, FreeType, AGG, libogg, libvorbis, libtheora, Xerces-C, Boost, cairo, CUPS", 20},
    {310, L"Художник:", 21},
    {330, L"Рисунки SVG проекта; шрифт Liberation Sans (SIL Open Font License 1.1)", 20},
    {370, L"Дизайнер-аниматор:", 21},
    {390, L"Клипы похвалы: нарисованы в SVG, закодированы libtheora", 20},
    {430, L"Трёхмерная графика:", 21},
    {450, L"Объёмные рисунки граммофона и кирпичиков: SVG проекта, светотень в градиентах", 20},
};

// Control's physical key I: 73 or 105; 216 and 248 are the same key's
// letters in the Cyrillic code page on a Russian layout.
bool IsKeyI(std::uint32_t wParam)
{
    const std::uint32_t key = wParam & 0xFF;
    return key == 73 || key == 105 || key == 216 || key == 248;
}

}  // namespace

bool IsCreditsOpen()
{
    return creditsOpen;
}

template <class T> long IMApp<T>::OnCreditsKey(const IMKeyboardEvent& e)
{
    if (!IsKeyI(e.wParam) || !IsControlKeyDown() || creditsOpen)
        return 0;
    // Shown however often it was hidden; the extra calls are undone on closing.
    int extraShows = 0;
    for (int count = ShowCursor(true); count <= 1; count = ShowCursor(true))
        ++extraShows;
    creditsOpen = true;
    IMDialogBase* panel = mainWindow->CreateDialog(0, 0, BackBufferWidth, BackBufferHeight, 9999);
    auto* backdrop = panel->CreatePicture(0, 0, L"DefaultBackGround", 0);
    backdrop->SetRect(panel->GetRect());
    CreateCentredLabel(panel, BackBufferWidth, Title.y, Title.text, Title.size);
    for (const CreditLine& line : Credits)
        CreateLabel(panel, 22, line.y, line.text, line.size);
    auto* exit = CreateExitButton(panel);
    exit->ConnectClicked(Tracked<MouseSlot>(panel, [panel](const IMMouseEvent&) { return panel->Close(); }));
    panel->ConnectClosing(Tracked<EventSlot>(this, [extraShows](const IMEvent&) {
        for (int i = 0; i <= extraShows; ++i)
            ShowCursor(false);
        creditsOpen = false;
        return 0L;
    }));
    return 0;
}

template long IMApp<App>::OnCreditsKey(const IMKeyboardEvent&);
