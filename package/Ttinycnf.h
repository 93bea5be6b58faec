// The reader of the patch script: value entries under "*" keys, list entries under "%" keys.
#pragma once

#include <memory>
#include <string>

#include "rtl/Classes.h"

class TTinyCnf {
public:
    // Keeps its own copy of the lines; the caller may release its list at once.
    explicit TTinyCnf(const TStringList& source);
    TTinyCnf(const TTinyCnf&) = delete;
    TTinyCnf& operator=(const TTinyCnf&) = delete;

    // True when the key's line exists; `value` is then the next line, trimmed and unescaped
    // (empty when the key's line is the last). False, `value` untouched, otherwise.
    bool GetValue(std::string key, std::string& value) const;
    // True when the list key's line exists; `list` is then cleared and holds the item lines up
    // to the "%%" line or the end, trimmed and unescaped. False, `list` untouched, otherwise.
    bool GetList(std::string key, TStringList& list) const;

    // Index of the first line equal to the text, letter case ignored; -1 when there is none.
    int FindLine(const std::string& text) const;
    // Index of the first "%%" line at or after `start`; the number of lines when there is none.
    int FindListEnd(int start) const;
    // Replaces the entities &AMPERSAND; &TAB; &SPACE; &ASTERISK; &PERCENT;, in that order.
    static std::string Unescape(const std::string& text);

private:
    std::unique_ptr<TStringList> lines;
};
