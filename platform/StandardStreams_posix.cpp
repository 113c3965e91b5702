#include "platform/StandardStreams.h"

void ConnectStandardStreams() { }
