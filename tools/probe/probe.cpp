// qmxprobe: looks at and drives the assistant's popup from another process in
// the same Wine prefix (or on Windows), the way the window system, a user or
// a device would. The end-to-end scenarios run it once per step and read its
// output: one JSON object per line on stdout, exit code 0 when the command
// could be carried out, 1 when its target was missing, 2 on a usage error.
//
// The assistant's UI thread blocks for seconds inside device scans, so every
// read here uses calls that do not send messages to the popup (window
// rectangles, styles, InternalGetWindowText), and everything that must reach
// the window procedure is posted, or sent with a timeout.
//
// Commands (docs/testing.md has the full list with their output):
//   find                          the popup: class "QMX", title "qmx"
//   controls                      the popup's child controls, one line each
//   click ID                      a button click (BN_CLICKED from control ID)
//   command ID                    WM_COMMAND ID with no control (menu/accelerator)
//   arrival [volume|iface] [--usb-path PATH]   WM_DEVICECHANGE DBT_DEVICEARRIVAL
//   removal                       WM_DEVICECHANGE DBT_DEVICEREMOVECOMPLETE
//   key [alt+]?|[alt+]/|[alt+]f4 [--method input|post]
//   key tab|shift+tab|enter|space|esc   typed on the popup (input only)
//   focus                         the control that has the keyboard focus
//   names                         Active Accessibility names of the popup and
//                                 of each visible control
//   settingchange                 WM_SETTINGCHANGE (SPI_SETHIGHCONTRAST)
//   close                         WM_CLOSE
//   syscommand-close              WM_SYSCOMMAND SC_CLOSE
//   endsession                    WM_QUERYENDSESSION, then WM_ENDSESSION TRUE (a log-off)
//   hittest X Y [--client]        WM_NCHITTEST at a point
//   process NAME                  whether a process of that image name runs
//   windows [--class C] [--title T] [--owned-by-popup]   top-level windows
//   show | hide                   ShowWindowAsync on the popup (tooling only)
//   env                           UI language, code page, work area, folders
//   post-command HWND ID          WM_COMMAND ID posted to any window (dialogs)
//   ping [MS] [--abort-if-hung]   whether the popup's thread answers within MS;
//                                 --abort-if-hung: as Windows' "not responding" test
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <oleacc.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kPopupClass[] = L"QMX";
const wchar_t kPopupTitle[] = L"qmx";
// DBT_DEVTYP_DEVICEINTERFACE records are sent for the USB device class the
// assistant registers for: {A5DCBF10-6530-11D2-901F-00C04FB951ED}.
const GUID kUsbDeviceClass = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
const wchar_t kDefaultUsbPath[] =
    L"\\\\?\\USB#VID_1D57&PID_AD03#5&1a2b3c4d&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const DWORD kSendTimeoutMs = 60000;       // device arrivals block the UI thread for seconds
const DWORD kQueryTimeoutMs = 2000;       // small reads such as the progress position
const LPARAM kAltContextBit = 0x20000000; // lParam bit 29 of key messages: Alt held

enum ExitCode { kOk = 0, kMissing = 1, kUsage = 2 };

// MinGW's import library resolves IID_IAccessible to a thunk, not the GUID.
const IID kIidAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// ---- JSON output ----------------------------------------------------------

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes,
                            nullptr, nullptr);
    return out;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof(buf), "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string Quote(const std::wstring& s) {
    return Quote(Utf8(s));
}

// Builds one JSON object by appending "key":value pairs in order.
class Line {
  public:
    Line& Raw(const char* key, const std::string& json) {
        text_ += (text_.empty() ? "{" : ",") + Quote(std::string(key)) + ":" + json;
        return *this;
    }
    Line& Str(const char* key, const std::string& v) { return Raw(key, Quote(v)); }
    Line& Str(const char* key, const std::wstring& v) { return Raw(key, Quote(v)); }
    Line& Int(const char* key, long long v) { return Raw(key, std::to_string(v)); }
    Line& Bool(const char* key, bool v) { return Raw(key, v ? "true" : "false"); }
    Line& Hex(const char* key, unsigned long long v) {
        char buf[32];
        snprintf(buf, sizeof(buf), "\"0x%llx\"", v);
        return Raw(key, buf);
    }
    Line& Rect(const char* key, const RECT& r) {
        char buf[128];
        snprintf(buf, sizeof(buf), "{\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld}", r.left, r.top,
                 r.right - r.left, r.bottom - r.top);
        return Raw(key, buf);
    }
    void Print() {
        printf("%s}\n", text_.empty() ? "{" : text_.c_str());
        fflush(stdout);
    }

