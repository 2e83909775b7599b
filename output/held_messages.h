// Messages held back: a writer that works while others do (files written side by side as a log
// streams past) says its lines here, and the run shows them in the order of the files.
#pragma once

#include <string>
#include <string_view>

#include "output/message_sink.h"

class HeldMessages final : public MessageSink {
  public:
    void write(std::string_view text) override { text_ += text; }
    // Hands the held text on and forgets it.
    void release_to(MessageSink& sink) {
        if (!text_.empty())
            sink.write(text_);
        text_.clear();
    }

  private:
    std::string text_;
};
