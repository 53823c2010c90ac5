// Text helpers that need no system call and behave the same on every build.
#include "support/text.h"

int ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    // Nothing sensible matches an empty search text; report no replacement
    // rather than inserting `with` between every character forever.
    if (what.empty())
        return 0;
    int count = 0;
    std::wstring::size_type pos = 0;
    while ((pos = text.find(what, pos)) != std::wstring::npos) {
        text.replace(pos, what.size(), with);
        // Continue after the inserted text so a replacement that contains the
        // search text is never matched again.
        pos += with.size();
        ++count;
    }
    return count;
}