  private:
    std::string text_;
};

int Fail(const char* cmd, const char* error, int code = kMissing) {
    Line().Str("cmd", std::string(cmd)).Bool("ok", false).Str("error", std::string(error)).Print();
    return code;
}

// ---- window helpers -------------------------------------------------------

HWND FindPopup() {
    return FindWindowW(kPopupClass, kPopupTitle);
}

std::wstring WindowText(HWND hWnd) {
    // InternalGetWindowText reads the stored text without sending WM_GETTEXT,
    // so it answers while the assistant's UI thread is busy.
    wchar_t buf[2048] = {0};
    InternalGetWindowText(hWnd, buf, 2047);
    return buf;
}

std::wstring ClassOf(HWND hWnd) {
    wchar_t buf[256] = {0};
    GetClassNameW(hWnd, buf, 255);
    return buf;
}

bool OwnVisibleBit(HWND hWnd) {
    return (GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string StyleFlags(const std::wstring& cls, LONG style) {
    std::vector<std::string> names;
    if (_wcsicmp(cls.c_str(), L"static") == 0) {
        LONG type = style & SS_TYPEMASK;
        if (type == SS_CENTER)
            names.push_back("SS_CENTER");
        if (type == SS_RIGHT)
            names.push_back("SS_RIGHT");
        if (type == SS_LEFT)
            names.push_back("SS_LEFT");
        if (style & SS_CENTERIMAGE)
            names.push_back("SS_CENTERIMAGE");
    } else if (_wcsicmp(cls.c_str(), L"button") == 0) {
        if ((style & BS_TYPEMASK) == BS_OWNERDRAW)
            names.push_back("BS_OWNERDRAW");
    }
    if (style & WS_TABSTOP)
        names.push_back("WS_TABSTOP");
    if (style & WS_DISABLED)
        names.push_back("WS_DISABLED");
    std::string out = "[";
    for (size_t i = 0; i < names.size(); ++i)
        out += (i ? "," : "") + Quote(names[i]);
    return out + "]";
}

struct ChildList {
    HWND parent;
    std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
    auto* list = reinterpret_cast<ChildList*>(lParam);
    if (GetParent(hWnd) == list->parent) // direct children only
        list->children.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> Children(HWND popup) {
    ChildList list{popup, {}};
    EnumChildWindows(popup, CollectChild, reinterpret_cast<LPARAM>(&list));
    return list.children;
}

RECT ClientRectOf(HWND child, HWND popup) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- commands -------------------------------------------------------------

int CmdFind() {
    HWND popup = FindPopup();
    Line line;
    line.Str("cmd", std::string("find")).Bool("found", popup != nullptr);
    if (popup) {
        RECT window, client;
        GetWindowRect(popup, &window);
        GetClientRect(popup, &client);
        DWORD pid = 0;
        GetWindowThreadProcessId(popup, &pid);
        line.Hex("hwnd", reinterpret_cast<ULONG_PTR>(popup))
            .Rect("rect", window)
            .Rect("client", client)
            .Bool("visible", IsWindowVisible(popup) != FALSE)
            .Hex("style", static_cast<DWORD>(GetWindowLongW(popup, GWL_STYLE)))
            .Hex("exstyle", static_cast<DWORD>(GetWindowLongW(popup, GWL_EXSTYLE)))
            .Int("pid", pid);
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        line.Rect("workarea", work)
            .Int("screen_w", GetSystemMetrics(SM_CXSCREEN))
            .Int("screen_h", GetSystemMetrics(SM_CYSCREEN));
    }
    line.Print();
    return popup ? kOk : kMissing;
}

int CmdControls() {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("controls", "no popup");
    for (HWND child : Children(popup)) {
        std::wstring cls = ClassOf(child);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        Line line;
        line.Str("cmd", std::string("control"))
            .Int("id", GetDlgCtrlID(child))
            .Str("class", cls)
            .Bool("visible", OwnVisibleBit(child))
            .Bool("shown", IsWindowVisible(child) != FALSE)
            .Str("text", WindowText(child))
            .Rect("rect", ClientRectOf(child, popup))
            .Hex("style", static_cast<DWORD>(style))
            .Hex("exstyle", static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE)))
            .Raw("flags", StyleFlags(cls, style));
        if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
            DWORD_PTR pos = 0;
            if (SendMessageTimeoutW(child, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs,
                                    &pos))
                line.Int("pos", static_cast<long long>(pos));
        }
        line.Print();
    }
    Line().Str("cmd", std::string("controls")).Bool("ok", true).Print();
    return kOk;
}

