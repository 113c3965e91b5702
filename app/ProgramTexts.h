#pragma once
// The texts that describe the program: its catalogue number, its title, the
// window title and the start popup's description (eight lines, 829 characters).

#include <string>

inline const wchar_t* const CatalogueNumberText = L"00917";
inline const wchar_t* const TitleText = L"Игра «Звонкары»";
inline const wchar_t* const WindowTitleText = L"00917 Игра «Звонкары»";

inline const wchar_t* const VersionText = L"1.0";
// The maker's notice on the result screen.
inline const wchar_t* const MakerNoticeText
    = L"Звонкары 1.0 — свободная программа под лицензией GNU GPL 3 или более поздней";

inline std::wstring DescriptionText()
{
    return L"Для успешной работы с данным приложением необходимо обеспечить хорошую слышимость звуков в динамиках "
           L"или наушниках.\n"
           L"На рабочем поле расположены:\n"
           L"- полочки-слоты с отпечатками кирпичей разной длины – «стан»;\n"
           L"- кнопка «проиграть стан» рядом;\n"
           L"- полочки с набором разных кирпичей – «банк»;\n"
           L"- граммофон с кнопкой «Проиграть»;\n"
           L"При постановке задачи для ученика проигрывается мелодия. Он может проиграть ее повторно, нажав "
           L"«Проиграть» на граммофоне. При наведении курсора мыши на один из кирпичей проигрывается короткий "
           L"музыкальный фрагмент. Перетаскивая нужные кирпичи на полочки «стан» необходимо составить мелодию "
           L"граммофона. Только половина кирпичей содержит музыкальные фрагменты нужной мелодии.\n"
           L"Работая над заданием, дети получают представление о многих программах для создания музыки, активно "
           L"используя технологию перетаскивания.";
}
