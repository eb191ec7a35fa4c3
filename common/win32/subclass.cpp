#include "win32/subclass.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace win {

namespace {

struct Link {
    SUBCLASSPROC procedure;
    UINT_PTR id;
    DWORD_PTR data;
    bool removed;
};

struct Chain {
    WNDPROC original = nullptr;
    std::vector<Link> links;  // the newest last
    int depth = 0;            // messages to the window being handled, one inside another
    bool destroyed = false;
};

// Where a message being handled has got to in its window's chain. Frames live on the stack of
// the dispatching call, so that handling a message allocates nothing.
struct Frame {
    HWND window;
    Chain* chain;
    std::size_t next;  // links below this index have yet to see the message
    Frame* outer;
};

thread_local std::unordered_map<HWND, std::unique_ptr<Chain>> chains;
thread_local Frame* innermost = nullptr;

LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT passOn(Frame& frame, UINT message, WPARAM wParam, LPARAM lParam) {
    while (frame.next > 0) {
        // A copy: the procedure may add links, and the vector move.
        const Link link = frame.chain->links[--frame.next];
        if (!link.removed)
            return link.procedure(frame.window, message, wParam, lParam, link.id, link.data);
    }
    return CallWindowProcW(frame.chain->original, frame.window, message, wParam, lParam);
}

// Once no message to the window is being handled: removed links go, and with the last of them
// (or the window) the chain.
void tidy(HWND window, Chain& chain) {
    std::erase_if(chain.links, [](const Link& link) { return link.removed; });
    if (!chain.destroyed) {
        if (!chain.links.empty()) return;
        // Left in place when another procedure was put in front of ours since: taking ours out
        // would take that one out too.
        if (GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&dispatch))
            return;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chain.original));
    }
    chains.erase(window);
}

LRESULT CALLBACK dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto found = chains.find(window);
    if (found == chains.end()) return DefWindowProcW(window, message, wParam, lParam);
    Chain& chain = *found->second;
    ++chain.depth;
    Frame frame{window, &chain, chain.links.size(), innermost};
    innermost = &frame;
    const LRESULT result = passOn(frame, message, wParam, lParam);
    innermost = frame.outer;
    if (message == WM_NCDESTROY) chain.destroyed = true;
    if (--chain.depth == 0) tidy(window, chain);
    return result;
}

}  // namespace

bool setSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    if (!procedure || !IsWindow(window) ||
        GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return false;
    try {
        auto& chain = chains[window];
        if (!chain) {
            auto made = std::make_unique<Chain>();
            made->original = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&dispatch)));
            if (!made->original) {
                chains.erase(window);
                return false;
            }
            chain = std::move(made);
        }
        for (auto& link : chain->links) {
            if (!link.removed && link.procedure == procedure && link.id == id) {
                link.data = data;
                return true;
            }
        }
        chain->links.push_back({procedure, id, data, false});
        return true;
    } catch (...) {  // out of memory: the window keeps what it had
        return false;
    }
}

bool removeSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    const auto found = chains.find(window);
    if (found == chains.end()) return false;
    Chain& chain = *found->second;
    const auto link = std::find_if(chain.links.begin(), chain.links.end(), [&](const Link& l) {
        return !l.removed && l.procedure == procedure && l.id == id;
    });
    if (link == chain.links.end()) return false;
    link->removed = true;
    if (chain.depth == 0) tidy(window, chain);
    return true;
}

LRESULT defSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (Frame* frame = innermost; frame; frame = frame->outer) {
        if (frame->window != window) continue;
        // A procedure that passes the message on twice reaches the same next one twice.
        const std::size_t at = frame->next;
        const LRESULT result = passOn(*frame, message, wParam, lParam);
        frame->next = at;
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace win
