// The Windows windows under wine, driven through their controls as a user would (BM_CLICK,
// WM_SETTEXT, keys), with the message box a scripted stand-in; and once Windows' own message
// box, found on screen and answered. With TESSAREL_SHOTS set, pictures of the three windows are
// saved there.
#include <gtest/gtest.h>

#include "win/main_window.h"  // windows.h first, without its MessageBox and DeleteFile names

#include <commctrl.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>

#include "platform/file.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "win/about_window.h"
#include "win/clip_view.h"
#include "win/help_window.h"
#include "windows/png_writer.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

// Lets the window's loop run until done holds, for at most deadline_ms.
bool PumpUntil(WinMainWindow* window, const std::function<bool()>& done, int deadline_ms = 10000) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(deadline_ms);
    MSG message;
    while (!done()) {
        if (GetTickCount() > until) {
            return false;
        }
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!window || !window->PreTranslate(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Sleep(100);
    }
    return true;
}

std::wstring TextOf(HWND control) {
    std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(control, text.data(), int(text.size()))));
    return text;
}

bool Checked(HWND option) {
    return SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A window's pixels as they are on the screen (0xAARRGGBB, top row first).
std::vector<uint32_t> ScreenPixels(HWND window, int* width, int* height) {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(p, p + w * h);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    *width = w;
    *height = h;
    return pixels;
}

// The picture of a window as it is on the screen, saved where TESSAREL_SHOTS says.
void Shoot(HWND window, const char* name) {
    const char* folder = std::getenv("TESSAREL_SHOTS");
    if (!folder) {
        return;
    }
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels = ScreenPixels(window, &w, &h);
    WritePng(std::string(folder) + "/" + name, w, h, pixels);
}

// How many of a window's pixels are coloured rather than grey.
int ColouredPixels(HWND window) {
    int w = 0, h = 0;
    int coloured = 0;
    for (const uint32_t p : ScreenPixels(window, &w, &h)) {
        const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        coloured += std::max({r, g, b}) - std::min({r, g, b}) > 48 ? 1 : 0;
    }
    return coloured;
}

// What a screen reader gets from a control's own accessible object by one of its getters.
std::wstring Spoken(HWND control, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* accessible = nullptr;
    std::wstring said;
    if (SUCCEEDED(AccessibleObjectFromWindow(control, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&accessible)))) {
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        if (SUCCEEDED((accessible->*get)(self, &text)) && text) {
            said = text;
            SysFreeString(text);
        }
        accessible->Release();
    }
    return said;
}

std::wstring SpokenName(HWND control) {
    return Spoken(control, &IAccessible::get_accName);
}

std::wstring SpokenValue(HWND control) {
    return Spoken(control, &IAccessible::get_accValue);
}

class WindowTest : public testing::Test {
  protected:
    ~WindowTest() override {
        window.reset();
        PumpUntil(
            nullptr, [] { return false; }, 20);  // the closed window's quit message
    }
    void SetUp() override {
        window = std::make_unique<WinMainWindow>(&answers);
        window->Show();
        PumpUntil(
            window.get(), [] { return false; }, 100);
    }
    void TearDown() override {
        SetFileFaultHook(nullptr, nullptr);
        EXPECT_TRUE(PumpUntil(window.get(), [&] { return !window->operating(); }));
        EXPECT_EQ(answers.Unanswered(), 0u);
    }
    HWND C(const char* name) const { return window->Control(name); }
    void Click(const char* name) { SendMessageW(C(name), BM_CLICK, 0, 0); }
    void Type(const char* name, const std::string& text) {
        SendMessageW(C(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideText(text).c_str()));
    }
    void Go() {
        const int before = window->go_requests_done();
        Click("cmdGo");
        EXPECT_TRUE(PumpUntil(
            window.get(), [&] { return window->go_requests_done() > before; }, 30000));
    }

    TempDir dir;
    ScriptedMessageBox answers;
    std::unique_ptr<WinMainWindow> window;
};

