#include "win/win_controls.h"

#include <algorithm>

#include <commctrl.h>
#include <commdlg.h>
#include <oleacc.h>

#include <stdexcept>
#include <vector>

#include "platform/wide.h"

namespace tessarel {

int DpiOf(HWND window) {
    const UINT dpi = window ? GetDpiForWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : 96;
}

namespace {

// The faces tried for each of the design's, best first.
const wchar_t* const kBookmanFaces[] = {L"Bookman Old Style", L"URW Bookman", L"Book Antiqua",
                                        L"Georgia", L"Times New Roman"};
const wchar_t* const kCalligraphyFaces[] = {L"Lucida Calligraphy", L"Lucida Handwriting",
                                            L"Segoe Script", L"Monotype Corsiva", L"Georgia"};
const wchar_t* const kSansFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma",
                                     L"Segoe UI", L"Arial"};

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFace(const wchar_t* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

template <size_t N>
const wchar_t* FirstFace(const wchar_t* const (&faces)[N]) {
    for (const wchar_t* face : faces) {
        if (HasFace(face)) {
            return face;
        }
    }
    return faces[N - 1];
}

}  // namespace

namespace {

HFONT NewFont(const FontDesign& font, int dpi) {
    if (font.face == Face::kDefault) {
        // The face Windows gives its own dialogs' text at this DPI: a control left without a
        // font would draw in the old bold System face.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                       static_cast<UINT>(dpi))) {
            return CreateFontIndirectW(&metrics.lfMessageFont);
        }
    }
    const wchar_t* face = font.face == Face::kBookman       ? FirstFace(kBookmanFaces)
                          : font.face == Face::kCalligraphy ? FirstFace(kCalligraphyFaces)
                                                            : FirstFace(kSansFaces);
    const double points = font.points > 0 ? font.points : 8.25;
    return CreateFontW(-static_cast<int>(points * dpi / 72.0 + 0.5), 0, 0, 0, font.weight,
                       font.italic, font.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face);
}

// The fonts made so far, one for each design font at each DPI, freed when the program ends.
class FontCache {
  public:
    ~FontCache() {
        for (const Entry& entry : fonts_) {
            DeleteObject(entry.font);
        }
    }
    HFONT Get(const FontDesign& font, int dpi) {
        for (const Entry& entry : fonts_) {
            const FontDesign& f = entry.design;
            if (entry.dpi == dpi && f.face == font.face && f.points == font.points &&
                f.weight == font.weight && f.italic == font.italic &&
                f.underline == font.underline) {
                return entry.font;
            }
        }
        fonts_.push_back({font, dpi, NewFont(font, dpi)});
        return fonts_.back().font;
    }

  private:
    struct Entry {
        FontDesign design;
        int dpi;
        HFONT font;
    };
    std::vector<Entry> fonts_;
};

}  // namespace

HFONT MakeFont(const FontDesign& font, int dpi) {
    static FontCache cache;
    return cache.Get(font, dpi);
}

void FitToText(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), length, &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT now{};
    GetWindowRect(control, &now);
    SetWindowPos(control, nullptr, 0, 0, size.cx, now.bottom - now.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring WideText(const std::string& text) {
    try {
        return Wide(text);
    } catch (...) {
        return std::wstring();
    }
}

namespace {

struct Rect {
    int x, y, w, h;
};

Rect PlaceOf(const ControlDesign& c, int left, int top, int dpi) {
    if (c.kind == ControlKind::kLine) {
        // A line gives its two ends: an etched rule two pixels high.
        return {PixelsOf(left + c.left, dpi), PixelsOf(top + c.top, dpi),
                PixelsOf(c.width - c.left, dpi), 2};
    }
    return {PixelsOf(left + c.left, dpi), PixelsOf(top + c.top, dpi), PixelsOf(c.width, dpi),
            PixelsOf(c.height, dpi)};
}

}  // namespace

namespace {

void SetDesignFont(HWND control, const ControlDesign& c, int dpi) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(MakeFont(c.font, dpi)), TRUE);
    if (c.kind == ControlKind::kText && c.max_length > 0) {
        // A short field's longest number needs the room the font's own margins would take (a
        // new font brings those margins back).
        SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(1, 1));
    }
}

}  // namespace

