#include "win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>

#include "control/get_file.h"
#include "control/go_command.h"
#include "control/media_sizes.h"
#include "control/messages.h"
#include "control/open_file.h"
#include "platform/wide.h"
#include "win/about_window.h"
#include "win/clip_view.h"
#include "win/help_window.h"

namespace tessarel {
namespace {

constexpr UINT kRunWork = WM_APP + 1;  // lParam: a std::function<void()> to run and delete
constexpr UINT kRunGo = WM_APP + 2;    // Go, after its click has returned
constexpr int kFirstId = 100;
const wchar_t kClassName[] = L"TessarelMain";

// The Go command's view of the window's fields.
class WinForm : public GoForm {
  public:
    explicit WinForm(std::function<std::string(const char*)> text,
                     std::function<void(const char*, const std::string&)> set,
                     std::function<bool(const char*)> checked)
        : text_(std::move(text)), set_(std::move(set)), checked_(std::move(checked)) {}
    std::string OpenText() const override { return text_("txtOpen"); }
    std::string SaveText() const override { return text_("txtSave"); }
    void SetSaveText(const std::string& text) override { set_("txtSave", text); }
    bool SplitSelected() const override { return checked_("optSplit"); }
    bool ExactSelected() const override { return checked_("optExact"); }
    std::string ApproxText() const override { return text_("txtApprox"); }
    std::string ExactText() const override { return text_("txtExact"); }
    void SetSizeText(const std::string& text) override { set_("txtSize", text); }

