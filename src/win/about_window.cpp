#include "win/about_window.h"

#include <shellapi.h>

#include "control/sys_info.h"
#include "platform/app_info.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

const wchar_t kClassName[] = L"TessarelAbout";
constexpr int kFirstId = 300;

}  // namespace

WinAboutWindow::WinAboutWindow(HWND owner, MessageBox& message_box)
    : owner_(owner), msg_(message_box) {
    RegisterWindowClass<WinAboutWindow>(kClassName);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    window_ =
        CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, WideText(kAboutCaption).c_str(), style, 0,
                        0, 100, 100, owner, nullptr, GetModuleHandleW(nullptr), this);
    const int dpi = DpiOf(window_);
    RECT frame{0, 0, PixelsOf(kAboutClientWidth, dpi), PixelsOf(kAboutClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_DLGMODALFRAME, UINT(dpi));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const POINT at = PlaceCentred(work, width, height);
    SetWindowPos(window_, nullptr, at.x, at.y, width, height, SWP_NOZORDER);
    for (int i = 0; i < kAboutControlCount; ++i) {
        const ControlDesign& c = kAboutControls[i];
        controls_[c.name] = CreateDesignControl(window_, c, 0, 0, dpi, kFirstId + i);
    }
    // The icon in its picture box, and the etched rule between the texts and the buttons.
    icon_ = IconOf(ProgramIcon());
    if (dpi != 96 && icon_) {
        // The picture is drawn for 96 DPI: scaled as the window is.
        const Picture& picture = ProgramIcon();
        const HICON scaled =
            static_cast<HICON>(CopyImage(icon_, IMAGE_ICON, MulDiv(picture.width, dpi, 96),
                                         MulDiv(picture.height, dpi, 96), LR_COPYDELETEORG));
        if (scaled) {
            icon_ = scaled;
        }
    }
    HWND picture = Control("picIcon");
    SetWindowLongPtrW(picture, GWL_STYLE, WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE);
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ,
                    PixelsOf(kAboutRuleLeft, dpi), PixelsOf(kAboutRuleTop, dpi),
                    PixelsOf(kAboutRuleRight - kAboutRuleLeft, dpi), 2, window_, nullptr,
                    GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Control("cmdOK"), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    Form_Load();
}

WinAboutWindow::~WinAboutWindow() {
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
    DestroyIcon(icon_);
}

HWND WinAboutWindow::Control(const std::string& name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

void WinAboutWindow::RunModal() {
    tessarel::RunModal(window_, owner_);
}

void WinAboutWindow::Form_Load() {
    const AboutTexts texts = AboutTextsOf(TheAppInfo());
    SetWindowTextW(window_, WideText(texts.caption).c_str());
    for (const auto& [name, text] : texts.labels) {
        SetWindowTextW(Control(name), WideText(text).c_str());
    }
}

void WinAboutWindow::StartSysInfo() {
    SysInfoSystem system;
    system.start_program = [](const std::string& path) {
        // A new process with a normal window that takes the focus; nothing waits for it.
        const HINSTANCE started = ShellExecuteW(nullptr, L"open", WideText(path).c_str(), nullptr,
                                                nullptr, SW_SHOWNORMAL);
        if (reinterpret_cast<INT_PTR>(started) <= 32) {
            throw RuntimeError(kErrFileNotFound);
        }
    };
    system.normal_file_exists = [](const std::string& path) {
        const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               !(attributes &
                 (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    };
    auto registry = SystemRegistry();
    tessarel::StartSysInfo(*registry, system, msg_, TheAppInfo().title);
}

LRESULT WinAboutWindow::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case DM_GETDEFID:
            return MAKELONG(kFirstId + 8, DC_HASDEFID);  // OK
        case WM_COMMAND: {
            const int id = LOWORD(w);
            // OK, Enter and Escape close the window.
            if (id == IDOK || id == IDCANCEL || HWND(l) == Control("cmdOK")) {
                DestroyWindow(window_);
            } else if (HWND(l) == Control("cmdSysInfo")) {
                StartSysInfo();
            }
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(window_);
            return 0;
    }
    return DefWindowProcW(window_, message, w, l);
}

}  // namespace tessarel
