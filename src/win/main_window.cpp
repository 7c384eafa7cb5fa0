#include "win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "platform/path.h"
#include "platform/wide.h"
#include "win/about_window.h"
#include "win/clip_view.h"
#include "win/help_window.h"

namespace tessarel {
namespace {

constexpr UINT kRunWork = WM_APP + 1;  // lParam: a std::function<void()> to run and delete
const wchar_t kClassName[] = L"TessarelMain";

}  // namespace

WinMainWindow::WinMainWindow(MessageBox* message_box) {
    RegisterWindowClass<WinMainWindow>(kClassName);
    RegisterClipView();
    if (!message_box) {
        own_box_ = std::make_unique<WinMessageBox>();
        message_box = own_box_.get();
    }
    msg_ = message_box;
    beep_ = [] { MessageBeep(MB_OK); };
    // Fixed single border, a minimise button and no maximise button.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ =
        CreateWindowExW(0, kClassName, WideText(kMainCaption).c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    dpi_ = DpiOf(window_);
    taskbar_ = std::make_unique<TaskbarProgress>(window_);
    if (own_box_) {
        own_box_->SetOwner(window_);
    }
    dlgFile_ = std::make_unique<WinFileDialog>(window_);
    controller_ = std::make_unique<MainController>(
        static_cast<MainView&>(*this), *msg_, static_cast<UiThread&>(*this), *dlgFile_,
        StartFolder(CurrentFolder(), ProgramFolder(), DocumentsFolder()));
    icon_ = IconOf(ProgramIcon());
    go_picture_ = IconOf(GoPicture());
    go_picture_greyed_ = IconOf(Greyed(GoPicture()));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    BuildControls();
    WireFields();
    Layout();
    DragAcceptFiles(window_, TRUE);  // a file dropped on the window is set up as if opened
    Form_Load();
}

WinMainWindow::~WinMainWindow() {
    controller_.reset();  // lets a running request end first
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
    DestroyIcon(icon_);
    DestroyIcon(go_picture_);
    DestroyIcon(go_picture_greyed_);
}

void WinMainWindow::SetFileDialog(std::unique_ptr<FileDialog> dialog) {
    dlgFile_ = std::move(dialog);
    controller_->SetFileDialog(*dlgFile_);
}

HWND WinMainWindow::Control(const std::string& name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

std::string WinMainWindow::NameOf(HWND control) const {
    for (const auto& [name, handle] : controls_) {
        if (handle == control) {
            return name;
        }
    }
    return "";
}

void WinMainWindow::Show(int show) {
    ShowWindow(window_, show);
    UpdateWindow(window_);
    // The focus mark shows from the start.
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    controller_->Shown();
}

void WinMainWindow::Form_Load() {
    controller_->Load();
}

bool WinMainWindow::OpenClip(const std::string& path) {
    return tessarel::OpenClip(Control("anmFileCopy"), path);
}

std::string WinMainWindow::Text(const char* name) const {
    HWND control = Control(name);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    return Narrow(text.data(), static_cast<size_t>(length));
}

void WinMainWindow::SetText(const char* name, const std::string& text) {
    HWND control = Control(name);
    setting_ = true;
    SetWindowTextW(control, WideText(text).c_str());
    setting_ = false;
    if (SizesToText(name)) {
        FitToText(control);
    }
    const int end = GetWindowTextLengthW(control);
    SendMessageW(control, EM_SETSEL, end, end);
}

bool WinMainWindow::Checked(const char* name) const {
    return SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WinMainWindow::ChooseOption(const std::string& name) {
    const ControlDesign* chosen = FindControl(kMainControls, kMainControlCount, name.c_str());
    const bool changed = !Checked(name.c_str());
    // The options of one container are one exclusive group; Tab stops at the chosen one.
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        if (c.kind == ControlKind::kOption && std::string(c.parent) == chosen->parent) {
            HWND option = Control(c.name);
            const bool on = name == c.name;
            SendMessageW(option, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
            LONG_PTR style = GetWindowLongPtrW(option, GWL_STYLE);
            SetWindowLongPtrW(option, GWL_STYLE, on ? style | WS_TABSTOP : style & ~WS_TABSTOP);
        }
    }
    if (changed) {
        controller_->OptionChosen(name);  // an option's Click runs when it becomes the chosen one
    }
}

void WinMainWindow::SetEnabled(const char* name, bool enabled) {
    EnableWindow(Control(name), enabled);
}

void WinMainWindow::SetVisible(const char* name, bool visible) {
    ShowWindow(Control(name), visible ? SW_SHOW : SW_HIDE);
    if (std::string(name) == "fraControls") {
        // The bottom row's buttons are the window's children, not the frame's: they go with it.
        for (const char* row : {"cmdAbout", "cmdHelp", "cmdExit"}) {
            ShowWindow(Control(row), visible ? SW_SHOW : SW_HIDE);
        }
    }
}

void WinMainWindow::SetLocked(const char* name, bool locked) {
    HWND field = Control(name);
    SendMessageW(field, EM_SETREADONLY, locked, 0);
    if (locked) {
        locked_.insert(field);
    } else {
        locked_.erase(field);
    }
}

void WinMainWindow::SetProgress(int percent) {
    SendMessageW(Control("pgbDone"), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, Control("pgbDone"), OBJID_CLIENT, CHILDID_SELF);
}

void WinMainWindow::ShowTaskProgress(TaskProgress state, int percent) {
    taskbar_->Show(state, percent);
}

void WinMainWindow::Describe(const char* name, const std::string& text) {
    const bool bar = std::string(name) == "pgbDone";
    SetAccessibleName(Control(name),
                      WideText(bar ? "Progress" + (text.empty() ? "" : ": " + text) : text));
    if (bar) {
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Control(name), OBJID_CLIENT, CHILDID_SELF);
    }
}

void WinMainWindow::Announce(const char* name, const std::string& text) {
    Describe(name, text);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, Control(name), OBJID_CLIENT, CHILDID_SELF);
}

void WinMainWindow::Repaint() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void WinMainWindow::PlayClip(bool playing) {
    if (playing) {
        tessarel::PlayClip(Control("anmFileCopy"));
    } else {
        StopClip(Control("anmFileCopy"));
    }
}

void WinMainWindow::SetSpinnerStep(int step) {
    UDACCEL accel{0, static_cast<UINT>(step)};
    SendMessageW(Control("updSpinner"), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
}

void WinMainWindow::Focus(const char* name) {
    HWND control = Control(name);
    if (control && IsWindowEnabled(control) && IsWindowVisible(control)) {
        SetFocus(control);
    }
}

void WinMainWindow::ShowAbout() {
    WinAboutWindow about(window_, *msg_);
    about.RunModal();
}

void WinMainWindow::ShowHelp() {
    WinHelpWindow help(window_);
    help.RunModal();
}

void WinMainWindow::Post(std::function<void()> work) {
    PostMessageW(window_, kRunWork, 0, reinterpret_cast<LPARAM>(new std::function<void()>(work)));
}

void WinMainWindow::Send(std::function<void()> work) {
    SendMessageW(window_, kRunWork, 0, reinterpret_cast<LPARAM>(new std::function<void()>(work)));
}

void WinMainWindow::RunPending() {
    MSG message;
    const DWORD until = GetTickCount() + 10;
    while (GetTickCount() < until) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            Sleep(1);
        }
    }
}

LRESULT WinMainWindow::Handle(UINT message, WPARAM w, LPARAM l) {
    if (taskbar_ && taskbar_->ButtonCreated(message)) {
        return 0;
    }
    switch (message) {
        case kRunWork: {
            std::unique_ptr<std::function<void()>> work(
                reinterpret_cast<std::function<void()>*>(l));
            (*work)();
            return 0;
        }
        case DM_GETDEFID: {
            return MAKELONG(GetDlgCtrlID(Control(controller_->ReturnPresses().c_str())),
                            DC_HASDEFID);
        }
        case WM_COMMAND: {
            const int id = LOWORD(w);
            if (id == IDOK) {
                controller_->Clicked("cmdGo");
            } else if (id == IDCANCEL) {
                controller_->EscapePressed();
            } else if (HIWORD(w) == BN_CLICKED && names_.count(id)) {
                controller_->Clicked(names_[id]);
            }
            return 0;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
            if (item->hwndItem == Control("cmdGo")) {
                DrawGoButton(*item);
                return TRUE;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(l) == Control("lblTitle")) {
                return TitleColours(reinterpret_cast<HDC>(w));
            }
            break;
        case WM_DROPFILES: {
            const HDROP drop = reinterpret_cast<HDROP>(w);
            std::vector<std::string> files;
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::vector<wchar_t> name(32768);
                const UINT length = DragQueryFileW(drop, i, name.data(), UINT(name.size()));
                files.push_back(Narrow(name.data(), length));
            }
            DragFinish(drop);
            controller_->Dropped(files);
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(w);
            Layout();
            const RECT* suggested = reinterpret_cast<const RECT*>(l);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            // The close box, Alt+F4, Exit: while a request runs, they ask to stop it.
            if (controller_->CloseAsked()) {
                DestroyWindow(window_);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window_, message, w, l);
}

}  // namespace tessarel