int CmdClick(int id, bool needControl) {
    const char* name = needControl ? "click" : "command";
    HWND popup = FindPopup();
    if (!popup)
        return Fail(name, "no popup");
    HWND control = needControl ? GetDlgItem(popup, id) : nullptr;
    if (needControl && !control)
        return Fail(name, "no such control");
    // Posted, as a real click's notification would arrive while the popup's
    // thread may be busy; a modal About box or a quit cannot block the probe.
    WPARAM wParam = needControl ? MAKEWPARAM(id, BN_CLICKED) : MAKEWPARAM(id, 0);
    BOOL posted = PostMessageW(popup, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
    Line().Str("cmd", std::string(name)).Int("id", id).Bool("ok", posted != FALSE).Print();
    return posted ? kOk : kMissing;
}

int CmdDevice(bool arrival, const std::string& kind, const std::wstring& usbPath) {
    const char* name = arrival ? "arrival" : "removal";
    HWND popup = FindPopup();
    if (!popup)
        return Fail(name, "no popup");
    // Wine copies dbch_size bytes of the record across processes for these
    // event codes; the record must therefore carry its true size.
    std::vector<unsigned char> record;
    if (kind == "volume") {
        DEV_BROADCAST_VOLUME vol;
        ZeroMemory(&vol, sizeof(vol));
        vol.dbcv_size = sizeof(vol);
        vol.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        vol.dbcv_unitmask = 1u << ('E' - 'A');
        record.assign(reinterpret_cast<unsigned char*>(&vol),
                      reinterpret_cast<unsigned char*>(&vol) + sizeof(vol));
    } else {
        size_t bytes = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                       (usbPath.size() + 1) * sizeof(wchar_t);
        record.assign(bytes, 0);
        auto* iface = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record.data());
        iface->dbcc_size = static_cast<DWORD>(bytes);
        iface->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        iface->dbcc_classguid = kUsbDeviceClass;
        memcpy(iface->dbcc_name, usbPath.c_str(), (usbPath.size() + 1) * sizeof(wchar_t));
    }
    WPARAM code = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    LRESULT sent =
        SendMessageTimeoutW(popup, WM_DEVICECHANGE, code, reinterpret_cast<LPARAM>(record.data()),
                            SMTO_NORMAL, kSendTimeoutMs, &result);
    DWORD elapsed = GetTickCount() - start;
    Line()
        .Str("cmd", std::string(name))
        .Str("type", kind)
        .Bool("ok", sent != 0)
        .Int("result", static_cast<long long>(result))
        .Int("ms", elapsed)
        .Print();
    return sent ? kOk : kMissing;
}

