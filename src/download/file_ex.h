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

    // Refuses (false) while a stream is already open.
    bool Open(const std::string& path, const std::string& mode);
    void Close();
    FILE* Stream() const { return m_pFile; }

  private:
    FILE* m_pFile = nullptr;
};