TEST_F(WindowTest, StartsInTheDesignedState) {
    EXPECT_EQ(TextOf(window->hwnd()), L"Tessarel");
    EXPECT_TRUE(Checked(C("optSplit")));
    EXPECT_TRUE(Checked(C("optApprox")));
    EXPECT_TRUE(Checked(C("opt10")));
    EXPECT_EQ(TextOf(C("txtApprox")), L"1400");
    EXPECT_EQ(TextOf(C("txtExact")), L"0");
    EXPECT_FALSE(IsWindowEnabled(C("txtExact")));
    EXPECT_EQ(TextOf(C("txtOpen")), L"");
    for (const char* hidden :
         {"anmFileCopy", "lblDone", "Line3", "lblTotal", "cmdCancel", "txtSize"}) {
        EXPECT_FALSE(IsWindowVisible(C(hidden))) << hidden;
    }
    for (const char* shown : {"cmdAbout", "cmdHelp", "cmdExit", "cmdGo", "pgbDone"}) {
        EXPECT_TRUE(IsWindowVisible(C(shown))) << shown;
    }
    // The client area is the design's, in pixels at the window's DPI (the screen's, when a run
    // asks for one).
    RECT client;
    GetClientRect(window->hwnd(), &client);
    const int dpi = DpiOf(window->hwnd());
    if (const char* asked = std::getenv("TESSAREL_DPI")) {
        EXPECT_EQ(dpi, std::atoi(asked));
    }
    EXPECT_EQ(client.right, PixelsOf(kMainClientWidth, dpi));
    EXPECT_EQ(client.bottom, PixelsOf(kMainClientHeight, dpi));
    Shoot(window->hwnd(), "win-main-window.png");
    EXPECT_GT(ColouredPixels(C("cmdGo")), 0) << "Go's picture in its colours";
    // A size field shows its longest number whole, not its last digits.
    for (const char* field : {"txtApprox", "txtExact"}) {
        const LRESULT limit = SendMessageW(C(field), EM_GETLIMITTEXT, 0, 0);
        const std::wstring longest(static_cast<size_t>(limit), L'8');
        RECT shown{};
        SendMessageW(C(field), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
        HDC dc = GetDC(C(field));
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(C(field), WM_GETFONT, 0, 0)));
        SIZE needed{};
        GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &needed);
        ReleaseDC(C(field), dc);
        EXPECT_LE(needed.cx, shown.right - shown.left) << field;
    }
}

TEST_F(WindowTest, ModeAndSizeChoicesEnableAsTheRulesSay) {
    struct Step {
        const char* click;
        ModeChoice state;
    };
    const Step steps[] = {{"optExact", ModeChoice::kSplitExact},
                          {"optJoin", ModeChoice::kJoin},
                          {"optSplit", ModeChoice::kSplitExact},
                          {"optApprox", ModeChoice::kSplitApproximate}};
    Type("txtOpen", "a");
    for (const Step& step : steps) {
        Click(step.click);
        for (int i = 0; i < kEnableRuleCount; ++i) {
            EXPECT_EQ(IsWindowEnabled(C(kEnableRules[i].control)) != 0,
                      kEnableRules[i].enabled[int(step.state)])
                << step.click << " " << kEnableRules[i].control;
        }
    }
    EXPECT_EQ(TextOf(C("txtOpen")), L"") << "choosing a mode empties the names";
    // Typed characters other than digits are refused with a beep.
    int beeps = 0;
    window->SetBeep([&] { ++beeps; });
    SetFocus(C("txtApprox"));
    for (const wchar_t c : std::wstring(L"1x5")) {
        SendMessageW(C("txtApprox"), WM_CHAR, c, 0);
    }
    EXPECT_EQ(beeps, 1);
}

