// XP_ProgressBar where users meet it: hosted by a real container (Wine's ATL host window), drawn
// by a container's view where it has no window, read by a screen reader through the system's
// accessibility interface, and driven by the script hosts.
#include <oleacc.h>

#include "com_support.h"

namespace gaugekit::testing {
namespace {

constexpr COLORREF kOutline = RGB(104, 104, 104);  // the classic border's dark outline

// Value-change events as a screen reader hears them.
std::vector<HWND> valueChanges;
void CALLBACK onValueChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                            DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) valueChanges.push_back(window);
}

void pump() {
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
}

class Hosted : public Com {
  protected:
    void SetUp() override {
        Com::SetUp();
        ASSERT_TRUE(registration_.registered());
        const HMODULE atl = LoadLibraryW(L"atl.dll");
        ASSERT_NE(atl, nullptr);
        const auto entry = [atl](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(atl, name));
        };
        const auto init = reinterpret_cast<BOOL(WINAPI*)()>(entry("AtlAxWinInit"));
        const auto getControl =
            reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(entry("AtlAxGetControl"));
        ASSERT_TRUE(init && getControl);
        static const BOOL hostReady = init();  // registers the host window's class, once
        ASSERT_TRUE(hostReady);
        top_.reset(CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200,
                                   nullptr, nullptr, nullptr, nullptr));
        host_ = CreateWindowExW(0, L"AtlAxWin", L"Project1.XP_ProgressBar", WS_CHILD | WS_VISIBLE,
                                0, 0, 200, 66, top_.get(), nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        ASSERT_EQ(getControl(host_, control_.put()), S_OK);
        bar_ = query<IDispatch>(control_.get(), IID_IDispatch);
        own_ = GetWindow(host_, GW_CHILD);
        ASSERT_NE(own_, nullptr);
    }
    void TearDown() override {
        bar_.reset();
        control_.reset();
        top_.reset();
        Com::TearDown();
    }

    Registration registration_;
    win::Window top_;
    HWND host_ = nullptr;
    HWND own_ = nullptr;
    win::ComPtr<IUnknown> control_;
    win::ComPtr<IDispatch> bar_;
};

TEST_F(Hosted, ActivatedPaintedAndRedrawnAtEverySize) {
    EXPECT_EQ(getNumber(bar_.get(), L"hwnd"), static_cast<LONG>(reinterpret_cast<INT_PTR>(own_)));
    ASSERT_EQ(putNumber(bar_.get(), L"Scrolling", 1), S_OK);  // smooth: one solid bar
    ASSERT_EQ(putNumber(bar_.get(), L"Value", 100), S_OK);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const auto at = [this](int x, int y) { return GetPixel(win::WindowDc(own_).get(), x, y); };
    // Grown and shrunk by its host, the window always shows the bar at its new size.
    const struct { int width, height; } sizes[] = {{200, 66}, {300, 80}, {120, 40}, {120, 30}};
    for (const auto& s : sizes) {
        MoveWindow(host_, 0, 0, s.width, s.height, TRUE);  // the host resized, then painted
        UpdateWindow(own_);
        EXPECT_EQ(at(s.width - 1, s.height / 2), kOutline) << s.width << "x" << s.height;
        EXPECT_EQ(at(s.width / 2, s.height / 2), highlight) << s.width;
        EXPECT_EQ(at(s.width / 2, s.height - 1), kOutline) << s.width;
    }
}

