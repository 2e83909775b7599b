#include "tests/e2e/mini_json.h"

#include <cctype>
#include <cstdlib>

class JsonParser {
  public:
    explicit JsonParser(const std::string& text) : s_(text) {}

    bool document(JsonValue& out) {
        if (!value(out))
            return false;
        space();
        return i_ == s_.size();
    }

  private:
    void space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(i_, w.size(), w) != 0)
            return false;
        i_ += w.size();
        return true;
    }
    bool text(std::string& out) {
        if (s_[i_] != '"')
            return false;
        ++i_;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] == '\\')
                return false;  // the truth files hold no escapes
            out += s_[i_++];
        }
        if (i_ >= s_.size())
            return false;
        ++i_;
        return true;
    }
    bool value(JsonValue& v) {
        space();
        if (i_ >= s_.size())
            return false;
        const char c = s_[i_];
        if (c == '{') {
            v.kind_ = JsonValue::Kind::object;
            ++i_;
            space();
            if (i_ < s_.size() && s_[i_] == '}')
                return ++i_, true;
            for (;;) {
                space();
                std::string key;
                if (i_ >= s_.size() || !text(key))
                    return false;
                space();
                if (i_ >= s_.size() || s_[i_++] != ':')
                    return false;
                if (!value(v.object_[key]))
                    return false;
                space();
                if (i_ >= s_.size())
                    return false;
                if (s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (s_[i_] == '}')
                    return ++i_, true;
                return false;
            }
        }
        if (c == '[') {
            v.kind_ = JsonValue::Kind::array;
            ++i_;
            space();
            if (i_ < s_.size() && s_[i_] == ']')
                return ++i_, true;
            for (;;) {
                v.array_.emplace_back();
                if (!value(v.array_.back()))
                    return false;
                space();
                if (i_ >= s_.size())
                    return false;
                if (s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (s_[i_] == ']')
                    return ++i_, true;
                return false;
            }
        }
        if (c == '"') {
            v.kind_ = JsonValue::Kind::string;
            return text(v.string_);
        }
        if (literal("true"))
            return v.kind_ = JsonValue::Kind::boolean, v.boolean_ = true, true;
        if (literal("false"))
            return v.kind_ = JsonValue::Kind::boolean, v.boolean_ = false, true;
        if (literal("null"))
            return true;
        const char* start = s_.c_str() + i_;
        char* end = nullptr;
        v.number_ = std::strtod(start, &end);
        if (end == start)
            return false;
        v.kind_ = JsonValue::Kind::number;
        i_ += static_cast<std::size_t>(end - start);
        return true;
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue missing;
    const auto it = object_.find(key);
    return it == object_.end() ? missing : it->second;
}

bool JsonValue::parse(const std::string& text, JsonValue& out) {
    out = JsonValue();
    JsonParser p(text);
    if (p.document(out))
        return true;
    out = JsonValue();
    return false;
}
