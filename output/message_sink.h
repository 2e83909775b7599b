// Where a writer's progress and error texts go. The writers say what happened; the run decides
// where it is shown (the console and the log file), so no writer knows of either.
#pragma once

#include <string>
#include <string_view>

class MessageSink {
  public:
    // Text exactly as it is to appear: a whole line ends in "\n"; a progress text may end without
    // one and be completed by a later call.
    virtual void write(std::string_view text) = 0;

    // One whole line: the text and its line end, in one call.
    void line(std::string_view text) { write(std::string(text) + '\n'); }

  protected:
    ~MessageSink() = default;
};