void SendKey(WORD vk, bool up) {
    INPUT in;
    ZeroMemory(&in, sizeof(in));
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

int CmdKey(const std::string& key, const std::string& method) {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("key", "no popup");
    const std::string altPrefix = "alt+";
    const std::string shiftPrefix = "shift+";
    bool alt = key.compare(0, altPrefix.size(), altPrefix) == 0;
    std::string name = alt ? key.substr(altPrefix.size()) : key;
    const bool shiftHeld = name.compare(0, shiftPrefix.size(), shiftPrefix) == 0;
    if (shiftHeld)
        name = name.substr(shiftPrefix.size());
    wchar_t ch = 0;
    WORD vk = 0;
    if (name == "?")
        ch = L'?';
    else if (name == "/")
        ch = L'/';
    else if (name == "f4")
        vk = VK_F4;
    else if (name == "tab")
        vk = VK_TAB;
    else if (name == "enter")
        vk = VK_RETURN;
    else if (name == "space")
        vk = VK_SPACE;
    else if (name == "esc")
        vk = VK_ESCAPE;
    else
        return Fail("key",
                    "unknown key ([alt+]?, [alt+]/, [alt+]f4, [shift+]tab, enter, space, esc)",
                    kUsage);

    BOOL ok = FALSE;
    if (method == "input") {
        // Real keyboard input to the foreground window: the popup must be
        // visible and able to take the focus.
        SetForegroundWindow(popup);
        SHORT scan = vk ? 0 : VkKeyScanW(ch);
        WORD keyVk = vk ? vk : static_cast<WORD>(scan & 0xff);
        bool shift = shiftHeld || (!vk && (scan & 0x100));
        if (alt)
            SendKey(VK_MENU, false);
        if (shift)
            SendKey(VK_SHIFT, false);
        SendKey(keyVk, false);
        SendKey(keyVk, true);
        if (shift)
            SendKey(VK_SHIFT, true);
        if (alt)
            SendKey(VK_MENU, true);
        ok = TRUE;
    } else {
        WORD keyVk = vk ? vk : static_cast<WORD>(VkKeyScanW(ch) & 0xff);
        LPARAM lParam = 1 | (static_cast<LPARAM>(MapVirtualKeyW(keyVk, MAPVK_VK_TO_VSC)) << 16) |
                        (alt ? kAltContextBit : 0);
        if (vk) {
            // DefWindowProc turns Alt+F4 (WM_SYSKEYDOWN with the Alt context
            // bit) into WM_SYSCOMMAND SC_CLOSE.
            ok = PostMessageW(popup, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, lParam);
        } else {
            // The character message TranslateMessage would have made.
            ok = PostMessageW(popup, alt ? WM_SYSCHAR : WM_CHAR, ch, lParam);
        }
    }
    Line()
        .Str("cmd", std::string("key"))
        .Str("key", key)
        .Str("method", method)
        .Bool("ok", ok != FALSE)
        .Print();
    return ok ? kOk : kMissing;
}

int CmdPost(const char* name, UINT msg, WPARAM wParam) {
    HWND popup = FindPopup();
    if (!popup)
        return Fail(name, "no popup");
    BOOL ok = PostMessageW(popup, msg, wParam, 0);
    Line().Str("cmd", std::string(name)).Bool("ok", ok != FALSE).Print();
    return ok ? kOk : kMissing;
}

// What the system sends a window when the user logs off: the query, then the
// end itself. The window may end its process while handling the second.
int CmdEndSession() {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("endsession", "no popup");
    DWORD_PTR agreed = 0;
    SendMessageTimeoutW(popup, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                        kQueryTimeoutMs, &agreed);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(popup, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, kQueryTimeoutMs,
                        &ignored);
    Line()
        .Str("cmd", std::string("endsession"))
        .Bool("ok", true)
        .Bool("agreed", agreed != 0)
        .Print();
    return kOk;
}

int CmdShow(bool show) {
    HWND popup = FindPopup();
    if (!popup)
        return Fail(show ? "show" : "hide", "no popup");
    BOOL ok = ShowWindowAsync(popup, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    Line().Str("cmd", std::string(show ? "show" : "hide")).Bool("ok", ok != FALSE).Print();
    return ok ? kOk : kMissing;
}

int CmdHitTest(int x, int y, bool client) {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("hittest", "no popup");
    POINT pt = {x, y};
    if (client)
        ClientToScreen(popup, &pt);
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutW(popup, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), SMTO_NORMAL,
                                       kSendTimeoutMs, &result);
    Line()
        .Str("cmd", std::string("hittest"))
        .Bool("ok", sent != 0)
        .Int("x", pt.x)
        .Int("y", pt.y)
        .Int("hit", static_cast<long long>(static_cast<LRESULT>(result)))
        .Print();
    return sent ? kOk : kMissing;
}

int CmdProcess(const std::wstring& name) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return Fail("process", "no snapshot");
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    std::string pids = "[";
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        if (_wcsicmp(entry.szExeFile, name.c_str()) == 0) {
            pids += (count ? "," : "") + std::to_string(entry.th32ProcessID);
            ++count;
        }
    }
    CloseHandle(snap);
    Line()
        .Str("cmd", std::string("process"))
        .Str("name", name)
        .Bool("running", count > 0)
        .Int("count", count)
        .Raw("pids", pids + "]")
        .Print();
    return kOk;
}

