#include "win/help_window.h"

#include <commctrl.h>

#include <string>

namespace tessarel {
namespace {

const wchar_t kClassName[] = L"TessarelHelp";
constexpr int kSelectorId = 200;  // + topic

// Lines end with CR LF in a Windows text field.
std::wstring WindowsLines(const char* text) {
    std::wstring wide = WideText(text);
    std::wstring out;
    for (const wchar_t c : wide) {
        if (c == L'\n') {
            out += L"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

WinHelpWindow::WinHelpWindow(HWND owner) : owner_(owner) {
    RegisterWindowClass<WinHelpWindow>(kClassName);
    yellow_ =
        CreateSolidBrush(RGB((kHelpHeadingBackground >> 16) & 0xFF,
                             (kHelpHeadingBackground >> 8) & 0xFF, kHelpHeadingBackground & 0xFF));
    // A fixed dialog border, no minimise or maximise button, no icon, centred over its owner.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    window_ =
        CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, WideText(kHelpCaption).c_str(), style, 0,
                        0, 100, 100, owner, nullptr, GetModuleHandleW(nullptr), this);
    dpi_ = DpiOf(window_);
    RECT frame{0, 0, PixelsOf(kHelpClientWidth, dpi_), PixelsOf(kHelpClientHeight, dpi_)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, UINT(dpi_));
    RECT over{};
    GetWindowRect(owner ? owner : GetDesktopWindow(), &over);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT at = PlaceCentred(over, width, height);
    SetWindowPos(window_, nullptr, at.x, at.y, width, height, SWP_NOZORDER);

    // Form_Load: the tab strip over the whole client area, the pages on its client area.
    RECT client{};
    GetClientRect(window_, &client);
    tbsHelp = CreateWindowExW(
        0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 0,
        client.right, client.bottom, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    // The system's own face at this DPI (the stock GUI font stays at 96 DPI's size).
    SendMessageW(tbsHelp, WM_SETFONT, reinterpret_cast<WPARAM>(MakeFont(FontDesign{}, dpi_)), TRUE);
    SetAccessibleName(tbsHelp, WideText(kHelpTabsName));
    for (int i = 0; i < kHelpPageCount; ++i) {
        std::wstring caption = WideText(kHelpTabs[i].caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tbsHelp, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    RECT area = client;
    SendMessageW(tbsHelp, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    // CL, CT, CW, CH of the design, in twips of the tab strip's client area.
    const int CL = MulDiv(area.left, 1440, dpi_);
    const int CT = MulDiv(area.top, 1440, dpi_);
    const int CW = MulDiv(area.right - area.left, 1440, dpi_);
    const int CH = MulDiv(area.bottom - area.top, 1440, dpi_);
    const HFONT heading = MakeFont(kHelpHeadingFont, dpi_);
    const HFONT text = MakeFont(kHelpTextFont, dpi_);
    const HFONT selector = MakeFont(kHelpSelectorFont, dpi_);
    auto place = [&](const wchar_t* kind, const std::wstring& caption, DWORD style, int topic,
                     HelpPart part, HFONT font, int id = 0) {
        const TwipsRect r = HelpPartPlace(part, topic, CW, CH);
        HWND control = CreateWindowExW(
            // Clipped by its siblings: the design lets the two selectors overlap a little.
            0, kind, caption.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style,
            PixelsOf(CL + r.left, dpi_), PixelsOf(CT + r.top, dpi_), PixelsOf(r.width, dpi_),
            PixelsOf(r.height, dpi_), window_, reinterpret_cast<HMENU>(INT_PTR(id)),
            GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return control;
    };
    for (int j = 0; j < kHelpTopicCount; ++j) {
        const std::wstring title = WideText(kHelpTopics[j].heading);
        optOv[size_t(j)] = place(L"BUTTON", title, BS_RADIOBUTTON | WS_TABSTOP, j,
                                 HelpPart::kSelector, selector, kSelectorId + j);
        fraOv[size_t(j)] = place(L"BUTTON", L"", BS_GROUPBOX, j, HelpPart::kFrame, text);
        lblOv[size_t(j)] =
            place(L"STATIC", title, SS_LEFT | SS_NOPREFIX, j, HelpPart::kHeading, heading);
        txtHelp[size_t(j)] = place(L"EDIT", WindowsLines(HelpText(j)),
                                   ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP | WS_BORDER,
                                   j, HelpPart::kText, text);
        SetAccessibleName(txtHelp[size_t(j)], title + L" text");
    }
    controller_.Load();
}

WinHelpWindow::~WinHelpWindow() {
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
    DeleteObject(yellow_);
}

void WinHelpWindow::RunModal() {
    tessarel::RunModal(window_, owner_,
                       [this](const MSG& message) { return TakeTabKeys(message); });
}

void WinHelpWindow::ShowPage(int page) {
    SendMessageW(tbsHelp, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    for (int j = 0; j < kHelpTopicCount; ++j) {
        ShowWindow(optOv[size_t(j)], kHelpTopics[j].page == page ? SW_SHOW : SW_HIDE);
    }
}

void WinHelpWindow::ShowTopic(int topic, bool in_front) {
    // Only the chosen page's topic in front is shown, so Tab reaches nothing hidden.
    const bool shown = in_front && kHelpTopics[topic].page == controller_.page();
    SendMessageW(optOv[size_t(topic)], BM_SETCHECK, in_front ? BST_CHECKED : BST_UNCHECKED, 0);
    for (HWND part : {fraOv[size_t(topic)], lblOv[size_t(topic)], txtHelp[size_t(topic)]}) {
        ShowWindow(part, shown ? SW_SHOW : SW_HIDE);
    }
}

bool WinHelpWindow::TakeTabKeys(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB ||
        !(GetKeyState(VK_CONTROL) & 0x8000) || !IsChild(window_, message.hwnd)) {
        return false;
    }
    controller_.NextTab(!(GetKeyState(VK_SHIFT) & 0x8000));
    return true;
}

LRESULT WinHelpWindow::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_NOTIFY: {
            const auto* note = reinterpret_cast<const NMHDR*>(l);
            if (note->hwndFrom == tbsHelp && note->code == TCN_SELCHANGE) {
                controller_.TabChosen(static_cast<int>(SendMessageW(tbsHelp, TCM_GETCURSEL, 0, 0)));
            }
            return 0;
        }
        case WM_COMMAND: {
            const int topic = LOWORD(w) - kSelectorId;
            if (HIWORD(w) == BN_CLICKED && topic >= 0 && topic < kHelpTopicCount) {
                controller_.TopicChosen(topic);
            } else if (LOWORD(w) == IDCANCEL) {
                DestroyWindow(window_);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            for (HWND heading : lblOv) {
                if (reinterpret_cast<HWND>(l) == heading) {
                    const HDC dc = reinterpret_cast<HDC>(w);
                    SetTextColor(
                        dc, RGB((kHelpHeadingText >> 16) & 0xFF, (kHelpHeadingText >> 8) & 0xFF,
                                kHelpHeadingText & 0xFF));  // with its background
                    SetBkColor(dc, RGB((kHelpHeadingBackground >> 16) & 0xFF,
                                       (kHelpHeadingBackground >> 8) & 0xFF,
                                       kHelpHeadingBackground & 0xFF));
                    return reinterpret_cast<LRESULT>(yellow_);
                }
            }
            break;
        case WM_CLOSE:
            DestroyWindow(window_);
            return 0;
    }
    return DefWindowProcW(window_, message, w, l);
}

}  // namespace tessarel