// A screen reader finds a progress bar with its percentage, and hears every move of the bar.
TEST_F(Hosted, ScreenReadersFindAProgressBarAndHearItMove) {
    win::ComPtr<IAccessible> probe, accessible;  // none where the runtime serves no window
    if (SUCCEEDED(AccessibleObjectFromWindow(top_.get(), static_cast<DWORD>(OBJID_CLIENT),
                                             IID_IAccessible,
                                             reinterpret_cast<void**>(probe.put())))) {
        ASSERT_EQ(
            AccessibleObjectFromWindow(own_, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                       reinterpret_cast<void**>(accessible.put())),
            S_OK);
    }
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, onValueChange,
                        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    const VARIANT self = number(CHILDID_SELF);
    const struct {
        LONG value;
        bool announced;
        const wchar_t* read;
    } writes[] = {{42, true, L"42 %"},
                  {42, false, L"42 %"},
                  {150, true, L"100 %"},
                  {21474837, false, L"100 %"}};  // the last one fails
    for (const auto& w : writes) {
        valueChanges.clear();
        putNumber(bar_.get(), L"Value", w.value);
        pump();
        EXPECT_EQ(valueChanges, w.announced ? std::vector<HWND>{own_} : std::vector<HWND>{})
            << w.value;
        if (!accessible) continue;
        BSTR read = nullptr;
        EXPECT_EQ(accessible->get_accValue(self, &read), S_OK);
        EXPECT_STREQ(read, w.read) << w.value;
        SysFreeString(read);
    }
    UnhookWinEvent(hook);
    if (!accessible) GTEST_SKIP() << "the system's accessibility runtime serves no window here";
    Var role, state;
    ASSERT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_PROGRESSBAR);
    ASSERT_EQ(accessible->get_accState(self, &state), S_OK);
    EXPECT_TRUE(state.lVal & STATE_SYSTEM_READONLY);
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(accessible->accLocation(&left, &top, &width, &height, self), S_OK);
    EXPECT_EQ((std::pair(width, height)), (std::pair(200L, 66L)));

    // A screen reader may hold the object longer than the control lives.
    bar_.reset();
    control_.reset();
    DestroyWindow(host_);
    BSTR value = nullptr;
    EXPECT_EQ(accessible->get_accValue(self, &value), CO_E_OBJNOTCONNECTED);
}

// A container draws the control where it has no window of its own (design views, printing,
// thumbnails): the bar at the rectangle given, and nothing around it.
TEST_F(Control, ViewDrawsTheBarAtTheContainersRectangle) {
    ASSERT_EQ(put(L"Scrolling", 1), S_OK);
    ASSERT_EQ(put(L"Value", 50), S_OK);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), around = RGB(1, 2, 3);
    for (const RECTL& b : {RECTL{10, 5, 210, 71}, RECTL{0, 0, 100, 30}, RECTL{30, 40, 70, 60}}) {
        Canvas canvas(240, 90, 0x010203);
        ASSERT_EQ(drawView(bar_.get(), canvas.hdc(), b), S_OK);
        const int y = (b.top + b.bottom) / 2;
        EXPECT_EQ(canvas.pixel(b.left, y), kOutline) << b.left;
        EXPECT_EQ(canvas.pixel(b.right - 1, y), kOutline) << b.right;
        EXPECT_EQ(canvas.pixel(b.left + 5, y), highlight) << b.left;
        EXPECT_EQ(canvas.pixel(b.right - 5, y), RGB(255, 255, 255)) << b.right;
        EXPECT_EQ(canvas.pixel(b.right, y), around) << b.right;
        EXPECT_EQ(canvas.pixel(b.left ? b.left - 1 : 239, y), around) << b.left;
    }
    Canvas canvas(10, 10);
    const RECTL none{0, 0, 10, 10};
    EXPECT_EQ(drawView(bar_.get(), nullptr, none), E_INVALIDARG);
    EXPECT_EQ(bar<IViewObject>(IID_IViewObject)
                  ->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.hdc(), &none, nullptr,
                         nullptr, 0),
              DV_E_DVASPECT);
}

// The 32- and the 64-bit module paint the same pixels: every style in many configurations,
// and gradients full of rounding ties.
TEST_F(Control, BothBitnessesPaintTheSamePixels) {
    if (!peerRuns()) GTEST_SKIP() << "no build of the other bitness that this machine runs";
    const Outcome theirs = run(L"\"" + besidePeer(L"gaugekit_test_peer.exe") + L"\" draw");
    ASSERT_EQ(theirs.exitCode, 0u) << theirs.output;
    const std::string mine = drawnPictures(*module_);
    EXPECT_GT(std::count(mine.begin(), mine.end(), '\n'), 2000);
    EXPECT_EQ(mine, theirs.output);
}

TEST_F(Com, ScriptHostsDriveTheControlByProgId) {
    const Registration registration;
    ASSERT_TRUE(registration.registered());
    for (const wchar_t* script : {L"gaugekit_drive.js", L"gaugekit_drive.vbs"}) {
        const Outcome result = run(L"cscript.exe //nologo \"" + besideProgram(script) + L"\"");
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        EXPECT_EQ(result.output.find("FAIL"), std::string::npos) << result.output;
        // A script that stops at an error may still end with exit code 0: it must reach its end.
        EXPECT_NE(result.output.find("done"), std::string::npos) << result.output;
    }
}

}  // namespace
}  // namespace gaugekit::testing