struct WindowQuery {
    std::wstring cls, title;
    bool hasClass = false, hasTitle = false, ownedByPopup = false;
    HWND popup = nullptr;
    int count = 0;
};

BOOL CALLBACK ReportWindow(HWND hWnd, LPARAM lParam) {
    auto* q = reinterpret_cast<WindowQuery*>(lParam);
    std::wstring cls = ClassOf(hWnd), title = WindowText(hWnd);
    if (q->hasClass && cls != q->cls)
        return TRUE;
    if (q->hasTitle && title != q->title)
        return TRUE;
    HWND owner = GetWindow(hWnd, GW_OWNER);
    if (q->ownedByPopup && (!q->popup || owner != q->popup))
        return TRUE;
    RECT r;
    GetWindowRect(hWnd, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    Line()
        .Str("cmd", std::string("window"))
        .Hex("hwnd", reinterpret_cast<ULONG_PTR>(hWnd))
        .Str("class", cls)
        .Str("title", title)
        .Bool("visible", IsWindowVisible(hWnd) != FALSE)
        .Hex("owner", reinterpret_cast<ULONG_PTR>(owner))
        .Bool("owned_by_popup", q->popup && owner == q->popup)
        .Int("pid", pid)
        .Rect("rect", r)
        .Print();
    ++q->count;
    return TRUE;
}

int CmdWindows(const WindowQuery& query) {
    WindowQuery q = query;
    q.popup = FindPopup();
    EnumWindows(ReportWindow, reinterpret_cast<LPARAM>(&q));
    Line().Str("cmd", std::string("windows")).Bool("ok", true).Int("count", q.count).Print();
    return kOk;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE);
    return buf;
}

// The system colours a high-contrast popup draws with, as [r, g, b].
std::string SystemColours() {
    const struct {
        const char* name;
        int index;
    } colours[] = {{"window", COLOR_WINDOW},       {"window_text", COLOR_WINDOWTEXT},
                   {"highlight", COLOR_HIGHLIGHT}, {"highlight_text", COLOR_HIGHLIGHTTEXT},
                   {"button_face", COLOR_BTNFACE}, {"button_text", COLOR_BTNTEXT}};
    std::string out = "{";
    for (const auto& each : colours) {
        const COLORREF c = GetSysColor(each.index);
        char buf[64];
        snprintf(buf, sizeof(buf), "%s\"%s\":[%d,%d,%d]", out.size() > 1 ? "," : "", each.name,
                 GetRValue(c), GetGValue(c), GetBValue(c));
        out += buf;
    }
    return out + "}";
}

int CmdEnv() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    wchar_t appdata[MAX_PATH] = {0};
    GetEnvironmentVariableW(L"APPDATA", appdata, MAX_PATH);
    Line()
        .Str("cmd", std::string("env"))
        .Hex("ui_language", GetUserDefaultUILanguage())
        .Hex("user_lcid", GetUserDefaultLCID())
        .Int("acp", GetACP())
        .Rect("workarea", work)
        .Int("screen_w", GetSystemMetrics(SM_CXSCREEN))
        .Int("screen_h", GetSystemMetrics(SM_CYSCREEN))
        .Str("appdata", std::wstring(appdata))
        .Str("program_files_x86", SpecialFolder(CSIDL_PROGRAM_FILESX86))
        .Raw("colours", SystemColours())
        .Print();
    return kOk;
}

