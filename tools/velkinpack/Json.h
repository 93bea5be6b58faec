// A small writer of JSON text for inspect --json.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    const std::string& Text() const { return text_; }

private:
    void Separate();
    std::string text_;
    std::vector<bool> first_;  // per open container: nothing written in it yet
    bool afterKey_ = false;
};
