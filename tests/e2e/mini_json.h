// A small JSON reader for the tests: enough to read the simulator's truth files (objects, arrays,
// numbers, strings, true/false/null), strict about syntax so that a malformed truth file fails a test.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class JsonValue {
  public:
    enum class Kind { null, boolean, number, string, array, object };

    Kind kind() const { return kind_; }
    double number() const { return number_; }
    bool boolean() const { return boolean_; }
    const std::string& string() const { return string_; }
    const std::vector<JsonValue>& array() const { return array_; }
    // The member of an object; a null value when absent.
    const JsonValue& operator[](const std::string& key) const;
    bool has(const std::string& key) const { return object_.count(key) != 0; }

    // Parses a whole document; false (and a null value) on any syntax error.
    static bool parse(const std::string& text, JsonValue& out);

  private:
    friend class JsonParser;
    Kind kind_ = Kind::null;
    double number_ = 0.0;
    bool boolean_ = false;
    std::string string_;
    std::vector<JsonValue> array_;
    std::map<std::string, JsonValue> object_;
};