int CmdPing(int timeoutMs, bool abortIfHung) {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("ping", "no popup");
    DWORD_PTR result = 0;
    DWORD start = GetTickCount();
    // SMTO_ABORTIFHUNG gives up at once on a thread that has not looked at
    // its messages for a while: what Windows calls "not responding".
    LRESULT answered =
        SendMessageTimeoutW(popup, WM_NULL, 0, 0, abortIfHung ? SMTO_ABORTIFHUNG : SMTO_NORMAL,
                            static_cast<UINT>(timeoutMs), &result);
    Line()
        .Str("cmd", std::string("ping"))
        .Bool("ok", true)
        .Bool("answered", answered != 0)
        .Int("ms", GetTickCount() - start)
        .Print();
    return kOk;
}

int CmdPostCommand(const std::wstring& handle, int id) {
    HWND target =
        reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoull(handle.c_str(), nullptr, 0)));
    if (!IsWindow(target))
        return Fail("post-command", "no such window");
    BOOL ok = PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    Line().Str("cmd", std::string("post-command")).Int("id", id).Bool("ok", ok != FALSE).Print();
    return ok ? kOk : kMissing;
}

// The keyboard focus of the popup's thread, read from outside.
int CmdFocus() {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("focus", "no popup");
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(popup, nullptr), &info))
        return Fail("focus", "no thread information");
    HWND focus = info.hwndFocus;
    Line line;
    line.Str("cmd", std::string("focus"))
        .Bool("ok", true)
        .Hex("hwnd", reinterpret_cast<ULONG_PTR>(focus));
    line.Bool("popup", focus == popup);
    line.Int("id", focus && GetParent(focus) == popup ? GetDlgCtrlID(focus) : 0);
    line.Bool("active", info.hwndActive == popup);
    line.Print();
    return kOk;
}

