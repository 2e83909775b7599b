// What the run gives every writer besides its data and its own settings.
#pragma once

#include <string>

#include "output/message_sink.h"

struct WriterContext {
    std::string program;    // name and version of the program, for the files' headers
    MessageSink& messages;  // progress and error lines
};
