#pragma once
// A Windows program with a window has no console: started from one (zvonkary --version in a command prompt), its
// standard output and error go nowhere unless they were redirected. Connecting them to the console it was started
// from makes --help, --version and the debug log readable there. On Linux the streams are always there.
void ConnectStandardStreams();