// The size entry's menu (here as Shift+F10 or the menu key bring it) offers the media sizes;
// the FAT32 stick's fills Exact and chooses it.
TEST_F(WindowTest, TheSizeMenuFillsExactWithAMediumsSize) {
    static std::wstring seen;
    seen.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (!menu) {
            return;
        }
        KillTimer(nullptr, id);
        HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        const int count = GetMenuItemCount(items);
        int stick = count;
        for (int i = 0; i < count; ++i) {
            wchar_t caption[64] = L"";
            GetMenuStringW(items, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
            seen += std::wstring(caption) + L"|";
            if (std::wstring(caption) == L"FAT32 stick (4 GB)") {
                stick = i;
            }
        }
        // Up from the end, over the separators the menu steps past by itself.
        int ups = 0;
        for (int i = count - 1; i >= stick; --i) {
            ups +=
                (GetMenuState(items, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) ? 0 : 1;
        }
        for (int i = 0; i < ups; ++i) {
            PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
        }
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    SetFocus(C("txtApprox"));
    SendMessageW(C("txtApprox"), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(C("txtApprox")), -1);
    KillTimer(nullptr, timer);
    EXPECT_NE(seen.find(L"&Paste|"), std::wstring::npos) << "the entry's own items stay";
    EXPECT_NE(seen.find(L"FAT32 stick (4 GB)|Mail, 25 MB limit|Mail, 10 MB limit|"),
              std::wstring::npos);
    EXPECT_TRUE(Checked(C("optExact")));
    EXPECT_EQ(TextOf(C("txtExact")), L"4294967295");
    EXPECT_TRUE(IsWindowEnabled(C("txtExact")));
}

TEST_F(WindowTest, ASplitAndAJoinAreByteExactAndARefusalIsSaid) {
    answers.Answer(kAnswerOk);
    Go();
    EXPECT_EQ(answers.Prompts(),
              std::vector<std::string>{"You did not specify a file to open or save."});
    answers.shown.clear();

    const auto file = Pattern(300000, 3);
    WriteBytes(dir / "données 名前.bin", file);
    Click("optExact");
    Type("txtExact", "100000");
    Type("txtOpen", dir / "données 名前.bin");
    Type("txtSave", dir / "s");
    answers.Answer(kAnswerOk);
    Go();
    EXPECT_EQ(answers.Prompts(), std::vector<std::string>{" Will split into  4 files."});
    EXPECT_EQ(TextOf(C("txtSave")), WideText(dir / "s.m00"));
    EXPECT_EQ(ReadBytes(dir / "s.m03"), ExpectedPieces(file, 100000)[3]);
    EXPECT_EQ(SendMessageW(C("pgbDone"), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(SpokenValue(C("pgbDone")), L"100%");
    // A screen reader hears the counters' numbers, and is told of the end.
    EXPECT_EQ(SpokenName(C("lblTotal")), L"Pieces in all: 4");
    EXPECT_EQ(SpokenName(C("pgbDone")), L"Progress: Done: the file was split into 4 pieces.");

    Click("optJoin");
    Type("txtOpen", dir / "s.m00");
    Type("txtSave", dir / "back.bin");
    answers.Answer(kAnswerOk);
    Go();
    EXPECT_EQ(ReadBytes(dir / "back.bin"), file);
    EXPECT_TRUE(IsWindowVisible(C("cmdExit")));
}

// Slows every write, so the operation lasts long enough to be cancelled.
Fault SlowWrites(FileOp op, const std::string&, int64_t, int32_t, void*) {
    if (op == FileOp::Write) {
        Sleep(100);
    }
    return Fault::kNone;
}

// Writes that wait a second at the start of pieces 10 and 32, so their counters are seen.
Fault PausesAtSomePieces(FileOp op, const std::string& path, int64_t position, int32_t, void*) {
    if (op == FileOp::Write && position == 0) {
        for (const char* piece : {".s.m09.", ".s.m31."}) {
            if (path.find(piece) != std::string::npos) {
                Sleep(1000);
            }
        }
    }
    return Fault::kNone;
}

// The fraction's counters are as wide as their numbers all through a split of 100 pieces.
TEST_F(WindowTest, TheCountersShowTheirWholeNumbers) {
    WriteBytes(dir / "src.bin", Pattern(100 * 4096 - 20));
    Click("optExact");
    Type("txtExact", "4096");
    Type("txtOpen", dir / "src.bin");
    Type("txtSave", dir / "s");
    SetFileFaultHook(PausesAtSomePieces, nullptr);
    answers.Answer(kAnswerOk);
    Click("cmdGo");
    std::set<int> seen;  // the pieces whose counter was looked at
    const auto whole = [&](const char* counter) {
        const std::wstring number = TextOf(C(counter));
        RECT shown{};
        GetClientRect(C(counter), &shown);
        HDC dc = GetDC(C(counter));
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(C(counter), WM_GETFONT, 0, 0)));
        SIZE needed{};
        GetTextExtentPoint32W(dc, number.c_str(), int(number.size()), &needed);
        ReleaseDC(C(counter), dc);
        return shown.right >= needed.cx;
    };
    EXPECT_TRUE(PumpUntil(
        window.get(),
        [&] {
            if (IsWindowVisible(C("lblDone"))) {
                EXPECT_TRUE(whole("lblDone")) << TextOf(C("lblDone")).size();
                EXPECT_TRUE(whole("lblTotal"));
                seen.insert(std::stoi(TextOf(C("lblDone"))));
            }
            return !window->operating() && !seen.empty();
        },
        60000));
    for (const int piece : {10, 32}) {  // beside the total's three digits
        EXPECT_EQ(seen.count(piece), 1u) << piece;
    }
    EXPECT_EQ(TextOf(C("lblTotal")), L"100");
}

TEST_F(WindowTest, CancelStopsTheOperationAndLeavesTheDiskAsItWas) {
    WriteBytes(dir / "src.bin", Pattern(3000000));
    Click("optExact");
    Type("txtExact", "200000");
    Type("txtOpen", dir / "src.bin");
    Type("txtSave", dir / "s");
    SetFileFaultHook(SlowWrites, nullptr);
    answers.Answer(kAnswerOk);
    answers.Answer(kAnswerYes);  // stop
    const int before = window->go_requests_done();
    Click("cmdGo");
    EXPECT_TRUE(PumpUntil(window.get(), [&] { return IsWindowVisible(C("cmdCancel")) != 0; }));
    // A few pieces on, and painted.
    EXPECT_TRUE(PumpUntil(window.get(), [&] { return std::stoi(TextOf(C("lblDone"))) >= 3; }));
    PumpUntil(
        window.get(), [] { return false; }, 100);
    Shoot(window->hwnd(), "win-operating.png");
    EXPECT_EQ(ColouredPixels(C("cmdGo")), 0) << "Go is greyed while it cannot be pressed";
    // Input other than Cancel is dropped meanwhile.
    PostMessageW(C("optJoin"), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageW(C("optJoin"), WM_LBUTTONUP, 0, 0);
    // A screen reader's default action is a BM_CLICK sent past the loop: refused as well.
    for (const char* pressed : {"optJoin", "cmdGo", "cmdHelp", "cmdOpen"}) {
        SendMessageW(C(pressed), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowEnabled(C(pressed))) << pressed;
    }
    PostMessageW(C("cmdCancel"), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageW(C("cmdCancel"), WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(PumpUntil(
        window.get(), [&] { return window->go_requests_done() > before; }, 30000));
    EXPECT_TRUE(Checked(C("optSplit")));
    EXPECT_TRUE(IsWindowEnabled(C("txtExact"))) << "the enable rules are back";
    EXPECT_FALSE(IsWindowEnabled(C("txtApprox")));
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[1].kind, MsgKind::kStop);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.path())), {}), 1)
        << "something of the stopped split was left";
}

