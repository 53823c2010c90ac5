// CFileEx: one file stream opened from a UTF-8 path, closed on every way out.
//
// Paths reach the program as UTF-8 (they come from documents and from the
// UTF-16 folder rules); Windows only opens non-ASCII names correctly through
// the wide-path open, so the path and the mode are converted to UTF-16 there.
// The host build's runtime takes UTF-8 paths as they are.
#include "support/file_ex.h"

#ifdef _WIN32
#include "support/text.h"

#include <share.h>
#else
#include <sys/types.h>
static_assert(sizeof(off_t) >= 8, "the host build needs 64-bit file offsets");
#endif

int64_t TellFile(FILE* stream) {
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return ftello(stream);
#endif
}

bool SeekFile(FILE* stream, int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(stream, offset, origin) == 0;
#else
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0;
#endif
}

CFileEx::~CFileEx() {
    Close();
}

bool CFileEx::Open(const std::string& path, const std::string& mode, bool denyWriters) {
    if (m_pFile != nullptr)
        return false;
#ifdef _WIN32
    // _wfopen shares the file with every reader and writer.
    m_pFile = _wfsopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str(),
                       denyWriters ? _SH_DENYWR : _SH_DENYNO);
#else
    (void)denyWriters;
    m_pFile = std::fopen(path.c_str(), mode.c_str());
#endif
    return m_pFile != nullptr;
}

void CFileEx::Close() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}
