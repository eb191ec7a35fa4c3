#include "win32/subclass.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// What each procedure saw, in order: its id, then 'o' for the window's own procedure.
std::string seen;

LRESULT CALLBACK own(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER && message != WM_USER + 1)
        return DefWindowProcW(window, message, wParam, lParam);
    seen += 'o';
    return 100;
}

// id 2 passes the message on twice, and removes itself on WM_USER + 1 but still passes it on;
// id 3 sends the window a second message while it handles the first. Each adds one to the result.
LRESULT CALLBACK link(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                      DWORD_PTR) {
    if (message == WM_NCDESTROY) seen.append({'d', static_cast<char>('0' + id)});
    if (message != WM_USER && message != WM_USER + 1)
        return win::defSubclassProc(window, message, wParam, lParam);
    if (message == WM_USER + 1 && id == 2) win::removeSubclass(window, link, 2);
    seen += static_cast<char>('0' + id);
    if (id == 3 && wParam == 0) SendMessageW(window, WM_USER, 1, 0);
    const LRESULT result = win::defSubclassProc(window, message, wParam, lParam) + 1;
    return id == 2 ? win::defSubclassProc(window, message, wParam, lParam) + 1 : result;
}

struct Window {
    Window() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = own;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"subclass_test";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(L"subclass_test", L"", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                             nullptr);
    }
    ~Window() { DestroyWindow(hwnd); }
    HWND hwnd;
};

TEST(Subclass, TheNewestSeesEachMessageFirstAndEachPassesItOnToTheWindowsOwn) {
    Window w;
    const auto ownProcedure = GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC);
    for (UINT_PTR id : {1, 2, 3}) ASSERT_TRUE(win::setSubclass(w.hwnd, link, id, 0));
    EXPECT_TRUE(win::setSubclass(w.hwnd, link, 3, 7)) << "the same one again: new data only";
    seen.clear();
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 0, 0), 103);
    // 3 sends a second message, which goes the whole way, before it passes the first on; 2
    // passes each on twice.
    EXPECT_EQ(seen, "3321o1o21o1o");
    seen.clear();
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER + 1, 1, 0), 103) << "2 leaves while it handles it";
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 1, 0), 102);
    EXPECT_EQ(seen, "321o1o31o");

    // Whoever came in front of ours since keeps its place when ours leave.
    const auto before = SetWindowLongPtrW(w.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    EXPECT_TRUE(win::removeSubclass(w.hwnd, link, 1));
    EXPECT_TRUE(win::removeSubclass(w.hwnd, link, 3));
    EXPECT_FALSE(win::removeSubclass(w.hwnd, link, 3));
    EXPECT_EQ(GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(own));
    SetWindowLongPtrW(w.hwnd, GWLP_WNDPROC, before);
    seen.clear();
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 1, 0), 100);
    EXPECT_EQ(seen, "o");

    // Without anyone in front, the last one to leave gives the window its own procedure back.
    ASSERT_TRUE(win::setSubclass(w.hwnd, link, 1, 0));
    EXPECT_TRUE(win::removeSubclass(w.hwnd, link, 1));
    EXPECT_EQ(GetWindowLongPtrW(w.hwnd, GWLP_WNDPROC), ownProcedure);
}

TEST(Subclass, TheyLeaveWithTheWindowAndRefuseWhatTheyCannotServe) {
    HWND gone;
    {
        Window w;
        gone = w.hwnd;
        for (UINT_PTR id : {1, 2}) ASSERT_TRUE(win::setSubclass(w.hwnd, link, id, 0));
        seen.clear();
    }
    EXPECT_EQ(seen, "d2d1");
    EXPECT_FALSE(win::removeSubclass(gone, link, 1));
    EXPECT_FALSE(win::setSubclass(gone, link, 1, 0));
    EXPECT_FALSE(win::setSubclass(nullptr, link, 1, 0));
    Window w;
    EXPECT_FALSE(win::setSubclass(w.hwnd, nullptr, 1, 0));
    bool fromAnotherThread = true;
    std::thread([&] { fromAnotherThread = win::setSubclass(w.hwnd, link, 1, 0); }).join();
    EXPECT_FALSE(fromAnotherThread) << "its messages would not pass through this thread's table";
}

}  // namespace
