#pragma once
// A close of the program asked for from outside its window (a signal, the console, the end of the session): the next
// PeekMessage returns WindowMessage::Close, so the program saves and ends in order. Safe inside a signal handler and
// on any thread.
void RequestCloseFromOutside();

// Turns the system's requests to end (signals on Linux, the console's events on Windows) into such closes. Also
// declared in Messages.h, which the layers above include.
void CloseOnQuitSignals();
