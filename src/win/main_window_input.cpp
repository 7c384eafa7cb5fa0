// What reaches the Win32 main window from the keyboard: the keys of its loop (Escape, the arrow
// keys in an option group, the dialog keys), its text fields' changes, which pass the window
// first (the lock while a request runs, the size fields' rules for typed characters and
// pastes), and the size fields' menu: the edit box's own items, then the media sizes.
#include "win/main_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "control/media_sizes.h"
#include "platform/wide.h"

namespace tessarel {
namespace {

LRESULT CALLBACK FieldProc(HWND field, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                           DWORD_PTR window) {
    auto* self = reinterpret_cast<WinMainWindow*>(window);
    // The right button, the menu key and Shift+F10 all arrive as WM_CONTEXTMENU.
    if (message == WM_CONTEXTMENU &&
        (field == self->Control("txtApprox") || field == self->Control("txtExact"))) {
        self->ShowSizeMenu(field, l);
        return 0;
    }
    if (!self->FieldTakes(field, message, w)) {
        return 0;
    }
    return DefSubclassProc(field, message, w, l);
}

}  // namespace

void WinMainWindow::WireFields() {
    for (const auto& [name, control] : controls_) {
        if (FindControl(kMainControls, kMainControlCount, name.c_str())->kind ==
            ControlKind::kText) {
            SetWindowSubclass(control, FieldProc, 3, reinterpret_cast<DWORD_PTR>(this));
        }
    }
}

bool WinMainWindow::FieldTakes(HWND field, UINT message, WPARAM w) {
    const bool changes = message == WM_SETTEXT || message == WM_CHAR || message == WM_PASTE ||
                         message == WM_CUT || message == WM_CLEAR || message == WM_UNDO ||
                         message == EM_REPLACESEL;
    if (changes && locked_.count(field) && !setting_) {
        return false;  // a locked field: not typing, pasting, nor a screen reader's text
    }
    if (field != Control("txtApprox") && field != Control("txtExact")) {
        return true;
    }
    // The size entries: typed characters and pastes as the controller's rules have them; the
    // editing keys (Ctrl+A, C, V, X, Z) are no characters.
    if (message == WM_CHAR && w != 1 && w != 3 && w != 22 && w != 24 && w != 26) {
        return controller_->TakesKey(static_cast<int>(w));
    }
    if (message == WM_PASTE) {
        std::wstring pasted;
        if (OpenClipboard(field)) {
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
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        const size_t kept = static_cast<size_t>(GetWindowTextLengthW(field)) - (to - from);
        return controller_->TakesPaste(
            Narrow(pasted), kept, static_cast<size_t>(SendMessageW(field, EM_GETLIMITTEXT, 0, 0)));
    }
    return true;
}

void WinMainWindow::ShowSizeMenu(HWND edit, LPARAM where) {
    enum : UINT {
        kUndo = 1,
        kCut,
        kCopy,
        kPaste,
        kDelete,
        kSelectAll,
        kFirstItem = 100  // the controller's items, by their place in its list
    };
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
    const std::vector<SizeMenuItem> items = controller_->SizeMenuItems();
    HMENU recovery = nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        const SizeMenuItem& item = items[i];
        const std::wstring caption = WideText(item.caption);
        const UINT id = kFirstItem + static_cast<UINT>(i);
        switch (item.kind) {
            case SizeMenuItem::Kind::kSeparator:
                AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
                break;
            case SizeMenuItem::Kind::kRecoveryMenu:
                recovery = CreatePopupMenu();
                AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(recovery), caption.c_str());
                break;
            default:
                AppendMenuW(
                    item.kind == SizeMenuItem::Kind::kRecoveryChoice && recovery ? recovery : menu,
                    MF_STRING | (item.checked ? MF_CHECKED : 0), id, caption.c_str());
        }
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
    } else if (chosen >= kFirstItem && chosen < kFirstItem + items.size()) {
        controller_->SizeMenuChosen(items[chosen - kFirstItem]);
    }
}

bool WinMainWindow::PreTranslate(MSG& message) {
    const bool ours = message.hwnd == window_ || IsChild(window_, message.hwnd);
    if (!ours || message.message != WM_KEYDOWN) {
        return ours && IsDialogMessageW(window_, &message);
    }
    if (message.wParam == VK_ESCAPE) {
        controller_->EscapePressed();
        return true;
    }
    // The arrow keys choose within an option group.
    const ControlDesign* c =
        FindControl(kMainControls, kMainControlCount, NameOf(message.hwnd).c_str());
    const WPARAM key = message.wParam;
    if (c && c->kind == ControlKind::kOption &&
        (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT)) {
        for (int i = 0; i < kMainControlCount; ++i) {
            const ControlDesign& other = kMainControls[i];
            if (other.kind == ControlKind::kOption && other.name != std::string(c->name) &&
                std::string(other.parent) == c->parent) {
                ChooseOption(other.name);
                SetFocus(Control(other.name));
                break;
            }
        }
        return true;
    }
    return IsDialogMessageW(window_, &message);
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

}  // namespace tessarel