// accName of an object of `hWnd` (OBJID_CLIENT or OBJID_WINDOW) as a screen
// reader asks for it; `error` says what failed.
std::wstring AccessibleName(HWND hWnd, LONG objectId, std::string& error) {
    IAccessible* object = nullptr;
    HRESULT hr = AccessibleObjectFromWindow(hWnd, static_cast<DWORD>(objectId), kIidAccessible,
                                            reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        error = "AccessibleObjectFromWindow " + std::to_string(static_cast<long>(hr));
        return std::wstring();
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    hr = object->get_accName(self, &name);
    std::wstring out = name ? std::wstring(name, SysStringLen(name)) : std::wstring();
    if (name)
        SysFreeString(name);
    object->Release();
    if (FAILED(hr))
        error = "accName " + std::to_string(static_cast<long>(hr));
    return out;
}

int CmdNames() {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("names", "no popup");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto report = [](HWND hWnd, int id, LONG objectId, const char* object) {
        std::string error;
        const std::wstring name = AccessibleName(hWnd, objectId, error);
        Line line;
        line.Str("cmd", std::string("name")).Int("id", id).Str("object", std::string(object));
        line.Str("name", name);
        if (!error.empty())
            line.Str("error", error);
        line.Print();
    };
    report(popup, 0, OBJID_WINDOW, "window");
    report(popup, 0, OBJID_CLIENT, "client");
    for (HWND child : Children(popup)) {
        if (OwnVisibleBit(child))
            report(child, GetDlgCtrlID(child), OBJID_CLIENT, "client");
    }
    Line().Str("cmd", std::string("names")).Bool("ok", true).Print();
    CoUninitialize();
    return kOk;
}

// What the system sends every top-level window when the user switches a
// theme or high contrast.
int CmdSettingChange() {
    HWND popup = FindPopup();
    if (!popup)
        return Fail("settingchange", "no popup");
    DWORD_PTR ignored = 0;
    LRESULT sent = SendMessageTimeoutW(popup, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0, SMTO_NORMAL,
                                       kQueryTimeoutMs, &ignored);
    Line().Str("cmd", std::string("settingchange")).Bool("ok", sent != 0).Print();
    return sent ? kOk : kMissing;
}

int Usage() {
    fprintf(
        stderr,
        "usage: qmxprobe find | controls | click ID | command ID |\n"
        "       arrival [iface|volume] [--usb-path PATH] | removal |\n"
        "       key [alt+]?|[alt+]/|[alt+]f4 [--method input|post] | close | syscommand-close |\n"
        "       endsession |\n"
        "       hittest X Y [--client] | process NAME |\n"
        "       windows [--class C] [--title T] [--owned-by-popup] | show | hide | env |\n"
        "       ping [MS] [--abort-if-hung] |\n"
        "       post-command HWND ID | focus | names | settingchange\n"
        "       key [shift+]tab|enter|space|esc\n");
    return kUsage;
}

bool ParseInt(const std::wstring& s, int& out) {
    if (s.empty())
        return false;
    wchar_t* end = nullptr;
    long v = wcstol(s.c_str(), &end, 10);
    if (!end || *end)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::wstring& cmd = args[0];
    auto option = [&](const wchar_t* name, std::wstring& value) {
        for (size_t i = 1; i + 1 < args.size(); ++i)
            if (args[i] == name) {
                value = args[i + 1];
                return true;
            }
        return false;
    };
    auto flag = [&](const wchar_t* name) {
        for (size_t i = 1; i < args.size(); ++i)
            if (args[i] == name)
                return true;
        return false;
    };

    if (cmd == L"find")
        return CmdFind();
    if (cmd == L"controls")
        return CmdControls();
    if (cmd == L"click" || cmd == L"command") {
        int id = 0;
        if (args.size() < 2 || !ParseInt(args[1], id))
            return Usage();
        return CmdClick(id, cmd == L"click");
    }
    if (cmd == L"arrival" || cmd == L"removal") {
        std::string kind = "iface";
        if (args.size() >= 2 && args[1] == L"volume")
            kind = "volume";
        std::wstring path = kDefaultUsbPath;
        option(L"--usb-path", path);
        return CmdDevice(cmd == L"arrival", kind, path);
    }
    if (cmd == L"key") {
        if (args.size() < 2)
            return Usage();
        std::wstring method = L"input";
        option(L"--method", method);
        return CmdKey(Utf8(args[1]), Utf8(method));
    }
    if (cmd == L"focus")
        return CmdFocus();
    if (cmd == L"names")
        return CmdNames();
    if (cmd == L"settingchange")
        return CmdSettingChange();
    if (cmd == L"close")
        return CmdPost("close", WM_CLOSE, 0);
    if (cmd == L"syscommand-close")
        return CmdPost("syscommand-close", WM_SYSCOMMAND, SC_CLOSE);
    if (cmd == L"endsession")
        return CmdEndSession();
    if (cmd == L"env")
        return CmdEnv();
    if (cmd == L"post-command") {
        int id = 0;
        if (args.size() < 3 || !ParseInt(args[2], id))
            return Usage();
        return CmdPostCommand(args[1], id);
    }
    if (cmd == L"ping") {
        int ms = 1000;
        if (args.size() >= 2 && args[1].rfind(L"--", 0) != 0 && !ParseInt(args[1], ms))
            return Usage();
        return CmdPing(ms, flag(L"--abort-if-hung"));
    }
    if (cmd == L"show" || cmd == L"hide")
        return CmdShow(cmd == L"show");
    if (cmd == L"hittest") {
        int x = 0, y = 0;
        if (args.size() < 3 || !ParseInt(args[1], x) || !ParseInt(args[2], y))
            return Usage();
        return CmdHitTest(x, y, flag(L"--client"));
    }
    if (cmd == L"process") {
        if (args.size() < 2)
            return Usage();
        return CmdProcess(args[1]);
    }
    if (cmd == L"windows") {
        WindowQuery q;
        q.hasClass = option(L"--class", q.cls);
        q.hasTitle = option(L"--title", q.title);
        q.ownedByPopup = flag(L"--owned-by-popup");
        return CmdWindows(q);
    }
    return Usage();
}
