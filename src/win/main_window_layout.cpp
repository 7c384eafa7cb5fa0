// The Win32 main window's controls: made from the design's rows, placed at the window's DPI, the
// tab order and option groups, and the Go button's picture.
#include "win/main_window.h"

#include <commctrl.h>

#include <cstdlib>

namespace tessarel {
namespace {

constexpr int kFirstId = 100;

// The design's rectangle of a control is in its container's frame: the offset of the
// container within the window, in twips.
void OffsetOf(const ControlDesign& c, int* left, int* top) {
    *left = 0;
    *top = 0;
    const char* parent = c.parent;
    while (*parent) {
        const ControlDesign* p = FindControl(kMainControls, kMainControlCount, parent);
        *left += p->left;
        *top += p->top;
        parent = p->parent;
    }
}

}  // namespace

void WinMainWindow::BuildControls() {
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        int left = 0;
        int top = 0;
        OffsetOf(c, &left, &top);
        HWND control = CreateDesignControl(window_, c, left, top, dpi_, kFirstId + i);
        controls_[c.name] = control;
        names_[kFirstId + i] = c.name;
        if (!*c.accessible && c.kind == ControlKind::kOption &&
            std::string(c.caption).find('&') == std::string::npos) {
            SetAccessibleName(control, WideText(c.caption));
        }
    }
    // Tab walks the controls in the design's order: the order of the windows among their
    // siblings. Frames stay behind all else.
    HWND previous = HWND_TOP;
    for (int i = 0; i < kMainTabOrderCount; ++i) {
        HWND control = Control(kMainTabOrder[i]);
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
    SetWindowPos(Control("cmdCancel"), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (int i = 0; i < kMainControlCount; ++i) {
        if (kMainControls[i].kind == ControlKind::kFrame) {
            SetWindowPos(Control(kMainControls[i].name), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    HWND spinner = Control("updSpinner");
    SendMessageW(spinner, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Control("txtApprox")), 0);
    SendMessageW(spinner, UDM_SETRANGE32, kSpinnerMinimum, kSpinnerMaximum);
    // The spinner starts at the size the design gives the field.
    const ControlDesign* approx = FindControl(kMainControls, kMainControlCount, "txtApprox");
    SendMessageW(spinner, UDM_SETPOS32, 0, std::atoi(approx->caption));
    SetSpinnerStep(kSpinnerSteps[0]);
    // The tab stops of the option groups: the chosen option of each.
    for (int i = 0; i < kMainControlCount; ++i) {
        if (kMainControls[i].kind == ControlKind::kOption) {
            HWND option = Control(kMainControls[i].name);
            LONG_PTR style = GetWindowLongPtrW(option, GWL_STYLE);
            style = kMainControls[i].checked ? style | WS_TABSTOP : style & ~WS_TABSTOP;
            SetWindowLongPtrW(option, GWL_STYLE, style);
        }
    }
}

void WinMainWindow::Layout() {
    // The client area of the design, at the window's DPI, centred on the screen.
    RECT frame{0, 0, PixelsOf(kMainClientWidth, dpi_), PixelsOf(kMainClientHeight, dpi_)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)),
                             FALSE, 0, static_cast<UINT>(dpi_));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const POINT at = PlaceCentred(work, width, height);
    SetWindowPos(window_, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < kMainControlCount; ++i) {
        int left = 0;
        int top = 0;
        OffsetOf(kMainControls[i], &left, &top);
        PlaceDesignControl(Control(kMainControls[i].name), kMainControls[i], left, top, dpi_);
        if (SizesToText(kMainControls[i].name)) {
            FitToText(Control(kMainControls[i].name));
        }
    }
}

void WinMainWindow::DrawGoButton(const DRAWITEMSTRUCT& item) {
    // The picture above the caption, as the design's graphical button shows them.
    RECT area = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    DrawFrameControl(
        item.hDC, &area, DFC_BUTTON,
        DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));
    const int size = MulDiv(32, dpi_, 96);
    const int x = (area.left + area.right - size) / 2 + (pressed ? 1 : 0);
    DrawIconEx(item.hDC, x, area.top + MulDiv(10, dpi_, 96),
               disabled ? go_picture_greyed_ : go_picture_, size, size, 0, nullptr, DI_NORMAL);
    RECT caption = area;
    caption.top += MulDiv(10, dpi_, 96) + size;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    DrawTextW(item.hDC, WideText(Text("cmdGo")).c_str(), -1, &caption, DT_CENTER | DT_TOP);
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&area, -4, -4);
        DrawFocusRect(item.hDC, &area);
    }
}

LRESULT WinMainWindow::TitleColours(HDC dc) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t title =
        ReadableOn(kTitleColour, GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face));
    SetTextColor(dc, RGB((title >> 16) & 0xFF, (title >> 8) & 0xFF, title & 0xFF));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace tessarel