// Input as a hand gives it: SendInput goes through the system's input queue, hit-testing and
// focus, as a real mouse and keyboard do (under wine, as the X server's events do).
void PressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (const WORD key : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickAt(POINT at) {
    SetCursorPos(at.x, at.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
}

POINT CentreOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Every hand that asks to stop reaches the one "Stop?" question while a split runs.
TEST_F(WindowTest, EveryHandAsksToStop) {
    WriteBytes(dir / "src.bin", Pattern(3000000));
    const std::pair<const char*, std::function<void()>> hands[] = {
        {"a click on Cancel", [&] { ClickAt(CentreOf(C("cmdCancel"))); }},
        {"Space on Cancel", [] { PressKeys({VK_SPACE}); }},
        {"Return on Cancel", [] { PressKeys({VK_RETURN}); }},
        {"Escape", [] { PressKeys({VK_ESCAPE}); }},
        {"Alt+F4",
         [] {
             PressKeys({VK_MENU, VK_F4});
         }},
        {"the close box",
         [&] {
             // The close button: the caption's right end, inside the window's frame.
             RECT frame;
             GetWindowRect(window->hwnd(), &frame);
             const int border = GetSystemMetrics(SM_CXFIXEDFRAME);
             ClickAt({frame.right - border - GetSystemMetrics(SM_CXSIZE) / 2,
                      frame.top + border + GetSystemMetrics(SM_CYSIZE) / 2});
         }},
    };
    for (const auto& [how, hand] : hands) {
        SCOPED_TRACE(how);
        Click("optExact");
        Type("txtExact", "200000");
        Type("txtOpen", dir / "src.bin");
        Type("txtSave", dir / "s");
        SetFileFaultHook(SlowWrites, nullptr);
        answers = ScriptedMessageBox{kAnswerOk, kAnswerYes};
        const int before = window->go_requests_done();
        Click("cmdGo");
        ASSERT_TRUE(PumpUntil(window.get(), [&] { return IsWindowVisible(C("cmdCancel")) != 0; }));
        SetForegroundWindow(window->hwnd());
        PumpUntil(
            window.get(), [] { return false; }, 300);
        hand();
        EXPECT_TRUE(PumpUntil(
            window.get(), [&] { return window->go_requests_done() > before; }, 30000));
        ASSERT_EQ(answers.shown.size(), 2u);
        EXPECT_EQ(answers.shown[1].kind, MsgKind::kStop);
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.path())), {}), 1);
        SetFileFaultHook(nullptr, nullptr);
    }
}

