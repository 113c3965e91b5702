// The result screen: the task is done, who worked on what, the statistics'
// Print and Save as, Retry, Close, Exit, and Enter to play again at once.

#include "app/App.h"
#include "app/IMWindow.h"
#include "app/ProgramTexts.h"
#include "screens/ScreenText.h"

namespace {

constexpr std::uint32_t DisabledColour = 0xFF808080;  // a button that cannot be used
constexpr std::uint32_t NoticeColour = 0xFFAEAEAE;
constexpr std::uint32_t TroubleColour = 0xFFB02020;  // where the results went when not where they belong
constexpr std::size_t TroubleLineLength = 95;        // characters of a line of it at size 14
constexpr int TroubleTop = 385;                      // between the pupil's name and the statistics' buttons
constexpr int TroubleLines = 4;

// `text` cut at spaces into lines of at most `length` characters (a longer word stands alone).
std::vector<std::wstring> WrapText(const std::wstring& text, std::size_t length)
{
    std::vector<std::wstring> lines(1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L' ', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring word = text.substr(start, end - start);
        if (!lines.back().empty() && lines.back().size() + 1 + word.size() > length)
            lines.emplace_back();
        lines.back() += (lines.back().empty() ? L"" : L" ") + word;
        start = end + 1;
    }
    return lines;
}

// Greyed and inert: the statistics buttons without a workbook.
void MakeInert(IMButtonBase* button)
{
    button->Disable();
    button->colour = DisabledColour;
    button->SetDirty(true);
}

}  // namespace

template <class T> long IMApp<T>::ShowResults()
{
    auto* screen = new IMDialogBase(mainWindow.get(), nullptr, 0);
    CreateScreenHeader(screen);
    const int width = screen->GetRect().Width();
    CreateCentredLabel(screen, width, 150, L"ЗАДАНИЕ ВЫПОЛНЕНО", 24);
    CreateLabel(screen, 30, 250, L"Номер ЦОР:", 18, true);
    CreateLabel(screen, 135, 250, catalogueNumber, 18);
    CreateLabel(screen, 30, 300, L"Название:", 18, true);
    CreateLabel(screen, 135, 300, title, 18);
    CreateLabel(screen, 30, 350, L"Ученик:", 18, true);
    CreateLabel(screen, 135, 350, pupilName, 18);
    // Results that could not be saved where they belong: the teacher reads here where they went.
    const std::vector<std::wstring> trouble = WrapText(ResultsNotice(), TroubleLineLength);
    for (int line = 0; line < TroubleLines && line < static_cast<int>(trouble.size()); ++line) {
        if (trouble[line].empty())
            continue;
        IMLabel* label = CreateLabel(screen, 30, TroubleTop + 18 * line, trouble[line], 14);
        const std::uint32_t colour = TroubleColour;
        label->SetStyle(&colour, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    CreateLabel(screen, 30, 465, L"Статистика:", 18, true);
    auto* print = CreateFamilyButton(screen, 30, 490, L"PrintButton");
    auto* saveAs = CreateFamilyButton(screen, 128, 490, L"SaveAsButton");
    RewindSteps();
    auto* retry = CreateFamilyButton(screen, 535, 490, L"RetryButton");
    auto* close = CreateFamilyButton(screen, 660, 490, L"CloseButton");
    auto* exit = CreateExitButton(screen);
    IMLabel* notice = CreateCentredLabel(screen, width, 575, MakerNoticeText, 14);
    const std::uint32_t grey = NoticeColour;
    notice->SetStyle(&grey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);

    if (report) {
        print->ConnectClicked(Tracked<MouseSlot>(screen, [this](const IMMouseEvent&) { return OnPrintClicked(); }));
        saveAs->ConnectClicked(Tracked<MouseSlot>(screen, [this](const IMMouseEvent&) { return OnSaveAsClicked(); }));
    } else {
        MakeInert(print);
        MakeInert(saveAs);
    }
    retry->ConnectClicked(Tracked<MouseSlot>(screen, [this, screen](const IMMouseEvent&) {
        ShowStartPopup();
        return screen->Close();
    }));
    auto leave = [this](const IMMouseEvent&) { return mainWindow->Close(); };
    close->ConnectClicked(Tracked<MouseSlot>(screen, leave));
    exit->ConnectClicked(Tracked<MouseSlot>(screen, leave));
    screen->ConnectKeyMessage(Tracked<KeySlot>(screen, [this, screen](const IMKeyboardEvent& e) {
        if (e.wParam == VirtualKey::Return) {
            NextStep();
            screen->Close();
        }
        return 0L;
    }));
    return 0;
}

template long IMApp<App>::ShowResults();
