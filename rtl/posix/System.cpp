// Locale comparison and lead bytes for builds that run outside Windows: code page 932's.
#include "rtl/SysUtils.h"

namespace os {
LeadByteSet SystemLeadBytes() { return Cp932LeadBytes(); }
}  // namespace os

int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return FoldCompareText(a, b); }