  private:
    std::function<std::string(const char*)> text_;
    std::function<void(const char*, const std::string&)> set_;
    std::function<bool(const char*)> checked_;
};

// True when the clipboard's text, pasted over the selection, fits the edit box's limit.
bool PasteFits(HWND edit) {
    std::wstring pasted;
    if (OpenClipboard(edit)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                pasted = text;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const size_t kept = static_cast<size_t>(GetWindowTextLengthW(edit)) - (to - from);
    return kept + pasted.size() <= static_cast<size_t>(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
}

// The size entries take typed digits and backspace only; the rest is refused with a beep.
// A paste that does not fit is refused with the beep too, rather than cut to another number.
LRESULT CALLBACK DigitsOnly(HWND edit, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                            DWORD_PTR window) {
    auto* beep = reinterpret_cast<std::function<void()>*>(window);
    if (message == WM_CHAR && !((w >= '0' && w <= '9') || w == 8)) {
        (*beep)();
        return 0;
    }
    if (message == WM_PASTE && !PasteFits(edit)) {
        (*beep)();
        return 0;
    }
    return DefSubclassProc(edit, message, w, l);
}

// The size entries' own menu, with the media sizes added (the right button, the menu key and
// Shift+F10 all arrive as WM_CONTEXTMENU).
LRESULT CALLBACK SizeMenuProc(HWND edit, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                              DWORD_PTR window) {
    if (message == WM_CONTEXTMENU) {
        reinterpret_cast<WinMainWindow*>(window)->ShowSizeMenu(edit, l);
        return 0;
    }
    return DefSubclassProc(edit, message, w, l);
}

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

WinMainWindow::WinMainWindow(MessageBox* message_box) {
    static bool registered = false;
    if (!registered) {
        registered = true;
        WNDCLASSW kind{};
        kind.lpfnWndProc = Proc;
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        kind.lpszClassName = kClassName;
        RegisterClassW(&kind);
        RegisterClipView();
    }
    if (!message_box) {
        own_box_ = std::make_unique<WinMessageBox>();
        message_box = own_box_.get();
    }
    msg_ = message_box;
    beep_ = [] { MessageBeep(MB_OK); };
    operation_ = std::make_unique<BackgroundOperation>(static_cast<UiThread&>(*this), *this, *msg_,
                                                       [this](bool done) { RequestEnded(done); });
    // Fixed single border, a minimise button and no maximise button.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ =
        CreateWindowExW(0, kClassName, WideText(kMainCaption).c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    dpi_ = DpiOf(window_);
    if (own_box_) {
        own_box_->SetOwner(window_);
    }
    dlgFile_ = std::make_unique<WinFileDialog>(window_);
    icon_ = IconOf(ProgramIcon());
    go_picture_ = IconOf(GoPicture());
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    BuildControls();
    Layout();
    DragAcceptFiles(window_, TRUE);  // a file dropped on the window is set up as if opened
    Form_Load();
}

WinMainWindow::~WinMainWindow() {
    operation_.reset();  // lets a running operation end first
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
    DestroyIcon(icon_);
    DestroyIcon(go_picture_);
}

HWND WinMainWindow::Control(const std::string& name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

void WinMainWindow::Show(int show) {
    ShowWindow(window_, show);
    UpdateWindow(window_);
    // The focus starts where the tab order does, and its mark shows from the start.
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(Control(kMainTabOrder[0]));
}

void WinMainWindow::BuildControls() {
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        int left = 0;
        int top = 0;
        OffsetOf(c, &left, &top);
        HWND control = CreateDesignControl(window_, c, left, top, dpi_, kFirstId + i);
        controls_[c.name] = control;
        names_[kFirstId + i] = c.name;
        if (!*c.accessible && c.kind == ControlKind::kOption && !std::strchr(c.caption, '&')) {
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
    SendMessageW(spinner, UDM_SETPOS32, 0, 1400);
    UDACCEL step{0, static_cast<UINT>(kSpinnerSteps[0])};
    SendMessageW(spinner, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    for (const char* entry : {"txtApprox", "txtExact"}) {
        SetWindowSubclass(Control(entry), DigitsOnly, 1, reinterpret_cast<DWORD_PTR>(&beep_));
        SetWindowSubclass(Control(entry), SizeMenuProc, 2, reinterpret_cast<DWORD_PTR>(this));
    }
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
    }
}

void WinMainWindow::Form_Load() {
    // The program's own folder is the current one; the clip lies there.
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    std::wstring folder(path.data(), length);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    SetCurrentDirectoryW(folder.c_str());
    OpenClip(Control("anmFileCopy"), "filedisk.avi");  // without a clip the window goes on
    for (const char* hidden : {"anmFileCopy", "lblDone", "Line3", "lblTotal"}) {
        ShowWindow(Control(hidden), SW_HIDE);
    }
    ShowWindow(Control("fraControls"), SW_SHOW);
}

bool WinMainWindow::Form_Unload() {
    if (msg_->Show(QuitQuestion()) == kAnswerYes) {
        StopClip(Control("anmFileCopy"));
        return true;
    }
    return false;
}

bool WinMainWindow::Checked(const char* name) const {
    return SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string WinMainWindow::Text(const char* name) const {
    HWND control = Control(name);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    return Narrow(text.data(), static_cast<size_t>(length));
}

void WinMainWindow::SetText(const char* name, const std::string& text) {
    SetWindowTextW(Control(name), WideText(text).c_str());
}

void WinMainWindow::OpenFile(const std::string& path) {
    const FileProposal proposal = ProposeFor(path);
    // Choosing the mode empties both names, so the mode comes first.
    ChooseOption(proposal.mode == Mode::kJoin ? "optJoin" : "optSplit");
    SetText("txtOpen", proposal.open);
    SetText("txtSave", proposal.save);
    for (const char* field : {"txtOpen", "txtSave"}) {
        const int end = GetWindowTextLengthW(Control(field));
        SendMessageW(Control(field), EM_SETSEL, end, end);
    }
}

bool WinMainWindow::operating() const {
    return operation_->running();
}

void WinMainWindow::ChooseOption(const std::string& name) {
    const ControlDesign* chosen = FindControl(kMainControls, kMainControlCount, name.c_str());
    const bool changed = !Checked(name.c_str());
    // The options of one container are one exclusive group; Tab stops at the chosen one.
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        if (c.kind == ControlKind::kOption && std::strcmp(c.parent, chosen->parent) == 0) {
            HWND option = Control(c.name);
            const bool on = name == c.name;
            SendMessageW(option, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
            LONG_PTR style = GetWindowLongPtrW(option, GWL_STYLE);
            SetWindowLongPtrW(option, GWL_STYLE, on ? style | WS_TABSTOP : style & ~WS_TABSTOP);
        }
    }
    if (!changed) {
        return;
    }
    // An option's Click runs when it becomes the chosen one.
    if (name == "optSplit" || name == "optJoin") {
        SetText("txtOpen", "");
        SetText("txtSave", "");
    } else if (name == "opt10" || name == "opt100") {
        UDACCEL step{0, static_cast<UINT>(kSpinnerSteps[name == "opt10" ? 0 : 1])};
        SendMessageW(Control("updSpinner"), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    }
    ApplyEnableRules();
}

void WinMainWindow::ShowSizeMenu(HWND edit, LPARAM where) {
    // The edit box's own items first, as its menu has them, then the media sizes.
    enum : UINT { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll, kFirstSize = 100 };
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const bool selected = from != to;
    const bool has_text = GetWindowTextLengthW(edit) > 0;
    const bool pastable = IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
    const bool undoable = SendMessageW(edit, EM_CANUNDO, 0, 0) != 0;
    HMENU menu = CreatePopupMenu();
    const struct {
        UINT id;
        const wchar_t* caption;
        bool enabled;
    } edit_items[] = {{kUndo, L"&Undo", undoable},
                      {0, nullptr, true},
                      {kCut, L"Cu&t", selected},
                      {kCopy, L"&Copy", selected},
                      {kPaste, L"&Paste", pastable},
                      {kDelete, L"&Delete", selected},
                      {0, nullptr, true},
                      {kSelectAll, L"Select &All", has_text}};
    for (const auto& item : edit_items) {
        AppendMenuW(menu, item.caption ? MF_STRING | (item.enabled ? 0 : MF_GRAYED) : MF_SEPARATOR,
                    item.id, item.caption);
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < kMediaSizeCount; ++i) {
        AppendMenuW(menu, MF_STRING, kFirstSize + static_cast<UINT>(i),
                    WideText(kMediaSizes[i].caption).c_str());
    }
    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (where == -1) {  // from the keyboard: below the text cursor
        GetCaretPos(&at);
        at.y += GetSystemMetricsForDpi(SM_CYMENU, static_cast<UINT>(dpi_));
        ClientToScreen(edit, &at);
    }
    SetFocus(edit);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    static const UINT kEditMessages[] = {0, WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR};
    if (chosen >= kUndo && chosen <= kDelete) {
        SendMessageW(edit, kEditMessages[chosen], 0, 0);
    } else if (chosen == kSelectAll) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
    } else if (chosen >= kFirstSize && chosen < kFirstSize + kMediaSizeCount) {
        ChooseOption("optExact");
        SetText("txtExact", std::to_string(kMediaSizes[chosen - kFirstSize].bytes));
    }
}

void WinMainWindow::ApplyEnableRules() {
    const ModeChoice now = Checked("optJoin")    ? ModeChoice::kJoin
                           : Checked("optExact") ? ModeChoice::kSplitExact
                                                 : ModeChoice::kSplitApproximate;
    for (int i = 0; i < kEnableRuleCount; ++i) {
        EnableWindow(Control(kEnableRules[i].control),
                     kEnableRules[i].enabled[static_cast<int>(now)]);
    }
}

void WinMainWindow::Clicked(const std::string& name) {
    if (operating() && name != kOperatingControl) {
        return;  // however it was pressed (a screen reader's action too), only Cancel works now
    }
    if (name == "cmdGo") {
        // Go runs from the loop, not inside the click: whoever pressed it gets its answer at
        // once. A second press before the request has started is the same request.
        if (!go_pending_) {
            go_pending_ = true;
            PostMessageW(window_, kRunGo, 0, 0);
        }
    } else if (name == "cmdExit") {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    } else if (name == "cmdAbout") {
        WinAboutWindow about(window_, *msg_);
        about.RunModal();
    } else if (name == "cmdHelp") {
        WinHelpWindow help(window_);
        help.RunModal();
    } else if (name == "cmdOpen") {
        cmdOpen_Click();
    } else if (name == "cmdSave") {
        cmdSave_Click();
    } else if (name == "cmdCancel") {
        cmdCancel_Click();
    } else if (name.rfind("opt", 0) == 0) {
        ChooseOption(name);
    }
}

void WinMainWindow::cmdGo_Click() {
    go_pending_ = false;
    if (operating()) {
        return;  // one request at a time, however Go was pressed
    }
    WinForm form([this](const char* n) { return Text(n); },
                 [this](const char* n, const std::string& t) { SetText(n, t); },
                 [this](const char* n) { return Checked(n); });
    std::optional<Request> request = ReadGoForm(form, *msg_);
    if (!request) {
        ++go_requests_done_;
        return;
    }
    if (auto* split = std::get_if<SplitRequest>(&*request)) {
        // Told on the operation's thread; the field is the window's.
        split->first_piece_settled = [this](const std::string& name) {
            Post([this, name] { SetText("txtSave", name); });
        };
    }
    split_running_ = std::holds_alternative<SplitRequest>(*request);
    focus_before_ = GetFocus();
    LockInput(true);
    operation_->Start(std::move(*request));
}

void WinMainWindow::RequestEnded(bool done) {
    LockInput(false);
    if (focus_before_ && IsWindowEnabled(focus_before_) && IsWindowVisible(focus_before_)) {
        SetFocus(focus_before_);
    }
    if (done) {
        // Said to a screen reader, as a sighted user sees the bar at 100: no message box.
        HWND bar = Control("pgbDone");
        const std::string said =
            DoneAnnouncement(split_running_, std::stoll("0" + Text("lblTotal")));
        SetAccessibleName(bar, WideText("Progress: " + said));
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
        NotifyWinEvent(EVENT_SYSTEM_ALERT, bar, OBJID_CLIENT, CHILDID_SELF);
    }
    ++go_requests_done_;
}

void WinMainWindow::LockInput(bool locked) {
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        if (LockedWhileOperating(c)) {
            EnableWindow(Control(c.name), !locked);
        }
    }
    if (!locked) {
        ApplyEnableRules();
    }
}

void WinMainWindow::cmdCancel_Click() {
    if (!operating() || asking_to_stop_) {
        return;
    }
    // The copy waits while the question is up, so nothing else is asked meanwhile.
    asking_to_stop_ = true;
    operation_->Pause();
    if (msg_->Show(StopQuestion()) == kAnswerYes) {
        operation_->Stop();
    } else {
        operation_->Resume();
    }
    asking_to_stop_ = false;
}

void WinMainWindow::cmdOpen_Click() {
    const std::string chosen =
        GetFile(*dlgFile_, FileRole::kOpen, Checked("optJoin") ? Mode::kJoin : Mode::kSplit);
    if (!chosen.empty()) {
        SetText("txtOpen", chosen);
        const int end = GetWindowTextLengthW(Control("txtOpen"));
        SendMessageW(Control("txtOpen"), EM_SETSEL, end, end);
    }
}

void WinMainWindow::cmdSave_Click() {
    const std::string chosen =
        GetFile(*dlgFile_, FileRole::kSave, Checked("optJoin") ? Mode::kJoin : Mode::kSplit);
    if (!chosen.empty()) {
        SetText("txtSave", chosen);
        const int end = GetWindowTextLengthW(Control("txtSave"));
        SendMessageW(Control("txtSave"), EM_SETSEL, end, end);
    }
}

void WinMainWindow::ShowTotal(int64_t count) {
    SetText("lblTotal", std::to_string(count));
    SetAccessibleName(Control("lblTotal"), WideText(CounterName("lblTotal", count)));
}

void WinMainWindow::ShowOperating() {
    for (const char* shown : {"lblDone", "Line3", "lblTotal", "anmFileCopy", "cmdCancel"}) {
        ShowWindow(Control(shown), SW_SHOW);
    }
    ShowWindow(Control("fraControls"), SW_HIDE);
    for (const char* row : {"cmdAbout", "cmdHelp", "cmdExit"}) {
        ShowWindow(Control(row), SW_HIDE);
    }
    SetFocus(Control("cmdCancel"));
    PlayClip(Control("anmFileCopy"));
    time_left_ = TimeLeft();
    started_ = GetTickCount();
}

void WinMainWindow::ShowPiece(int64_t k) {
    SetText("lblDone", std::to_string(k));
    SetAccessibleName(Control("lblDone"), WideText(CounterName("lblDone", k)));
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void WinMainWindow::SetProgress(float percent) {
    SendMessageW(Control("pgbDone"), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void WinMainWindow::ShowBytes(int64_t done, int64_t total) {
    time_left_.Update(done, total, static_cast<double>(GetTickCount() - started_) / 1000.0);
    const int percent = static_cast<int>(SendMessageW(Control("pgbDone"), PBM_GETPOS, 0, 0));
    std::string text = "Piece " + Text("lblDone") + " of " + Text("lblTotal") + ", " +
                       std::to_string(percent) + "%";
    if (!time_left_.Text().empty()) {
        text += ", " + time_left_.Text();
    }
    SetAccessibleName(Control("pgbDone"), WideText("Progress: " + text));
}

void WinMainWindow::ShowIdle() {
    StopClip(Control("anmFileCopy"));
    for (const char* hidden : {"anmFileCopy", "lblDone", "Line3", "lblTotal", "cmdCancel"}) {
        ShowWindow(Control(hidden), SW_HIDE);
    }
    ShowWindow(Control("fraControls"), SW_SHOW);
    for (const char* row : {"cmdAbout", "cmdHelp", "cmdExit"}) {
        ShowWindow(Control(row), SW_SHOW);
    }
    SetAccessibleName(Control("pgbDone"), L"Progress");
}

void WinMainWindow::DrawGoButton(const DRAWITEMSTRUCT& item) {
    // The picture above the caption, as the design's graphical button shows them.
    RECT area = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    DrawFrameControl(item.hDC, &area, DFC_BUTTON,
                     DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0) |
                         (item.itemState & ODS_DISABLED ? DFCS_INACTIVE : 0));
    const int size = MulDiv(32, dpi_, 96);
    const int x = (area.left + area.right - size) / 2 + (pressed ? 1 : 0);
    DrawIconEx(item.hDC, x, area.top + MulDiv(10, dpi_, 96), go_picture_, size, size, 0, nullptr,
               DI_NORMAL);
    RECT caption = area;
    caption.top += MulDiv(10, dpi_, 96) + size;
    SetBkMode(item.hDC, TRANSPARENT);
    SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    DrawTextW(item.hDC, WideText(Text("cmdGo")).c_str(), -1, &caption, DT_CENTER | DT_TOP);
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&area, -4, -4);
        DrawFocusRect(item.hDC, &area);
    }
}

bool WinMainWindow::PreTranslate(MSG& message) {
    const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
    const bool input = (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
                       (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
    if (operating() && ours && input && message.hwnd != Control("cmdCancel")) {
        // Only Cancel takes input while an operation runs; Escape presses it.
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            cmdCancel_Click();
        }
        return true;
    }
    if (ours && message.message == WM_KEYDOWN) {
        // The arrow keys choose within an option group.
        const std::string focused = [&] {
            for (const auto& [name, control] : controls_) {
                if (control == message.hwnd) {
                    return name;
                }
            }
            return std::string();
        }();
        const ControlDesign* c = FindControl(kMainControls, kMainControlCount, focused.c_str());
        const WPARAM key = message.wParam;
        if (c && c->kind == ControlKind::kOption &&
            (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT)) {
            for (int i = 0; i < kMainControlCount; ++i) {
                const ControlDesign& other = kMainControls[i];
                if (other.kind == ControlKind::kOption && other.name != focused &&
                    std::strcmp(other.parent, c->parent) == 0) {
                    ChooseOption(other.name);
                    SetFocus(Control(other.name));
                    break;
                }
            }
            return true;
        }
    }
    return ours && IsDialogMessageW(window_, &message);
}

int WinMainWindow::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
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

LRESULT CALLBACK WinMainWindow::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<WinMainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<WinMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT WinMainWindow::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case kRunWork: {
            std::unique_ptr<std::function<void()>> work(
                reinterpret_cast<std::function<void()>*>(l));
            (*work)();
            return 0;
        }
        case kRunGo:
            cmdGo_Click();
            return 0;
        case DM_GETDEFID:
            // Enter presses Go unless another command button has the focus.
            return MAKELONG(
                kFirstId + (FindControl(kMainControls, kMainControlCount, "cmdGo") - kMainControls),
                DC_HASDEFID);
        case WM_COMMAND: {
            const int id = LOWORD(w);
            if (id == IDOK) {
                Clicked("cmdGo");
            } else if (id == IDCANCEL) {
                Clicked(operating() ? "cmdCancel" : "cmdExit");
            } else if (HIWORD(w) == BN_CLICKED && names_.count(id)) {
                Clicked(names_[id]);
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
                const HDC dc = reinterpret_cast<HDC>(w);
                // The design's blue, made readable on the face colour of the theme.
                const COLORREF face = GetSysColor(COLOR_BTNFACE);
                const uint32_t title = ReadableOn(
                    kTitleColour, GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face));
                SetTextColor(dc, RGB((title >> 16) & 0xFF, (title >> 8) & 0xFF, title & 0xFF));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_DROPFILES: {
            const HDROP drop = reinterpret_cast<HDROP>(w);
            std::vector<std::string> files;
            const UINT count = operating() ? 0 : DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::vector<wchar_t> name(32768);
                const UINT length = DragQueryFileW(drop, i, name.data(), UINT(name.size()));
                files.push_back(Narrow(name.data(), length));
            }
            DragFinish(drop);
            if (files.empty()) {
                return 0;
            }
            if (const std::optional<Notice> refusal = CheckDropped(files)) {
                msg_->Show(*refusal);
            } else {
                OpenFile(files.front());
            }
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
            if (operating()) {
                cmdCancel_Click();  // the close box stops the operation, as Cancel does
            } else if (Form_Unload()) {
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
