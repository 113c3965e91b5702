#pragma once
// A close of the program asked for from outside its window (a signal, the console, the end of the session): the next
// PeekMessage returns WindowMessage::Close, so the program saves and ends in order. Safe inside a signal handler and
// on any thread.
void RequestCloseFromOutside();