// While a split runs no route puts text into a field: typing, a paste, a screen reader's
// WM_SETTEXT. Afterwards the field shows what was used.
TEST_F(WindowTest, ALockedFieldTakesNoText) {
    WriteBytes(dir / "src.bin", Pattern(2000000));
    Click("optExact");
    Type("txtExact", "200000");
    Type("txtOpen", dir / "src.bin");
    Type("txtSave", dir / "s.m00");
    SetFileFaultHook(SlowWrites, nullptr);
    answers.Answer(kAnswerOk);
    const int before = window->go_requests_done();
    Click("cmdGo");
    ASSERT_TRUE(PumpUntil(window.get(), [&] { return IsWindowVisible(C("cmdCancel")) != 0; }));
    Type("txtSave", "elsewhere");
    SendMessageW(C("txtSave"), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));
    SendMessageW(C("txtSave"), WM_CHAR, 'y', 0);
    EXPECT_EQ(TextOf(C("txtSave")), WideText(dir / "s.m00"));
    EXPECT_TRUE(PumpUntil(
        window.get(), [&] { return window->go_requests_done() > before; }, 30000));
    EXPECT_EQ(TextOf(C("txtSave")), WideText(dir / "s.m00"));
}

// Files dropped from Explorer: an HDROP naming them, as the shell sends it.
void Drop(HWND window, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) {
        names += WideText(path) + L'\0';
    }
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST_F(WindowTest, ADroppedPieceOpensInJoinModeAndAnyOtherFileInSplit) {
    WriteSeries(dir / "a", Pattern(300), 100);
    WriteBytes(dir / "a.txt", Pattern(30));
    for (const char* member : {"b.0", "b.1", "b.2"}) {
        WriteBytes(dir / member, Pattern(30));  // another tool's set
    }
    const struct {
        const char* dropped;
        bool join;
        const char* opened;
    } drops[] = {{"a.m00", true, "a.m00"}, {"b.2", true, "b.0"}, {"a.txt", false, "a.txt"}};
    for (const auto& drop : drops) {
        Drop(window->hwnd(), {dir / drop.dropped});
        EXPECT_EQ(Checked(C("optJoin")), drop.join) << drop.dropped;
        EXPECT_EQ(TextOf(C("txtOpen")), WideText(dir / drop.opened));
    }
    // Two files, or a folder, are refused with what to drop instead.
    fs::create_directory(fs::u8path(dir / "Photos"));
    answers.Answer(kAnswerOk);
    answers.Answer(kAnswerOk);
    Drop(window->hwnd(), {dir / "a.m00", dir / "a.txt"});
    Drop(window->hwnd(), {dir / "Photos"});
    // Said once the drop is over: the program the files came from is not kept waiting.
    EXPECT_TRUE(PumpUntil(window.get(), [&] { return answers.shown.size() == 2; }));
    EXPECT_EQ(answers.Prompts(),
              (std::vector<std::string>{
                  "Drop one file at a time: a file to split, or the first piece of a series to "
                  "join.",
                  "Photos is a folder. Drop a file to split, or the first piece of a series to "
                  "join."}));
    EXPECT_EQ(TextOf(C("txtOpen")), WideText(dir / "a.txt"));
}

