// The Windows side of the string tables: the built-in table chosen by the
// user's UI language (an "IDR_XML_FILE" resource of the exe), and
// the per-customer title and offer text set on the popup before each offer.
#include "i18n/strings.h"

#include "app/app_win.h"
#include "support/language.h"
#include "support/text.h"

namespace {

const int kTitleLabelId = 19001;
const int kOfferTextId = 19002;
const wchar_t kStringTableType[] = L"IDR_XML_FILE";

void SetControlText(int id, const std::wstring& text) {
    if (HWND control = GetDlgItem(g_hWndPopup, id))
        SetWindowTextW(control, text.c_str());
}

} // namespace

void LoadStringTable() {
    g_nStringTableId = StringTableIdFor(GetUILanguage());
    HRSRC resource = FindResourceW(g_hInst, MAKEINTRESOURCEW(g_nStringTableId), kStringTableType);
    if (resource == nullptr)
        return;
    const DWORD size = SizeofResource(g_hInst, resource);
    HGLOBAL loaded = LoadResource(g_hInst, resource);
    if (loaded == nullptr)
        return;
    if (const void* bytes = LockResource(loaded))
        ParseStringTable(static_cast<const char*>(bytes), size);
    FreeResource(loaded); // a no-op on Win32, kept for symmetry with LoadResource
}

void ApplyCustomerTexts() {
    std::string title, text;
    ChooseCustomerTexts(GetUILanguage(), title, text);
    // Set even when empty: the table texts serve only until the first offer.
    SetControlText(kTitleLabelId, Utf8ToWide(title));
    SetControlText(kOfferTextId, Utf8ToWide(text));
}
