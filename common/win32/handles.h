// Move-only owners of Windows handles: each closes its handle exactly once, copying is deleted.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <utility>

namespace win {

template <typename Traits>
class Unique {
  public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle h) : h_(h) {}
    ~Unique() { reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : h_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    Handle release() { return std::exchange(h_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }

  private:
    Handle h_ = Traits::invalid();
};

struct KernelTraits {  // processes, threads, events: null when absent
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};
struct FileTraits {  // CreateFileW answers INVALID_HANDLE_VALUE, not null
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
template <typename T>
struct GdiTraits {
    using Handle = T;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DeleteObject(h); }
};
struct MemoryDcTraits {  // from CreateCompatibleDC
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DeleteDC(h); }
};
struct WindowTraits {
    using Handle = HWND;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DestroyWindow(h); }
};
struct FindTraits {  // FindFirstFileExW answers INVALID_HANDLE_VALUE and is closed by FindClose
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};
template <typename T>
struct CoTaskMemTraits {  // memory the shell hands out, such as item identifier lists
    using Handle = T;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CoTaskMemFree(const_cast<void*>(static_cast<const void*>(h))); }
};
struct KeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};

using KernelHandle = Unique<KernelTraits>;
using FileHandle = Unique<FileTraits>;
using Font = Unique<GdiTraits<HFONT>>;
using Pen = Unique<GdiTraits<HPEN>>;
using Brush = Unique<GdiTraits<HBRUSH>>;
using Bitmap = Unique<GdiTraits<HBITMAP>>;
using MemoryDc = Unique<MemoryDcTraits>;
using Window = Unique<WindowTraits>;
using Key = Unique<KeyTraits>;
using FindHandle = Unique<FindTraits>;
template <typename T>
using CoTaskMem = Unique<CoTaskMemTraits<T>>;

// A window's device context from GetDC, given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept
        : hwnd_(other.hwnd_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// A COM interface pointer that holds one reference.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For functions that hand out a new reference; whatever was held is released first.
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

  private:
    T* p_ = nullptr;
};

}  // namespace win