// A paste that does not fit a size field is refused with the beep, never cut.
TEST_F(WindowTest, APasteLongerThanTheFieldIsRefusedWithABeep) {
    int beeps = 0;
    window->SetBeep([&] { ++beeps; });
    Click("optExact");
    for (const auto& [pasted, after, beeped] :
         {std::tuple{L"42949672950", L"0", 1}, {L"4294967295", L"0", 1}, {L"123", L"0123", 0}}) {
        Type("txtExact", "0");
        SendMessageW(C("txtExact"), EM_SETSEL, 1, 1);
        ASSERT_TRUE(OpenClipboard(window->hwnd()));
        EmptyClipboard();
        const std::wstring text = pasted;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        std::copy(text.c_str(), text.c_str() + text.size() + 1,
                  static_cast<wchar_t*>(GlobalLock(memory)));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        beeps = 0;
        SendMessageW(C("txtExact"), WM_PASTE, 0, 0);
        EXPECT_EQ(TextOf(C("txtExact")), after) << pasted;
        EXPECT_EQ(beeps, beeped) << pasted;
    }
}

// tessarel.exe FILE, as Explorer starts it for a .m00: the console program hands the file to
// the window program beside it, whose window opens in Join mode.
TEST(WindowsOpening, TheConsoleProgramHandsAFileToTheWindow) {
    TempDir dir;
    WriteSeries(dir / "b", Pattern(300), 100);
    std::wstring exe(MAX_PATH, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"tessarel.exe";
    std::wstring line = L"\"" + exe + L"\" \"" + WideText(dir / "b.m00") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &started));
    EXPECT_EQ(WaitForSingleObject(started.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    HWND found = nullptr;
    PumpUntil(nullptr, [&] { return (found = FindWindowW(nullptr, L"Tessarel")) != nullptr; });
    ASSERT_NE(found, nullptr);
    // The window is found by its title as soon as it is made; it takes the file a moment later.
    HWND join = nullptr;
    EXPECT_TRUE(PumpUntil(nullptr, [&] {
        EnumChildWindows(
            found,
            [](HWND child, LPARAM out) {
                if (TextOf(child) == L"&Join") {
                    *reinterpret_cast<HWND*>(out) = child;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&join));
        return join && Checked(join);
    })) << "the window did not open the piece in Join mode";
    // The focus is on the chosen mode: a Space there changes nothing.
    EXPECT_TRUE(PumpUntil(nullptr, [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(found, nullptr), &info) &&
               info.hwndFocus == join;
    })) << "the focus is not on Join";
    // Ended by its own pid, whatever it is doing.
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    HANDLE window_program = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(window_program, nullptr);
    TerminateProcess(window_program, 0);
    WaitForSingleObject(window_program, 10000);
    CloseHandle(window_program);
}

// Windows' own message box, found on the screen and answered by its button.
void CALLBACK AnswerQuit(HWND, UINT, UINT_PTR, DWORD) {
    static int answer = IDNO;
    if (HWND box = FindWindowW(L"#32770", L"Quit?")) {
        SendMessageW(GetDlgItem(box, answer), BM_CLICK, 0, 0);
        answer = IDYES;
    }
}

TEST(WindowsMessageBox, TheQuitQuestionIsWindowsOwnAndItsAnswerIsObeyed) {
    WinMainWindow window;  // with Windows' own message box
    window.Show();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerQuit);
    SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);  // No: the window stays
    EXPECT_TRUE(IsWindow(window.hwnd()));
    SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);  // Yes: it goes
    KillTimer(nullptr, timer);
    EXPECT_FALSE(IsWindow(window.hwnd()));
    PumpUntil(
        nullptr, [] { return false; }, 50);
}

