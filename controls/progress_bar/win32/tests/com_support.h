// What the tests of gaugekit.dll share: the module beside the test and its other-bitness twin,
// child processes with their output, variants, the control created through the module's own
// class factory and called by name, and a pixel canvas for the drawing members.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace gaugekit::testing {

constexpr bool k64Bit = sizeof(void*) == 8;

inline std::wstring besideTest(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    const std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

inline std::wstring dllPath() {
    return besideTest(L"gaugekit.dll");
}

// A file of the other bitness's build, which lies beside this one (build\win32 and build\win64);
// empty when that build is not there.
inline std::wstring besidePeer(const wchar_t* name) {
    std::wstring path = besideTest(name);
    const std::wstring mine = k64Bit ? L"\\win64\\bin\\" : L"\\win32\\bin\\";
    const auto at = path.rfind(mine);
    if (at == std::wstring::npos) return {};
    path.replace(at, mine.size(), k64Bit ? L"\\win32\\bin\\" : L"\\win64\\bin\\");
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

inline std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// A program of the system's own of either bitness (cscript.exe, regsvr32.exe).
inline std::wstring systemProgram(bool bits64, const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (bits64 == k64Bit) {
        GetSystemDirectoryW(folder, MAX_PATH);
    } else if (k64Bit) {
        GetSystemWow64DirectoryW(folder, MAX_PATH);
    } else {
        // A 32-bit process reaches the 64-bit system folder by this alias only.
        GetWindowsDirectoryW(folder, MAX_PATH);
        wcscat_s(folder, L"\\Sysnative");
    }
    return std::wstring(folder) + L"\\" + name;
}

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line to its end, with its standard output and error collected.
inline Outcome run(std::wstring command) {
    Outcome result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return result;
    const win::KernelHandle readEnd(readRaw);
    win::KernelHandle writeEnd(writeRaw);
    SetHandleInformation(readRaw, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeRaw;
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return result;
    const win::KernelHandle processHandle(process.hProcess);
    const win::KernelHandle thread(process.hThread);
    writeEnd.reset();  // the child holds the only write end now: reading ends when it does
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        result.output.append(buffer, got);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}

inline DWORD regsvr32(const std::wstring& options, const std::wstring& dll = dllPath()) {
    return run(L"regsvr32.exe /s " + options + L" \"" + dll + L"\"").exitCode;
}

// Registered machine-wide for one test, and unregistered again however the test ends.
class Registration {
  public:
    Registration() : registered_(regsvr32(L"") == 0) {}
    ~Registration() {
        if (registered_) regsvr32(L"/u");
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    bool registered() const { return registered_; }

  private:
    bool registered_;
};

// A VARIANT that clears itself.
struct Var : VARIANT {
    Var() { VariantInit(this); }
    explicit Var(LONG value) : Var() {
        vt = VT_I4;
        lVal = value;
    }
    explicit Var(int value) : Var(static_cast<LONG>(value)) {}
    explicit Var(const wchar_t* text) : Var() {
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
    }
    // Takes over one reference of the object.
    Var(VARTYPE type, IUnknown* object) : Var() {
        vt = type;
        punkVal = object;
    }
    ~Var() { VariantClear(this); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

// A reference to the caller's variable, which the variant does not own.
inline VARIANT byRef(LONG* target) {
    VARIANT v;
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = target;
    return v;
}

class Com : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// An export as a plain address, to be cast to its real type.
inline void* procedure(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

template <typename I>
win::ComPtr<I> as(IUnknown* object) {
    win::ComPtr<I> result;
    EXPECT_EQ(object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(result.put())), S_OK);
    return result;
}

// One instance created through the module's own class factory, called by name through IDispatch
// as a script host calls it.
class Control : public Com {
  protected:
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

    void SetUp() override {
        Com::SetUp();
        module_ = LoadLibraryW(dllPath().c_str());
        ASSERT_NE(module_, nullptr);
        getClassObject_ = reinterpret_cast<GetClassObject>(procedure(module_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<CanUnloadNow>(procedure(module_, "DllCanUnloadNow"));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_EQ(getClassObject_(CLSID_XP_ProgressBar, IID_IClassFactory,
                                  reinterpret_cast<void**>(factory_.put())),
                  S_OK);
        bar_ = create();
        ASSERT_TRUE(bar_);
    }
    void TearDown() override {
        bar_.reset();
        factory_.reset();
        if (module_) FreeLibrary(module_);
        Com::TearDown();
    }

    win::ComPtr<IDispatch> create() {
        win::ComPtr<IDispatch> other;
        EXPECT_EQ(
            factory_->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(other.put())),
            S_OK);
        return other;
    }
    DISPID id(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID result = DISPID_UNKNOWN;
        EXPECT_EQ(bar_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &result), S_OK)
            << name;
        return result;
    }
    // Calls a member by name with the arguments in reading order; a failure the member reports
    // comes back as its own status.
    HRESULT call(const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                 VARIANT* result = nullptr, IDispatch* on = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        EXCEPINFO exception{};
        UINT argError = 0;
        HRESULT hr = (on ? on : bar_.get())
                         ->Invoke(id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                  &exception, &argError);
        if (hr == DISP_E_EXCEPTION) {
            hr = exception.scode;
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrHelpFile);
        }
        return hr;
    }
    LONG get(const wchar_t* name, IDispatch* on = nullptr) {
        Var result;
        EXPECT_EQ(call(name, DISPATCH_PROPERTYGET, {}, &result, on), S_OK) << name;
        Var converted;
        EXPECT_EQ(VariantChangeType(&converted, &result, 0, VT_I4), S_OK) << name;
        return converted.lVal;
    }
    HRESULT put(const wchar_t* name, LONG value, IDispatch* on = nullptr) {
        VARIANT arg;
        arg.vt = VT_I4;
        arg.lVal = value;
        return call(name, DISPATCH_PROPERTYPUT, {arg}, nullptr, on);
    }
    // Sets an object property (Font, Image) by reference; the object stays the caller's.
    HRESULT putObject(const wchar_t* name, IDispatch* object, IDispatch* on = nullptr) {
        VARIANT arg;
        arg.vt = VT_DISPATCH;
        arg.pdispVal = object;
        return call(name, DISPATCH_PROPERTYPUTREF, {arg}, nullptr, on);
    }
    template <typename I>
    win::ComPtr<I> bar() {
        return as<I>(bar_.get());
    }

    HMODULE module_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
    win::ComPtr<IClassFactory> factory_;
    win::ComPtr<IDispatch> bar_;
};

// A 32-bit top-down DIB in a memory context, all white, for the drawing members.
class Canvas {
  public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255))
        : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS,
                                       reinterpret_cast<void**>(&bits_), nullptr, 0));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
        const DWORD dib = GetRValue(fill) << 16 | GetGValue(fill) << 8 | GetBValue(fill);
        for (int i = 0; i < width * height; ++i) bits_[i] = dib;
    }
    ~Canvas() { SelectObject(dc_.get(), previous_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC hdc() const { return dc_.get(); }
    LONG dc() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(dc_.get())); }
    // As a COLORREF: 0x00BBGGRR.
    COLORREF pixel(int x, int y) const {
        GdiFlush();
        const DWORD p = bits_[y * width_ + x] & 0xFFFFFF;
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::vector<DWORD> pixels() const {
        GdiFlush();
        return std::vector<DWORD>(bits_, bits_ + width_ * height_);
    }

  private:
    int width_;
    int height_;
    win::MemoryDc dc_;
    win::Bitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

}  // namespace gaugekit::testing
