// The reader of the patch script.
#include "package/Ttinycnf.h"

#include "rtl/SysUtils.h"

TTinyCnf::TTinyCnf(const TStringList& source) : lines(std::make_unique<TStringList>()) {
    lines->AddStrings(source);
}

bool TTinyCnf::GetValue(std::string key, std::string& value) const {
    if (key.empty()) return false;
    key = Trim(key);
    if (key.empty() || key[0] != '*') return false;
    int i = FindLine(key);
    if (i == -1) return false;
    value = (i + 1 < lines->Count()) ? Unescape(Trim(lines->Strings(i + 1))) : std::string();
    return true;
}

bool TTinyCnf::GetList(std::string key, TStringList& list) const {
    if (key.empty()) return false;
    key = Trim(key);
    if (key.empty() || key[0] != '%') return false;
    int i = FindLine(key);
    if (i == -1) return false;
    int end = FindListEnd(i);
    list.Clear();
    for (int j = i + 1; j < end; ++j) list.Add(Unescape(Trim(lines->Strings(j))));
    return true;
}

int TTinyCnf::FindLine(const std::string& text) const {
    const int n = lines->Count();
    for (int i = 0; i < n; ++i) {
        if (AnsiCompareText(lines->Strings(i), text) == 0) return i;
    }
    return -1;
}

int TTinyCnf::FindListEnd(int start) const {
    const int n = lines->Count();
    for (int i = start; i < n; ++i) {
        if (AnsiCompareText(lines->Strings(i), "%%") == 0) return i;
    }
    return n;
}

std::string TTinyCnf::Unescape(const std::string& text) {
    std::string s = StringReplace(text, "&AMPERSAND;", "&", rfReplaceAll);
    s = StringReplace(s, "&TAB;", "\t", rfReplaceAll);
    s = StringReplace(s, "&SPACE;", " ", rfReplaceAll);
    s = StringReplace(s, "&ASTERISK;", "*", rfReplaceAll);
    return StringReplace(s, "&PERCENT;", "%", rfReplaceAll);
}
