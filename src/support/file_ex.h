// A file stream opened through its UTF-16 path, closed on every path out.
#pragma once
#include <cstdio>
#include <string>

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
