#pragma once
// A problem the person in charge must learn of even without the debug log (results that did not reach their file):
// one line on standard error, "zvonkary: " and the text, always.

#include <string_view>

void OutputWarning(std::string_view utf8);

// The same in a window of its own that waits for OK, for a program whose own window is gone; nothing where no
// screen can show one.
void ShowWarningWindow(std::string_view utf8Title, std::string_view utf8Text);
