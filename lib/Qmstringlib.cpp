// Cutting a byte string into pieces at delimiter bytes.
#include "lib/Qmstringlib.h"

int SplitString(const AnsiString& text, const AnsiString& delimiters, TStringList& list) {
    list.Clear();
    int count = SplitAppend(text, delimiters, list);
    RemoveEmptyStrings(list);
    return count;
}

int SplitAppend(const AnsiString& text, const AnsiString& delimiters, TStringList& list) {
    AnsiString piece;
    bool quoted = false;
    int count = 0;
    auto endPiece = [&] {
        list.Add(std::move(piece));
        piece.clear();
        ++count;
    };
    for (std::size_t p = 1; p <= text.size(); ++p) {
        const char byte = text[p - 1];
        // The quote test comes first: a quote opens or closes a part even where the byte
        // class would call it a trail byte, and a quote in the delimiters never splits.
        if (byte == '"') {
            if (quoted) endPiece();
            quoted = !quoted;
            continue;
        }
        if (quoted || ByteType(text, p) != mbSingleByte || delimiters.find(byte) == AnsiString::npos) {
            piece += byte;
            continue;
        }
        endPiece();
    }
    endPiece();
    return count;
}

void RemoveEmptyStrings(TStringList& list) {
    for (int i = 0; i < list.Count();) {
        if (list.Strings(i).empty()) {
            list.Delete(i);
        } else {
            ++i;
        }
    }
}
