// The writers' messages in the tests: a sink that keeps every text given to it, in order, and
// the writer context of the program's own name around it.
#pragma once

#include <string>
#include <string_view>

#include "output/message_sink.h"
#include "output/writer_context.h"

class CapturedMessages final : public MessageSink {
  public:
    void write(std::string_view text) override { text_ += text; }
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

// The name and version the program writes into its RINEX headers.
inline constexpr const char* kProgramName = "kelvartix V1.1";

inline WriterContext test_context(MessageSink& messages) {
    return WriterContext{kProgramName, messages};
}