// A screen reader's Cancel (its default action, a click sent past the loop) while the
// operation's own question is up answers that question; the operation then stops.
struct QuestionHand {
    HWND cancel = nullptr;
    HWND asked = nullptr;
    int questions = 0;
    DWORD since = 0;
    bool unanswered = false;
} question_hand;

void CALLBACK HandOnQuestions(HWND, UINT, UINT_PTR, DWORD) {
    QuestionHand& hand = question_hand;
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            if (lstrcmpW(kind, L"#32770") == 0 && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(found) = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (!box) {
        return;
    }
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    if (std::wstring(text).rfind(L"Disk is full", 0) != 0) {
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);  // the confirmation, the end
    } else if (box != hand.asked) {
        hand.asked = box;
        ++hand.questions;
        hand.since = GetTickCount();
        SendMessageW(hand.cancel, BM_CLICK, 0, 0);
    } else if (GetTickCount() - hand.since > 10000) {
        hand.unanswered = true;  // ended here, not hung
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    }
}

Fault DiskStaysFull(FileOp op, const std::string& path, int64_t, int32_t, void*) {
    const bool third = path.find(".s.m02.tessarel-") != std::string::npos;
    return op == FileOp::Write && third ? Fault::kDiskFull : Fault::kNone;
}

TEST(WindowsMessageBox, AScreenReadersCancelAnswersTheQuestionThatIsUp) {
    TempDir dir;
    WriteBytes(dir / "src.bin", Pattern(1000000));
    WinMainWindow window;  // with Windows' own message box
    window.Show();
    const auto type = [&](const char* name, const std::string& text) {
        SendMessageW(window.Control(name), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(WideText(text).c_str()));
    };
    SendMessageW(window.Control("optExact"), BM_CLICK, 0, 0);
    type("txtExact", "200000");
    type("txtOpen", dir / "src.bin");
    type("txtSave", dir / "s");
    question_hand = QuestionHand{};
    question_hand.cancel = window.Control("cmdCancel");
    SetFileFaultHook(DiskStaysFull, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, HandOnQuestions);
    SendMessageW(window.Control("cmdGo"), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil(
        &window, [&] { return question_hand.questions > 0 && !window.operating(); }, 30000));
    KillTimer(nullptr, timer);
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_FALSE(question_hand.unanswered);
    EXPECT_EQ(question_hand.questions, 1);
    EXPECT_FALSE(fs::exists(fs::u8path(dir / "s.m00")));
}

TEST_F(WindowTest, EveryControlAUserCanReachHasASpokenName) {
    EXPECT_EQ(SpokenName(C("txtOpen")), L"File to open");
    EXPECT_EQ(SpokenName(C("txtApprox")), L"Approximate piece size in kilobytes");
    for (int i = 0; i < kMainTabOrderCount; ++i) {
        EXPECT_FALSE(SpokenName(C(kMainTabOrder[i])).empty()) << kMainTabOrder[i];
    }
}

