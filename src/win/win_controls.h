// The Win32 front end's common parts: the design's controls made into Windows' own common
// controls (twips turned into pixels at the window's DPI), the fonts of the design with their
// fallbacks, accessible names for controls that have no caption, pictures, the message box and
// the file dialog. Only the front end's own files include this.
#pragma once

#include <windows.h>
// windows.h names its own MessageBox and DeleteFile: the program's are meant below.
#undef MessageBox
#undef DeleteFile

#include <functional>
#include <string>

#include "clip/xpm_image.h"
#include "design/windows_design.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

namespace tessarel {

// Pixels for twips at a DPI (1440 twips an inch).
// Where a window of that size goes, centred over the rectangle over, kept within the work area so
// its title bar stays on the screen even when the window is larger than the screen.
POINT PlaceCentred(const RECT& over, int width, int height);

inline int PixelsOf(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

// The DPI the window is shown at (per monitor).
int DpiOf(HWND window);

// The design's font, in the named face when the system has it, else the nearest it has. Made
// once for each DPI and kept (freed at the end): the caller never deletes it.
HFONT MakeFont(const FontDesign& font, int dpi);

// A label as wide as its text in its font.
void FitToText(HWND control);

// A control of the design as a child of window, at its place (offset by its containers',
// in twips); id is its command identifier.
HWND CreateDesignControl(HWND window, const ControlDesign& control, int left_twips, int top_twips,
                         int dpi, int id);
// Places an existing control at its design rectangle again (after a change of DPI).
void PlaceDesignControl(HWND control, const ControlDesign& design, int left_twips, int top_twips,
                        int dpi);

// The name a screen reader says for a control, whatever its own text.
void SetAccessibleName(HWND control, const std::wstring& name);

// A picture as an icon (its transparent pixels masked), and as a 32-bit bitmap.
HICON IconOf(const Picture& picture);

// Text with its access-key mark as a control's caption, in UTF-16.
std::wstring WideText(const std::string& text);

// The message box on screen: MessageBoxW with the style's own number.
class WinMessageBox : public MessageBox {
  public:
    explicit WinMessageBox(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    MsgAnswer Show(const Notice& notice) override;
    void CancelShown() override;

  private:
    HWND owner_;
    int shown_ = 0;  // boxes of this one up now
};

// The common Open and Save As dialogs.
class WinFileDialog : public FileDialog {
  public:
    explicit WinFileDialog(HWND owner) : owner_(owner) {}
    void ShowOpen() override { Show(false); }
    void ShowSave() override { Show(true); }

  private:
    void Show(bool save);
    HWND owner_;
};

// The window procedure of a window object of type T, which is handed the HWND as the window is
// made (T::Attach) and answers each of its messages (T::Handle).
template <typename T>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->Attach(window);
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

// Registers, the first time it is asked, the class of T's windows: a dialog's face colour and
// arrow cursor, answered by WindowProcOf<T>.
template <typename T>
void RegisterWindowClass(const wchar_t* name) {
    static const bool registered = [name] {
        WNDCLASSW kind{};
        kind.lpfnWndProc = WindowProcOf<T>;
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        kind.lpszClassName = name;
        return RegisterClassW(&kind) != 0;
    }();
    (void)registered;
}

// Runs a modal window's loop until it is gone, with its owner disabled meanwhile; dialog keys
// (Tab, Enter, Escape, access keys) are handled as in a dialog.
// take, when given, sees each message first and keeps those it returns true for.
void RunModal(HWND window, HWND owner, const std::function<bool(const MSG&)>& take = nullptr);

}  // namespace tessarel
