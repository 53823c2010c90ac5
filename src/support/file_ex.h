// A file stream opened through its UTF-16 path, closed on every path out.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Position and seek with 64-bit offsets on both builds: fseek and ftell take
// a long, which is 32 bits on Windows, so a file of 2 GiB or more would
// report no size there. TellFile answers -1 on failure.
int64_t TellFile(FILE* stream);
bool SeekFile(FILE* stream, int64_t offset, int origin);

class CFileEx {
  public:
    CFileEx() = default;
    CFileEx(const CFileEx&) = delete;
    CFileEx& operator=(const CFileEx&) = delete;
    virtual ~CFileEx();

    // Refuses (false) while a stream is already open. With `denyWriters`,
    // no other process or handle may open the file for writing while the
    // stream is open (Windows share modes; the host build has none).
    bool Open(const std::string& path, const std::string& mode, bool denyWriters = false);
    void Close();
    FILE* Stream() const { return m_pFile; }

  private:
    FILE* m_pFile = nullptr;
};
