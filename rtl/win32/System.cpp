// Locale comparison and lead bytes from the running Windows system.
#include "rtl/SysUtils.h"
#include "rtl/win32/WinApi.h"

namespace os {

// On a system without double-byte support the set is empty.
LeadByteSet SystemLeadBytes() {
    LeadByteSet set{};
    if (GetSystemMetrics(SM_DBCSENABLED) == 0) return set;
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info)) return set;
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) set[b] = true;
    }
    return set;
}

}  // namespace os

// CompareStringA over the full lengths; a failed call counts as unequal.
int AnsiCompareText(const AnsiString& a, const AnsiString& b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                           b.data(), static_cast<int>(b.size()));
    if (r == 0) return a < b ? -1 : 1;
    return r - CSTR_EQUAL;
}
