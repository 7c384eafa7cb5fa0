#include "win/clip_view.h"

#include <memory>

#include "clip/avi_clip.h"
#include "win/win_controls.h"

namespace tessarel {
namespace {

constexpr UINT_PTR kFrameTimer = 1;

struct ClipState {
    AviClip clip;
    int frame = 0;
};

ClipState* StateOf(HWND view) {
    return reinterpret_cast<ClipState*>(GetWindowLongPtrW(view, GWLP_USERDATA));
}

void Paint(HWND view) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(view, &paint);
    RECT area;
    GetClientRect(view, &area);
    FillRect(dc, &area, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    const ClipState* state = StateOf(view);
    if (state && !state->clip.frames.empty()) {
        const AviClip& clip = state->clip;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = clip.width;
        info.bmiHeader.biHeight = -clip.height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        // The clip at its own size at 96 DPI, scaled as the window is, centred upright in the
        // control.
        const int dpi = DpiOf(view);
        const int width = MulDiv(clip.width, dpi, 96);
        const int height = MulDiv(clip.height, dpi, 96);
        const int x = (area.right - width) / 2;
        const int y = (area.bottom - height) / 2;
        StretchDIBits(dc, x, y, width, height, 0, 0, clip.width, clip.height,
                      state->clip.frames[static_cast<size_t>(state->frame)].data(), &info,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(view, &paint);
}

LRESULT CALLBACK ClipProc(HWND view, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT:
            Paint(view);
            return 0;
        case WM_TIMER:
            if (ClipState* state = StateOf(view); state && !state->clip.frames.empty()) {
                state->frame = (state->frame + 1) % static_cast<int>(state->clip.frames.size());
                InvalidateRect(view, nullptr, FALSE);
            }
            return 0;
        case WM_NCDESTROY:
            KillTimer(view, kFrameTimer);
            delete StateOf(view);
            SetWindowLongPtrW(view, GWLP_USERDATA, 0);
            break;
    }
    return DefWindowProcW(view, message, w, l);
}

}  // namespace

void RegisterClipView() {
    static const bool registered = [] {
        WNDCLASSW kind{};
        kind.lpfnWndProc = ClipProc;
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.lpszClassName = L"TessarelClip";
        return RegisterClassW(&kind) != 0;
    }();
    (void)registered;
}

bool OpenClip(HWND view, const std::string& path) {
    auto clip = LoadAvi(path);
    if (!clip || clip->frames.empty()) {
        return false;
    }
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SetClipBackground(*clip,
                      0xFF000000u | GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face));
    delete StateOf(view);
    auto* state = new ClipState{std::move(*clip), 0};
    SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return true;
}

void PlayClip(HWND view) {
    if (const ClipState* state = StateOf(view)) {
        const int interval = std::max(1, state->clip.frame_interval_us / 1000);
        SetTimer(view, kFrameTimer, static_cast<UINT>(interval), nullptr);
    }
}

void StopClip(HWND view) {
    KillTimer(view, kFrameTimer);
}

int ClipFrame(HWND view) {
    const ClipState* state = StateOf(view);
    return state ? state->frame : 0;
}

}  // namespace tessarel