HWND CreateDesignControl(HWND window, const ControlDesign& c, int left, int top, int dpi, int id) {
    const wchar_t* kind = L"STATIC";
    // Clipped by its siblings: Cancel and the clip share their place, and a frame lies under
    // the controls inside it.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD extended = 0;
    switch (c.kind) {
        case ControlKind::kFrame:
            kind = L"BUTTON";
            style |= BS_GROUPBOX;
            break;
        case ControlKind::kButton:
            kind = L"BUTTON";
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::kGoButton:
            kind = L"BUTTON";
            style |= BS_OWNERDRAW | WS_TABSTOP;
            break;
        case ControlKind::kOption:
            // The program keeps each group exclusive itself: the design's groups do not lie
            // together in the tab order, as Windows' own grouping would want them.
            kind = L"BUTTON";
            style |= BS_RADIOBUTTON | WS_TABSTOP;
            break;
        case ControlKind::kText:
            kind = L"EDIT";
            style |= ES_AUTOHSCROLL | WS_TABSTOP;
            extended = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::kLabel:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::kTitle:
            style |= SS_CENTER | SS_NOPREFIX;
            break;
        case ControlKind::kLine:
            style |= SS_ETCHEDHORZ;
            break;
        case ControlKind::kProgress:
            kind = PROGRESS_CLASSW;
            break;
        case ControlKind::kSpinner:
            kind = UPDOWN_CLASSW;
            style |= UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS | WS_TABSTOP;
            break;
        case ControlKind::kAnimation:
            kind = L"TessarelClip";
            break;
    }
    if (c.visible) {
        style |= WS_VISIBLE;
    }
    if (!c.enabled) {
        style |= WS_DISABLED;
    }
    const Rect r = PlaceOf(c, left, top, dpi);
    HWND control = CreateWindowExW(extended, kind, WideText(c.caption).c_str(), style, r.x, r.y,
                                   r.w, r.h, window, reinterpret_cast<HMENU>(INT_PTR(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (c.kind == ControlKind::kText && c.max_length > 0) {
        SendMessageW(control, EM_SETLIMITTEXT, static_cast<WPARAM>(c.max_length), 0);
    }
    if (c.kind == ControlKind::kProgress) {
        SendMessageW(control, PBM_SETRANGE32, 0, 100);
    }
    if (c.kind == ControlKind::kOption && c.checked) {
        SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    }
    SetDesignFont(control, c, dpi);
    if (*c.accessible) {
        SetAccessibleName(control, WideText(c.accessible));
    }
    return control;
}

void PlaceDesignControl(HWND control, const ControlDesign& c, int left, int top, int dpi) {
    const Rect r = PlaceOf(c, left, top, dpi);
    SetWindowPos(control, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE);
    SetDesignFont(control, c, dpi);
}

namespace {

const UINT_PTR kNameSubclass = 0x4E414D45;
const wchar_t kNameProperty[] = L"TessarelAccessibleName";

// The system's own accessible object of a control, with the name the program gives it.
class NamedAccessible : public IAccessible {
  public:
    NamedAccessible(HWND control, IAccessible* inner, std::wstring name)
        : control_(control), inner_(inner), name_(std::move(name)) {}
    virtual ~NamedAccessible() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(id, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            inner_->Release();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return inner_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return inner_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l,
                                            DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
        return inner_->get_accParent(p);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
        return inner_->get_accChildCount(n);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** p) override {
        return inner_->get_accChild(c, p);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (child.vt == VT_I4 && child.lVal == CHILDID_SELF) {
            *name = SysAllocString(name_.c_str());
            return S_OK;
        }
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override {
        // A progress bar's value is its percentage, where the system's own object gives none.
        const HRESULT result = inner_->get_accValue(c, v);
        if (c.vt == VT_I4 && c.lVal == CHILDID_SELF && (FAILED(result) || !*v) &&
            IsProgressBar(control_)) {
            const LRESULT percent = SendMessageW(control_, PBM_GETPOS, 0, 0);
            *v = SysAllocString((std::to_wstring(percent) + L"%").c_str());
            return S_OK;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override {
        return inner_->get_accDescription(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* r) override {
        return inner_->get_accRole(c, r);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override {
        return inner_->get_accState(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override {
        return inner_->get_accHelp(c, h);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return inner_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return inner_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* f) override { return inner_->get_accFocus(f); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* s) override {
        return inner_->get_accSelection(s);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
        return inner_->get_accDefaultAction(c, a);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override {
        return inner_->accSelect(f, c);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return inner_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long n, VARIANT s, VARIANT* e) override {
        return inner_->accNavigate(n, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override {
        return inner_->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override {
        return inner_->accDoDefaultAction(c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override {
        return inner_->put_accName(c, n);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override {
        return inner_->put_accValue(c, v);
    }

  private:
    static bool IsProgressBar(HWND control) {
        wchar_t kind[64] = {};
        GetClassNameW(control, kind, 64);
        return lstrcmpiW(kind, PROGRESS_CLASSW) == 0;
    }
    HWND control_;
    IAccessible* inner_;
    std::wstring name_;
    ULONG references_ = 1;
};

LRESULT CALLBACK AnswerForName(HWND control, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                               DWORD_PTR data) {
    auto* name = reinterpret_cast<std::wstring*>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(l) == OBJID_CLIENT) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&standard)))) {
            auto* named = new NamedAccessible(control, standard, *name);
            const LRESULT result = LresultFromObject(__uuidof(IAccessible), w, named);
            named->Release();
            return result;
        }
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, AnswerForName, kNameSubclass);
        RemovePropW(control, kNameProperty);
        delete name;
    }
    return DefSubclassProc(control, message, w, l);
}

}  // namespace

void SetAccessibleName(HWND control, const std::wstring& name) {
    // The name lives with the subclass; the property only marks that it is there.
    if (auto* old = static_cast<std::wstring*>(GetPropW(control, kNameProperty))) {
        *old = name;
        return;
    }
    auto* kept = new std::wstring(name);
    SetPropW(control, kNameProperty, kept);
    SetWindowSubclass(control, AnswerForName, kNameSubclass, reinterpret_cast<DWORD_PTR>(kept));
}

HICON IconOf(const Picture& picture) {
    if (picture.width == 0) {
        return nullptr;
    }
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = picture.width;
    header.bV5Height = -picture.height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC dc = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    ReleaseDC(nullptr, dc);
    std::copy(picture.pixels.begin(), picture.pixels.end(), static_cast<uint32_t*>(bits));
    HBITMAP mask = CreateBitmap(picture.width, picture.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

MsgAnswer WinMessageBox::Show(const Notice& notice) {
    // Windows' own message box takes the classic style numbers as they are.
    ++shown_;
    const int answer =
        MessageBoxW(owner_, WideText(notice.prompt).c_str(), WideText(notice.title).c_str(),
                    static_cast<UINT>(StyleNumber(notice.style)) | MB_SETFOREGROUND);
    --shown_;
    return static_cast<MsgAnswer>(answer);
}

void WinMessageBox::CancelShown() {
    if (shown_ == 0) {
        return;
    }
    // The box on this thread that is up now (the latest: the one enabled), answered by its
    // Cancel, else its No, as a click on that button would.
    struct Search {
        HWND found = nullptr;
    } search;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) {
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            if (lstrcmpW(kind, L"#32770") == 0 && IsWindowVisible(window) &&
                IsWindowEnabled(window)) {
                reinterpret_cast<Search*>(context)->found = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        return;
    }
    for (const int button : {IDCANCEL, IDNO}) {
        if (HWND control = GetDlgItem(search.found, button)) {
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
            return;
        }
    }
}

void WinFileDialog::Show(bool save) {
    // "description|pattern|description|pattern" as the dialog wants it: NUL between, two after.
    std::wstring filter = WideText(this->filter);
    for (wchar_t& c : filter) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    filter.append(2, L'\0');
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring start = WideText(file_name);
    std::copy(start.begin(), start.end(), name.begin());
    const std::wstring title_text = WideText(title);
    const std::wstring extension = WideText(default_ext);
    const std::wstring start_folder = WideText(folder);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = title_text.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.lpstrInitialDir = start_folder.empty() ? nullptr : start_folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        if (cancel_error) {
            throw std::runtime_error("cancelled");
        }
        return;
    }
    file_name = Narrow(name.data(), wcslen(name.data()));
}

void RunModal(HWND window, HWND owner, const std::function<bool(const MSG&)>& take) {
    if (owner) {
        EnableWindow(owner, FALSE);
    }
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (IsWindow(window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (take && take(message)) {
            continue;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
}

POINT PlaceCentred(const RECT& over, int width, int height) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT at{(over.left + over.right - width) / 2, (over.top + over.bottom - height) / 2};
    at.x = std::max<LONG>(work.left, std::min<LONG>(at.x, work.right - width));
    at.y = std::max<LONG>(work.top, std::min<LONG>(at.y, work.bottom - height));
    return at;
}

}  // namespace tessarel