TEST(WindowsHelp, FourTabsEachWithItsTopics) {
    WinHelpWindow help(nullptr);
    ShowWindow(help.hwnd(), SW_SHOW);
    EXPECT_EQ(TextOf(help.hwnd()), L"Tessarel Help");
    EXPECT_EQ(SendMessageW(help.tbsHelp, TCM_GETITEMCOUNT, 0, 0), 4);
    // The tabs' captions in the system's face at the window's DPI, not the stock 96-DPI font.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(help.tbsHelp, WM_GETFONT, 0, 0)),
              MakeFont(FontDesign{}, DpiOf(help.hwnd())));
    for (int k = 1; k <= kHelpPageCount; ++k) {
        // As a click on the tab does: the selection changes and the strip says so.
        SendMessageW(help.tbsHelp, TCM_SETCURSEL, WPARAM(k - 1), 0);
        NMHDR note{help.tbsHelp, 0, UINT(TCN_SELCHANGE)};
        SendMessageW(help.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
        for (int j = 0; j < kHelpTopicCount; ++j) {
            const bool on_page = kHelpTopics[j].page == k - 1;
            EXPECT_EQ(IsWindowVisible(help.optOv[size_t(j)]) != 0, on_page) << k << " " << j;
            EXPECT_EQ(IsWindowVisible(help.txtHelp[size_t(j)]) != 0,
                      on_page && kHelpTopics[j].on_at_start)
                << k << " " << j;
        }
        if (k == 1) {
            PumpUntil(
                nullptr, [] { return false; }, 100);
            Shoot(help.hwnd(), "win-help.png");
        }
    }
    // Another topic of tab 2, away to tab 3 and back: still in front.
    SendMessageW(help.optOv[3], BM_CLICK, 0, 0);
    help.SelectTab(3);
    help.SelectTab(2);
    EXPECT_TRUE(IsWindowVisible(help.txtHelp[3]));
    EXPECT_NE(TextOf(help.txtHelp[0]).find(L"\u00B7"), std::wstring::npos);
    // Ctrl+Tab and Ctrl+Shift+Tab go through the tabs from the text too, and round.
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    const MSG tab{help.txtHelp[3], WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(help.TakeTabKeys(tab));
    EXPECT_EQ(help.selected_tab(), 3);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    for (int i = 0; i < 3; ++i) {
        help.TakeTabKeys(tab);
    }
    EXPECT_EQ(help.selected_tab(), 4);
    EXPECT_EQ(SendMessageW(help.tbsHelp, TCM_GETCURSEL, 0, 0), 3);
    SetKeyboardState(std::array<BYTE, 256>{}.data());
}

TEST(WindowsAbout, TheWindowNamesTheProgramAndItsVersion) {
    ScriptedMessageBox answers{kAnswerOk};
    WinAboutWindow about(nullptr, answers);
    ShowWindow(about.hwnd(), SW_SHOW);
    EXPECT_EQ(TextOf(about.hwnd()), L"About Tessarel");
    EXPECT_EQ(TextOf(about.Control("lblVersion")), L"Version 1.0.0");
    EXPECT_EQ(TextOf(about.Control("lblTitle")), L"Tessarel");
    // The icon as large as the window's DPI makes it.
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(
        reinterpret_cast<HICON>(SendMessageW(about.Control("picIcon"), STM_GETICON, 0, 0)), &icon));
    BITMAP mask{};
    GetObjectW(icon.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, MulDiv(ProgramIcon().width, DpiOf(about.hwnd()), 96));
    DeleteObject(icon.hbmMask);
    DeleteObject(icon.hbmColor);
    // Every text shows whole in its box, in a font of its own (without one a button draws in
    // the old bold System face).
    for (int i = 0; i < kAboutControlCount; ++i) {
        HWND control = about.Control(kAboutControls[i].name);
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        EXPECT_NE(font, nullptr) << kAboutControls[i].name;
        RECT box{};
        GetClientRect(control, &box);
        RECT needed = box;
        RECT line = box;
        HDC dc = GetDC(control);
        SelectObject(dc, font);
        DrawTextW(dc, TextOf(control).c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK);
        DrawTextW(dc, L"X", -1, &line, DT_CALCRECT);
        ReleaseDC(control, dc);
        // A box a little lower than a line still shows that line.
        const int held = std::max(1L, (box.bottom + line.bottom / 2) / line.bottom);
        EXPECT_LE(needed.bottom / line.bottom, held) << kAboutControls[i].name;
    }
    PumpUntil(
        nullptr, [] { return false; }, 100);
    Shoot(about.hwnd(), "win-about.png");
    // Without the registry's values the tool cannot be found, and that is said.
    SendMessageW(about.Control("cmdSysInfo"), BM_CLICK, 0, 0);
    EXPECT_EQ(answers.Prompts(),
              std::vector<std::string>{"System Information Is Unavailable At This Time"});
}

}  // namespace
}  // namespace tessarel
