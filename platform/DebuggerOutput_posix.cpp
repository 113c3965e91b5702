#include "platform/DebuggerOutput.h"

// Debuggers on Linux read standard error.
void SendToDebugger(std::string_view) { }
