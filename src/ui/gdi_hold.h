// Small holders for per-call GDI resources of the popup code: a window's
// device context, a memory device context, and an object selected into a
// context. Each gives its resource back on every path out of the caller.
#pragma once
#include <windows.h>

class WindowDc {
  public:
    explicit WindowDc(HWND hWnd) : m_hWnd(hWnd), m_hDc(GetDC(hWnd)) {}
    ~WindowDc() {
        if (m_hDc)
            ReleaseDC(m_hWnd, m_hDc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return m_hDc; }

  private:
    HWND m_hWnd;
    HDC m_hDc;
};

class MemoryDc {
  public:
    explicit MemoryDc(HDC like) : m_hDc(CreateCompatibleDC(like)) {}
    ~MemoryDc() {
        if (m_hDc)
            DeleteDC(m_hDc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return m_hDc; }

  private:
    HDC m_hDc;
};

// Selects `object` into `dc` and puts the previous object back on scope exit,
// so the caller's object is never left selected into a context being freed.
class Selected {
  public:
    Selected(HDC dc, HGDIOBJ object)
        : m_hDc(dc), m_hPrev(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~Selected() {
        if (m_hPrev)
            SelectObject(m_hDc, m_hPrev);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    HDC m_hDc;
    HGDIOBJ m_hPrev;
};
