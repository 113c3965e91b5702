#pragma once
// A problem the person in charge must learn of even without the debug log (results that did not reach their file):
// one line on standard error, "zvonkary: " and the text, always.

#include <string_view>

void OutputWarning(std::string_view utf8);
