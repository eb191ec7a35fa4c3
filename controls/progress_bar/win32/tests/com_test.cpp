// gaugekit.dll under the real COM runtime: registered by regsvr32, created by CLSID and ProgID,
// and every member called by name through IDispatch, as a script host calls it.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace {

// A font unlike the control's standard one: Arial, 12 points, bold.
FONTDESC boldArial() {
    return {sizeof(FONTDESC),
            const_cast<LPOLESTR>(L"Arial"),
            {{120000, 0}},
            FW_BOLD,
            ANSI_CHARSET,
            FALSE,
            FALSE,
            FALSE};
}

std::wstring dllPath() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"gaugekit.dll";
}

std::wstring besideTest(const wchar_t* name) {
    return dllPath().substr(0, dllPath().find_last_of(L'\\') + 1) + name;
}

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line to its end, with its standard output and error collected.
Outcome run(std::wstring command) {
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

DWORD runRegsvr32(const std::wstring& options) {
    return run(L"regsvr32.exe /s " + options + L" \"" + dllPath() + L"\"").exitCode;
}

// Registered in the test prefix for one test, and unregistered again however the test ends.
class Registration {
  public:
    Registration() : registered_(runRegsvr32(L"") == 0) {}
    ~Registration() {
        if (registered_) runRegsvr32(L"/u");
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
    ~Var() { VariantClear(this); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};
Var* byRef(Var& out, LONG* target) {
    out.vt = VT_I4 | VT_BYREF;
    out.plVal = target;
    return &out;
}

class Com : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// ---- registration ----

TEST_F(Com, ScriptHostsDriveTheControlByProgId) {
    const Registration registration;
    ASSERT_TRUE(registration.registered());
    for (const wchar_t* script : {L"gaugekit_drive.js", L"gaugekit_drive.vbs"}) {
        const Outcome result = run(L"cscript.exe //nologo \"" + besideTest(script) + L"\"");
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        EXPECT_EQ(result.output.find("FAIL"), std::string::npos) << result.output;
        // A script that stops at an error may still end with exit code 0: it must reach its end.
        EXPECT_NE(result.output.find("done"), std::string::npos) << result.output;
    }
}

// ---- hosted by a real container: Wine's ATL host window ----

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

void* export_(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

COLORREF windowPixel(HWND window, int x, int y) {
    const win::WindowDc dc(window);
    return GetPixel(dc.get(), x, y);
}

TEST_F(Com, AtlHostActivatesPaintsResizesAndSaves) {
    const Registration registration;
    ASSERT_TRUE(registration.registered());
    const HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_NE(atl, nullptr);
    const auto init = reinterpret_cast<AtlAxWinInitFn>(export_(atl, "AtlAxWinInit"));
    const auto getControl = reinterpret_cast<AtlAxGetControlFn>(export_(atl, "AtlAxGetControl"));
    ASSERT_TRUE(init && getControl);
    ASSERT_TRUE(init());
    {
        const win::Window top(CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                                              400, 200, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(top);
        const HWND host =
            CreateWindowExW(0, L"AtlAxWin", L"Project1.XP_ProgressBar", WS_CHILD | WS_VISIBLE, 0, 0,
                            200, 66, top.get(), nullptr, nullptr, nullptr);
        ASSERT_NE(host, nullptr);
        win::ComPtr<IUnknown> control;
        ASSERT_EQ(getControl(host, control.put()), S_OK);
        win::ComPtr<_XP_ProgressBar> bar;
        ASSERT_EQ(control->QueryInterface(IID__XP_ProgressBar, reinterpret_cast<void**>(bar.put())),
                  S_OK);

        // Activated in place: a window of its own, which hwnd names.
        const HWND own = GetWindow(host, GW_CHILD);
        ASSERT_NE(own, nullptr);
        LONG hwnd = 0;
        ASSERT_EQ(bar->get_hwnd(&hwnd), S_OK);
        EXPECT_EQ(hwnd, static_cast<LONG>(reinterpret_cast<INT_PTR>(own)));
        RECT client{};
        GetClientRect(own, &client);
        EXPECT_EQ(client.right, 200);
        EXPECT_EQ(client.bottom, 66);

        // Painted: a smooth bar half way.
        ASSERT_EQ(bar->put_Scrolling(ccScrollingSmooth), S_OK);
        ASSERT_EQ(bar->put_Value(50), S_OK);
        InvalidateRect(own, nullptr, FALSE);
        UpdateWindow(own);
        EXPECT_EQ(windowPixel(own, 20, 33), GetSysColor(COLOR_HIGHLIGHT));
        EXPECT_EQ(windowPixel(own, 180, 33), RGB(255, 255, 255));

        // Resized by its host: the window follows and the bar is drawn at the new size.
        MoveWindow(host, 0, 0, 300, 80, TRUE);
        GetClientRect(own, &client);
        EXPECT_EQ(client.right, 300);
        EXPECT_EQ(client.bottom, 80);
        ASSERT_EQ(bar->put_Value(100), S_OK);
        EXPECT_EQ(windowPixel(own, 280, 40), GetSysColor(COLOR_HIGHLIGHT));

        // Saved, and loaded into a second instance that reads back the same.
        win::ComPtr<IPersistStreamInit> persist;
        ASSERT_EQ(control->QueryInterface(IID_IPersistStreamInit,
                                          reinterpret_cast<void**>(persist.put())),
                  S_OK);
        win::ComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
        ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
        win::ComPtr<_XP_ProgressBar> second;
        ASSERT_EQ(CoCreateInstance(CLSID_XP_ProgressBar, nullptr, CLSCTX_INPROC_SERVER,
                                   IID__XP_ProgressBar, reinterpret_cast<void**>(second.put())),
                  S_OK);
        win::ComPtr<IPersistStreamInit> secondPersist;
        ASSERT_EQ(second->QueryInterface(IID_IPersistStreamInit,
                                         reinterpret_cast<void**>(secondPersist.put())),
                  S_OK);
        ASSERT_EQ(secondPersist->Load(stream.get()), S_OK);
        enum cScrolling scrolling = ccScrollingStandard;
        LONG value = 0;
        EXPECT_EQ(second->get_Scrolling(&scrolling), S_OK);
        EXPECT_EQ(scrolling, ccScrollingSmooth);
        EXPECT_EQ(second->get_Value(&value), S_OK);
        EXPECT_EQ(value, 100);

        // Drawn into a context of the container's through its view.
        win::ComPtr<IViewObject2> view;
        ASSERT_EQ(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(view.put())),
                  S_OK);
        const HDC screen = GetDC(nullptr);
        win::MemoryDc memory(CreateCompatibleDC(screen));
        win::Bitmap bitmap(CreateCompatibleBitmap(screen, 300, 80));
        ReleaseDC(nullptr, screen);
        const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
        const RECTL bounds{0, 0, 300, 80};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory.get(), &bounds,
                             nullptr, nullptr, 0),
                  S_OK);
        EXPECT_EQ(GetPixel(memory.get(), 150, 40), GetSysColor(COLOR_HIGHLIGHT));
        SelectObject(memory.get(), previous);
    }
}

// ---- the library's resources and type information ----

TEST_F(Com, ResourcesHoldTheInterfaceIdsBitmapAndSelfRegisterMark) {
    const HMODULE module = LoadLibraryExW(dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const struct {
        const wchar_t* name;
        const IID* iid;
    } ids[] = {{L"_IID_XP_PROGRESSBAR", &IID__XP_ProgressBar},
               {L"_SRCIID_XP_PROGRESSBAR", &DIID___XP_ProgressBar}};
    for (const auto& id : ids) {
        const HRSRC found = FindResourceW(module, id.name, MAKEINTRESOURCEW(10));  // RT_RCDATA
        ASSERT_NE(found, nullptr) << id.name;
        ASSERT_EQ(SizeofResource(module, found), 20u);
        const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        DWORD length = 0;
        memcpy(&length, bytes, 4);
        EXPECT_EQ(length, 16u);
        EXPECT_EQ(memcmp(bytes + 4, id.iid, 16), 0) << id.name;
    }
    const HRSRC typelib = FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB");
    EXPECT_NE(typelib, nullptr);
    const HRSRC bitmap = FindResourceW(module, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2));
    ASSERT_NE(bitmap, nullptr);
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, bitmap)));
    EXPECT_EQ(info->biWidth, 16);
    EXPECT_EQ(info->biHeight, 15);
    EXPECT_EQ(info->biBitCount, 24);
    FreeLibrary(module);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dllPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> version(size);
    ASSERT_TRUE(GetFileVersionInfoW(dllPath().c_str(), 0, size, version.data()));
    void* mark = nullptr;
    UINT markLength = 0;
    EXPECT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister",
                               &mark, &markLength));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(
        VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
}

TEST_F(Com, TypeLibraryDescribesTheControlInMemberOrder) {
    win::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, library.put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_TRUE(attr->wLibFlags & LIBFLAG_FCONTROL);
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"Project1");
    SysFreeString(name);

    win::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_XP_ProgressBar, coclass.put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCONTROL);
    coclass->ReleaseTypeAttr(type);

    // The function table as early-bound containers see it.
    win::ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__XP_ProgressBar, info.put()), S_OK);
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
    // Through the dispatch view the seven IUnknown and IDispatch members come first.
    const UINT inherited = 7;
    const UINT functions = type->cFuncs;
    info->ReleaseTypeAttr(type);
    const std::vector<std::wstring> expected = {L"DrawProgressBar",
                                                L"DrawLine",
                                                L"DrawGradient",
                                                L"pDraw",
                                                L"BrushStyle",
                                                L"Color",
                                                L"Color",
                                                L"Font",
                                                L"Font",
                                                L"Font",
                                                L"hwnd",
                                                L"hwnd",
                                                L"hdc",
                                                L"hdc",
                                                L"Image",
                                                L"Image",
                                                L"Min",
                                                L"Min",
                                                L"Max",
                                                L"Max",
                                                L"Orientation",
                                                L"Orientation",
                                                L"Scrolling",
                                                L"Scrolling",
                                                L"ShowText",
                                                L"ShowText",
                                                L"Value",
                                                L"Value"};
    ASSERT_EQ(functions, inherited + expected.size());
    std::vector<std::wstring> helped;
    for (UINT i = inherited; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
        BSTR member = nullptr;
        BSTR help = nullptr;
        info->GetDocumentation(function->memid, &member, &help, nullptr, nullptr);
        EXPECT_EQ(std::wstring(member), expected[i - inherited]) << i;
        if (help && *help) helped.push_back(std::wstring(member) + L": " + help);
        SysFreeString(member);
        SysFreeString(help);
        info->ReleaseFuncDesc(function);
    }
    ASSERT_FALSE(helped.empty());
    for (const auto& h : helped) EXPECT_EQ(h, L"Color: Returns/sets the color of the ProgressBar");

    // DrawGradient's parameters by name, bH optional.
    MEMBERID gradient = 0;
    LPOLESTR gradientName = const_cast<LPOLESTR>(L"DrawGradient");
    ASSERT_EQ(info->GetIDsOfNames(&gradientName, 1, &gradient), S_OK);
    BSTR names[9] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(gradient, names, 9, &count), S_OK);
    const wchar_t* parameters[] = {L"DrawGradient", L"lEndColor", L"lStartcolor", L"X", L"Y",
                                   L"X2",           L"Y2",        L"hdc",         L"bH"};
    ASSERT_EQ(count, 9u);
    for (UINT i = 0; i < count; ++i) {
        EXPECT_STREQ(names[i], parameters[i]);
        SysFreeString(names[i]);
    }

    // The three enumerations with their values.
    const struct {
        const wchar_t* type;
        std::vector<std::pair<std::wstring, LONG>> members;
    } enums[] = {
        {L"BrushStyle",
         {{L"HS_HORIZONTAL", 0},
          {L"HS_VERTICAL", 1},
          {L"HS_FDIAGONAL", 2},
          {L"HS_BDIAGONAL", 3},
          {L"HS_CROSS", 4},
          {L"HS_DIAGCROSS", 5},
          {L"HS_SOLID", 6}}},
        {L"cScrolling",
         {{L"ccScrollingStandard", 0},
          {L"ccScrollingSmooth", 1},
          {L"ccScrollingSearch", 2},
          {L"ccScrollingOfficeXP", 3},
          {L"ccScrollingPastel", 4},
          {L"ccScrollingQuill", 5},
          {L"ccScrollingMediaPlayer", 6},
          {L"ccScrollingCustomBrush", 7},
          {L"ccScrollingPicture", 8},
          {L"ccScrollingMetallic", 9}}},
        {L"cOrientation", {{L"ccOrientationHorizontal", 0}, {L"ccOrientationVertical", 1}}},
    };
    for (const auto& e : enums) {
        win::ComPtr<ITypeInfo> found;
        for (UINT i = 0; i < library->GetTypeInfoCount() && !found; ++i) {
            BSTR typeName = nullptr;
            library->GetDocumentation(static_cast<INT>(i), &typeName, nullptr, nullptr, nullptr);
            if (typeName && std::wstring(typeName) == e.type) library->GetTypeInfo(i, found.put());
            SysFreeString(typeName);
        }
        ASSERT_TRUE(found) << e.type;
        win::ComPtr<ITypeInfo> target;
        ASSERT_EQ(found->GetTypeAttr(&type), S_OK);
        if (type->typekind == TKIND_ALIAS) {
            HREFTYPE ref = type->tdescAlias.hreftype;
            found->ReleaseTypeAttr(type);
            ASSERT_EQ(found->GetRefTypeInfo(ref, target.put()), S_OK);
        } else {
            found->ReleaseTypeAttr(type);
            target = std::move(found);
        }
        ASSERT_EQ(target->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, TKIND_ENUM) << e.type;
        ASSERT_EQ(type->cVars, e.members.size()) << e.type;
        const UINT vars = type->cVars;
        target->ReleaseTypeAttr(type);
        for (UINT i = 0; i < vars; ++i) {
            VARDESC* var = nullptr;
            ASSERT_EQ(target->GetVarDesc(i, &var), S_OK);
            BSTR member = nullptr;
            target->GetDocumentation(var->memid, &member, nullptr, nullptr, nullptr);
            EXPECT_EQ(std::wstring(member), e.members[i].first);
            EXPECT_EQ(var->lpvarValue->lVal, e.members[i].second) << member;
            SysFreeString(member);
            target->ReleaseVarDesc(var);
        }
    }
}

// ---- the control through IDispatch ----

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// An export as a plain address, to be cast to its real type.
void* procedure(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

class Control : public Com {
  protected:
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
        ASSERT_EQ(
            factory_->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(bar_.put())),
            S_OK);
    }
    void TearDown() override {
        bar_.reset();
        factory_.reset();
        if (module_) FreeLibrary(module_);
        Com::TearDown();
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
    HRESULT call(const wchar_t* name, WORD flags, std::vector<VARIANT*> args, VARIANT* result) {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        EXCEPINFO exception{};
        UINT argError = 0;
        HRESULT hr = bar_->Invoke(id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                  &exception, &argError);
        if (hr == DISP_E_EXCEPTION) {
            hr = exception.scode;
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrHelpFile);
        }
        return hr;
    }
    LONG get(const wchar_t* name) {
        Var result;
        EXPECT_EQ(call(name, DISPATCH_PROPERTYGET, {}, &result), S_OK) << name;
        Var converted;
        EXPECT_EQ(VariantChangeType(&converted, &result, 0, VT_I4), S_OK) << name;
        return converted.lVal;
    }
    HRESULT put(const wchar_t* name, LONG value) {
        Var arg(value);
        return call(name, DISPATCH_PROPERTYPUT, {&arg}, nullptr);
    }

    HMODULE module_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
    win::ComPtr<IClassFactory> factory_;
    win::ComPtr<IDispatch> bar_;
};

// A 24-bit bitmap in a memory context, all white, for the drawing members.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
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
        for (int i = 0; i < width * height; ++i) bits_[i] = 0xFFFFFF;
    }
    ~Canvas() { SelectObject(dc_.get(), previous_); }
    LONG dc() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(dc_.get())); }
    // As a COLORREF: 0x00BBGGRR.
    COLORREF pixel(int x, int y) const {
        GdiFlush();
        const DWORD p = bits_[y * width_ + x] & 0xFFFFFF;
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

  private:
    int width_;
    win::MemoryDc dc_;
    win::Bitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

TEST_F(Control, DefaultsAfterCreation) {
    const struct {
        const wchar_t* name;
        LONG value;
    } defaults[] = {
        {L"Max", 100},     {L"Min", 0},
        {L"Value", 0},     {L"Orientation", 0},
        {L"Scrolling", 0}, {L"ShowText", 0},
        {L"hwnd", 0},      {L"Color", static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT))},
    };
    for (const auto& d : defaults) EXPECT_EQ(get(d.name), d.value) << d.name;
    // The off-screen surface exists from the start at the new instance's 200 x 66.
    EXPECT_NE(get(L"hdc"), 0);

    Var font;
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
    ASSERT_EQ(font.vt, VT_DISPATCH);
    win::ComPtr<IFont> standard;
    ASSERT_NE(font.pdispVal, nullptr);
    ASSERT_EQ(font.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(standard.put())),
              S_OK);
    HFONT handle = nullptr;
    EXPECT_EQ(standard->get_hFont(&handle), S_OK);
    EXPECT_NE(handle, nullptr);

    Var image;
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &image), S_OK);
    EXPECT_EQ(image.vt, VT_DISPATCH);
    EXPECT_EQ(image.pdispVal, nullptr);
}

TEST_F(Control, PropertiesReadBackWhatWasWritten) {
    const struct {
        const wchar_t* name;
        LONG value;
    } writes[] = {{L"Max", -5},      {L"Min", 1000},    {L"Orientation", 7}, {L"Scrolling", 42},
                  {L"ShowText", -1}, {L"hwnd", 0x1234}, {L"Color", 0x123456}};
    for (const auto& w : writes) {
        ASSERT_EQ(put(w.name, w.value), S_OK) << w.name;
        EXPECT_EQ(get(w.name), w.value) << w.name;
    }
}

TEST_F(Control, ValueMapsThroughTheRange) {
    const struct {
        LONG max, min, write;
        HRESULT status;
        LONG read;
    } cases[] = {
        {100, 0, 37, S_OK, 37},
        {200, 0, 50, S_OK, 50},
        {200, 0, 1, S_OK, 0},  // 0.5 rounds to the even 0
        {200, 0, 3, S_OK, 4},  // 1.5 rounds to 2 percent
        {100, 0, 150, S_OK, 100},
        {100, 10, 50, S_OK, 50},  // linear over 10..100, not the plainly wrong 6
        {100, 0, 21474836, S_OK, 100},
        {100, 0, 21474837, CTL_E_OVERFLOW, 20},
        {100, 100, 50, CTL_E_DIVISIONBYZERO, 20},
        {0, 0, 50, CTL_E_DIVISIONBYZERO, 20},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(put(L"Max", 100), S_OK);
        ASSERT_EQ(put(L"Min", 0), S_OK);
        ASSERT_EQ(put(L"Value", 20), S_OK);
        ASSERT_EQ(put(L"Max", c.max), S_OK);
        ASSERT_EQ(put(L"Min", c.min), S_OK);
        EXPECT_EQ(put(L"Value", c.write), c.status) << c.write << " in " << c.min << ".." << c.max;
        if (c.status != S_OK) {  // a failed write leaves the position alone
            ASSERT_EQ(put(L"Max", 100), S_OK);
            ASSERT_EQ(put(L"Min", 0), S_OK);
        }
        EXPECT_EQ(get(L"Value"), c.read) << c.write << " in " << c.min << ".." << c.max;
    }
}

TEST_F(Control, ColorIsHeldResolved) {
    const struct {
        LONG write;
        LONG read;
    } cases[] = {
        {static_cast<LONG>(0x8000000D), static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT))},
        {static_cast<LONG>(0x80000005), static_cast<LONG>(GetSysColor(COLOR_WINDOW))},
        {0x123456, 0x123456},
        {0, 0},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(put(L"Color", c.write), S_OK);
        EXPECT_EQ(get(L"Color"), c.read) << std::hex << c.write;
    }
}

TEST_F(Control, BrushStyleIsWriteOnly) {
    EXPECT_EQ(put(L"BrushStyle", 3), S_OK);
    Var result;
    EXPECT_NE(call(L"BrushStyle", DISPATCH_PROPERTYGET, {}, &result), S_OK);
}

TEST_F(Control, FontAndImageKeepTheCallersObjects) {
    FONTDESC desc = boldArial();
    win::ComPtr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.put())),
              S_OK);
    for (WORD flags : {WORD(DISPATCH_PROPERTYPUTREF), WORD(DISPATCH_PROPERTYPUT)}) {
        Var arg;
        arg.vt = VT_DISPATCH;
        arg.pdispVal = font.get();
        font->AddRef();
        ASSERT_EQ(call(L"Font", flags, {&arg}, nullptr), S_OK);
        Var read;
        ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &read), S_OK);
        EXPECT_EQ(read.pdispVal, font.get());
    }

    const win::Bitmap bitmap(CreateBitmap(8, 8, 1, 32, nullptr));
    PICTDESC picture{};
    picture.cbSizeofstruct = sizeof(PICTDESC);
    picture.picType = PICTYPE_BITMAP;
    picture.bmp.hbitmap = bitmap.get();
    win::ComPtr<IPictureDisp> image;
    ASSERT_EQ(OleCreatePictureIndirect(&picture, IID_IPictureDisp, FALSE,
                                       reinterpret_cast<void**>(image.put())),
              S_OK);
    Var arg;
    arg.vt = VT_DISPATCH;
    arg.pdispVal = image.get();
    image->AddRef();
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYPUTREF, {&arg}, nullptr), S_OK);
    Var read;
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &read), S_OK);
    EXPECT_EQ(read.pdispVal, image.get());
}

TEST_F(Control, DrawLineLeavesOutTheEndPoint) {
    Canvas canvas(20, 10);
    Var x(0), y(5), x2(10), y2(5), dc(canvas.dc()), color(0x0000FF);
    ASSERT_EQ(call(L"DrawLine", DISPATCH_METHOD, {&x, &y, &x2, &y2, &dc, &color}, nullptr), S_OK);
    for (int px = 0; px < 10; ++px) EXPECT_EQ(canvas.pixel(px, 5), RGB(255, 0, 0)) << px;
    EXPECT_EQ(canvas.pixel(10, 5), RGB(255, 255, 255));
    EXPECT_EQ(canvas.pixel(3, 4), RGB(255, 255, 255));
}

TEST_F(Control, DrawLineTakesNamedArguments) {
    Canvas canvas(20, 10);
    // Invoke's order is last argument first; naming them lets them come in reading order.
    Var x(2), y(1), x2(8), y2(1), dc(canvas.dc()), color(0x00FF00);
    VARIANT args[] = {x, y, x2, y2, dc, color};
    DISPID names[] = {0, 1, 2, 3, 4, 5};
    DISPPARAMS params{args, names, 6, 6};
    Var result;
    ASSERT_EQ(bar_->Invoke(id(L"DrawLine"), IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr,
                           nullptr),
              S_OK);
    EXPECT_EQ(canvas.pixel(1, 1), RGB(255, 255, 255));
    for (int px = 2; px < 8; ++px) EXPECT_EQ(canvas.pixel(px, 1), RGB(0, 255, 0)) << px;
    EXPECT_EQ(canvas.pixel(8, 1), RGB(255, 255, 255));
}

TEST_F(Control, DrawGradientResolvesTheCallersColoursInPlace) {
    const struct {
        LONG end, start;
        LONG x2, y2;
        bool passH;  // bH given as true; omitted otherwise
        LONG resolvedEnd;
        // Where the three lines at offsets 0, 1 and 2 are looked at.
        POINT at[3];
        COLORREF colors[3];
    } cases[] = {
        {0x000000,
         0xFFFFFF,
         10,
         2,
         false,
         0x000000,
         {{3, 0}, {3, 1}, {3, 2}},
         {RGB(0, 0, 0), RGB(128, 128, 128), RGB(255, 255, 255)}},
        {static_cast<LONG>(0x8000000D),
         static_cast<LONG>(0x8000000D),
         2,
         6,
         true,
         static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT)),
         {{0, 3}, {1, 3}, {2, 3}},
         {GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHT),
          GetSysColor(COLOR_HIGHLIGHT)}},
    };
    for (const auto& c : cases) {
        Canvas canvas(20, 10);
        LONG end = c.end;
        LONG start = c.start;
        VARIANT_BOOL h = VARIANT_TRUE;
        Var endArg, startArg, x(0), y(0), x2(c.x2), y2(c.y2), dc(canvas.dc()), hArg;
        hArg.vt = VT_BOOL | VT_BYREF;
        hArg.pboolVal = &h;
        std::vector<VARIANT*> args = {
            byRef(endArg, &end), byRef(startArg, &start), &x, &y, &x2, &y2, &dc};
        if (c.passH) args.push_back(&hArg);
        ASSERT_EQ(call(L"DrawGradient", DISPATCH_METHOD, args, nullptr), S_OK);
        endArg.vt = startArg.vt = hArg.vt = VT_EMPTY;  // the variables are ours, not theirs
        EXPECT_EQ(end, c.resolvedEnd);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(canvas.pixel(c.at[i].x, c.at[i].y), c.colors[i]) << i;
    }
}

TEST_F(Control, PDrawCopiesTheBarDrawnForTheWindow) {
    const win::Window window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 66, nullptr,
                                             nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    RECT client{};
    GetClientRect(window.get(), &client);
    ASSERT_EQ(client.right, 200);
    ASSERT_EQ(put(L"hwnd", static_cast<LONG>(reinterpret_cast<INT_PTR>(window.get()))), S_OK);
    ASSERT_EQ(put(L"Scrolling", 1), S_OK);  // smooth: one solid bar
    ASSERT_EQ(put(L"Value", 50), S_OK);
    Canvas canvas(200, 66);
    Var dc(canvas.dc());
    ASSERT_EQ(call(L"pDraw", DISPATCH_METHOD, {&dc}, nullptr), S_OK);
    EXPECT_EQ(canvas.pixel(20, 33), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(canvas.pixel(180, 33), RGB(255, 255, 255));
}

TEST_F(Control, BadCallsAnswerWithAnErrorAndChangeNothing) {
    win::ComPtr<_XP_ProgressBar> bar;
    ASSERT_EQ(bar_->QueryInterface(IID__XP_ProgressBar, reinterpret_cast<void**>(bar.put())), S_OK);
    EXPECT_EQ(bar->get_Color(nullptr), E_POINTER);
    EXPECT_EQ(bar->get_Value(nullptr), E_POINTER);
    EXPECT_EQ(bar->get_Font(nullptr), E_POINTER);
    EXPECT_EQ(bar->get_Image(nullptr), E_POINTER);
    EXPECT_EQ(bar->DrawGradient(nullptr, nullptr, 0, 0, 1, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(bar->GetTypeInfoCount(nullptr), E_POINTER);
    EXPECT_EQ(bar->GetTypeInfo(1, 0, nullptr), E_POINTER);
    win::ComPtr<ITypeInfo> info;
    EXPECT_EQ(bar->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);

    Var a(1), b(2), text(L"abc"), number(L"42");
    EXPECT_EQ(call(L"DrawLine", DISPATCH_METHOD, {&a, &b}, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(L"DrawProgressBar", DISPATCH_METHOD, {&a}, nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(L"Max", DISPATCH_PROPERTYPUT, {&text}, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(get(L"Max"), 100);
    EXPECT_EQ(call(L"Max", DISPATCH_PROPERTYPUT, {&number}, nullptr), S_OK);  // coerced
    EXPECT_EQ(get(L"Max"), 42);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID unknownId = 0;
    EXPECT_EQ(bar_->GetIDsOfNames(IID_NULL, unknown, 1, 0, &unknownId), DISP_E_UNKNOWNNAME);
    DISPPARAMS none{};
    Var result;
    EXPECT_EQ(bar_->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(bar_->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(bar_->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
              E_POINTER);

    // Named arguments: only the member's own parameters, and a put's value only as the put's.
    const struct {
        const wchar_t* member;
        WORD flags;
        DISPID named;
        HRESULT status;
    } namedCases[] = {
        {L"DrawProgressBar", DISPATCH_METHOD, 0, DISP_E_PARAMNOTFOUND},
        {L"pDraw", DISPATCH_METHOD, 7, DISP_E_PARAMNOTFOUND},
        {L"pDraw", DISPATCH_METHOD, -7, DISP_E_PARAMNOTFOUND},
        {L"Max", DISPATCH_PROPERTYPUT, 0, DISP_E_PARAMNOTOPTIONAL},
    };
    for (const auto& c : namedCases) {
        DISPID named = c.named;
        DISPPARAMS namedParams{&a, &named, 1, 1};
        EXPECT_EQ(bar_->Invoke(id(c.member), IID_NULL, 0, c.flags, &namedParams, &result, nullptr,
                               nullptr),
                  c.status)
            << c.member << " " << c.named;
    }
    EXPECT_EQ(get(L"Max"), 42);

    // One identity, and no interfaces the control does not have.
    win::ComPtr<IUnknown> fromDispatch, fromBar;
    ASSERT_EQ(bar_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(fromDispatch.put())),
              S_OK);
    ASSERT_EQ(bar->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(fromBar.put())), S_OK);
    EXPECT_EQ(fromDispatch.get(), fromBar.get());
    win::ComPtr<IUnknown> other;
    EXPECT_EQ(bar_->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(other.put())),
              E_NOINTERFACE);
    EXPECT_EQ(other.get(), nullptr);
    EXPECT_EQ(bar_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    win::ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory_->CreateInstance(fromBar.get(), IID_IUnknown,
                                       reinterpret_cast<void**>(aggregated.put())),
              CLASS_E_NOAGGREGATION);
    win::ComPtr<IClassFactory> wrongClass;
    EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory,
                              reinterpret_cast<void**>(wrongClass.put())),
              CLASS_E_CLASSNOTAVAILABLE);
}

// A container's sink that writes down which properties it was told about.
class RecordingSink final : public IPropertyNotifySink {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyNotifySink) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IPropertyNotifySink*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    ULONG references = 1;  // on the test's stack: never deleted through Release
    std::vector<DISPID> changed;
};

TEST_F(Control, WritesThatChangeStoredStateNotifyTheContainer) {
    win::ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(bar_->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(container.put())),
              S_OK);
    win::ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), S_OK);
    RecordingSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_EQ(sink.references, 2u);

    const struct {
        const wchar_t* name;
        LONG value;
        bool notifies;
    } writes[] = {
        {L"BrushStyle", 2, true},  {L"Color", 0x00FF00, false}, {L"hwnd", 0, false},
        {L"hdc", 0, false},        {L"Min", 5, true},           {L"Max", 50, true},
        {L"Orientation", 1, true}, {L"Scrolling", 3, true},     {L"ShowText", -1, true},
        {L"Value", 20, false},
    };
    for (const auto& w : writes) {
        sink.changed.clear();
        ASSERT_EQ(put(w.name, w.value), S_OK) << w.name;
        if (w.notifies)
            EXPECT_EQ(sink.changed, std::vector<DISPID>{id(w.name)}) << w.name;
        else
            EXPECT_TRUE(sink.changed.empty()) << w.name;
    }
    sink.changed.clear();
    Var nothing;
    nothing.vt = VT_DISPATCH;
    nothing.pdispVal = nullptr;
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYPUTREF, {&nothing}, nullptr), S_OK);
    EXPECT_EQ(sink.changed, std::vector<DISPID>{id(L"Image")});
    sink.changed.clear();
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYPUTREF, {&nothing}, nullptr), S_OK);
    EXPECT_TRUE(sink.changed.empty());

    // Unadvised, the sink hears nothing more and is let go.
    EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.references, 1u);
    sink.changed.clear();
    ASSERT_EQ(put(L"Max", 60), S_OK);
    EXPECT_TRUE(sink.changed.empty());
}

TEST_F(Control, ConnectionPointsAndClassInfo) {
    win::ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(bar_->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(container.put())),
              S_OK);
    win::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID___XP_ProgressBar, point.put()), S_OK);
    IID iid{};
    ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID___XP_ProgressBar));
    RecordingSink notADispatch;
    DWORD cookie = 5;
    EXPECT_EQ(point->Advise(&notADispatch, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);

    win::ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* found[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) found[i]->Release();

    win::ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(
        bar_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(classInfo.put())),
        S_OK);
    GUID source{};
    ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualIID(source, DIID___XP_ProgressBar));
    win::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(IsEqualCLSID(type->guid, CLSID_XP_ProgressBar));
    coclass->ReleaseTypeAttr(type);

    // Every interface answers with the one identity.
    win::ComPtr<IUnknown> a, b, c;
    ASSERT_EQ(container->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.put())), S_OK);
    ASSERT_EQ(classInfo->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.put())), S_OK);
    ASSERT_EQ(bar_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(c.put())), S_OK);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(b.get(), c.get());
}

// A container's property bag in memory: the entries in the order written.
class MemoryBag final : public IPropertyBag {
  public:
    ~MemoryBag() {
        for (auto& entry : entries) VariantClear(&entry.second);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyBag) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        for (auto& entry : entries)
            if (entry.first == name) return VariantCopy(value, &entry.second);
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        entries.emplace_back(name, VARIANT{});
        VariantInit(&entries.back().second);
        return VariantCopy(&entries.back().second, value);
    }
    std::vector<std::wstring> keys() const {
        std::vector<std::wstring> result;
        for (const auto& entry : entries) result.push_back(entry.first);
        return result;
    }

    std::vector<std::pair<std::wstring, VARIANT>> entries;
};

class Persistence : public Control {
  protected:
    win::ComPtr<IDispatch> second() {
        win::ComPtr<IDispatch> other;
        EXPECT_EQ(
            factory_->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(other.put())),
            S_OK);
        return other;
    }
    template <typename I>
    win::ComPtr<I> as(IUnknown* object, REFIID iid) {
        win::ComPtr<I> result;
        EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(result.put())), S_OK);
        return result;
    }
    // Gives the instance a value different from its creation value everywhere.
    void changeEverything() {
        const struct {
            const wchar_t* name;
            LONG value;
        } writes[] = {{L"BrushStyle", 2}, {L"Color", 0x123456}, {L"Max", 200},
                      {L"Min", 0},        {L"Value", 50},       {L"Orientation", 1},
                      {L"Scrolling", 7},  {L"ShowText", -1}};
        for (const auto& w : writes) ASSERT_EQ(put(w.name, w.value), S_OK) << w.name;
        FONTDESC desc = boldArial();
        Var font;
        font.vt = VT_DISPATCH;
        ASSERT_EQ(
            OleCreateFontIndirect(&desc, IID_IDispatch, reinterpret_cast<void**>(&font.pdispVal)),
            S_OK);
        ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYPUTREF, {&font}, nullptr), S_OK);
        PICTDESC picture{};
        picture.cbSizeofstruct = sizeof(PICTDESC);
        picture.picType = PICTYPE_BITMAP;
        picture.bmp.hbitmap = CreateBitmap(8, 8, 1, 32, nullptr);
        Var image;
        image.vt = VT_DISPATCH;
        ASSERT_EQ(OleCreatePictureIndirect(&picture, IID_IDispatch, TRUE,
                                           reinterpret_cast<void**>(&image.pdispVal)),
                  S_OK);
        ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYPUTREF, {&image}, nullptr), S_OK);
    }
    // What the second instance reads back, property by property, against this one.
    void expectSameState(IDispatch* other) {
        win::ComPtr<IDispatch> first = std::move(bar_);
        std::vector<LONG> mine;
        const wchar_t* names[] = {L"Color",       L"Max",       L"Min",     L"Value",
                                  L"Orientation", L"Scrolling", L"ShowText"};
        bar_ = std::move(first);
        for (const wchar_t* name : names) mine.push_back(get(name));
        first = std::move(bar_);
        other->AddRef();
        bar_ = win::ComPtr<IDispatch>();
        *bar_.put() = other;
        for (size_t i = 0; i < mine.size(); ++i) EXPECT_EQ(get(names[i]), mine[i]) << names[i];
        Var font, image;
        EXPECT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
        EXPECT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &image), S_OK);
        bar_ = std::move(first);
        ASSERT_EQ(font.vt, VT_DISPATCH);
        ASSERT_NE(font.pdispVal, nullptr);
        // The name a font reports is the face the system chose; size and weight are the font's.
        auto theirs = as<IFont>(font.pdispVal, IID_IFont);
        CY size{};
        BOOL bold = FALSE;
        ASSERT_EQ(theirs->get_Size(&size), S_OK);
        ASSERT_EQ(theirs->get_Bold(&bold), S_OK);
        EXPECT_EQ(size.int64, 120000);
        EXPECT_TRUE(bold);
        ASSERT_EQ(image.vt, VT_DISPATCH);
        EXPECT_NE(image.pdispVal, nullptr);
    }
};

TEST_F(Persistence, BagLeavesOutDefaultsAndKeepsTheOrder) {
    MemoryBag bag;
    ASSERT_EQ(as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Save(&bag, TRUE, FALSE),
              S_OK);
    // A new instance differs from the stored defaults only in its font, BrushStyle 0 (the stored
    // default is 4) and its resolved colour.
    EXPECT_EQ(bag.keys(), (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color"}));

    MemoryBag full;
    ASSERT_EQ(as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Save(&full, TRUE, TRUE),
              S_OK);
    EXPECT_EQ(full.keys(),
              (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color", L"Image", L"Max", L"Min",
                                         L"Orientation", L"Scrolling", L"ShowText", L"Value"}));
}

TEST_F(Persistence, BagAndStreamCarryEveryPropertyToASecondInstance) {
    changeEverything();
    {
        MemoryBag bag;
        ASSERT_EQ(
            as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Save(&bag, TRUE, FALSE),
            S_OK);
        win::ComPtr<IDispatch> other = second();
        ASSERT_EQ(
            as<IPersistPropertyBag>(other.get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
            S_OK);
        expectSameState(other.get());
    }
    {
        win::ComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        auto persist = as<IPersistStreamInit>(bar_.get(), IID_IPersistStreamInit);
        ULARGE_INTEGER size{};
        ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
        ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
        STATSTG stat{};
        ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
        EXPECT_EQ(stat.cbSize.QuadPart, size.QuadPart);
        ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
        win::ComPtr<IDispatch> other = second();
        ASSERT_EQ(as<IPersistStreamInit>(other.get(), IID_IPersistStreamInit)->Load(stream.get()),
                  S_OK);
        expectSameState(other.get());
    }
}

TEST_F(Persistence, ABagWithOnlyAFontLoadsTheStoredDefaults) {
    changeEverything();
    MemoryBag onlyFont;
    Var font;
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
    onlyFont.Write(L"Font", &font);
    ASSERT_EQ(
        as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Load(&onlyFont, nullptr),
        S_OK);
    const struct {
        const wchar_t* name;
        LONG value;
    } loaded[] = {{L"Max", 100},
                  {L"Min", 0},
                  {L"Value", 0},
                  {L"Orientation", 0},
                  {L"Scrolling", 0},
                  {L"ShowText", 0},
                  {L"Color", static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT))}};
    for (const auto& l : loaded) EXPECT_EQ(get(l.name), l.value) << l.name;
    Var image;
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &image), S_OK);
    EXPECT_EQ(image.pdispVal, nullptr);
    // BrushStyle cannot be read; saved again it equals the stored default 4 and is left out.
    MemoryBag again;
    ASSERT_EQ(
        as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Save(&again, TRUE, FALSE),
        S_OK);
    EXPECT_EQ(again.keys(), (std::vector<std::wstring>{L"Font", L"Color"}));
}

TEST_F(Persistence, DirtyUntilSavedAndBadStoresFailTheLoad) {
    auto persist = as<IPersistStreamInit>(bar_.get(), IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(put(L"Value", 30), S_OK);  // no notification, nothing for the container to save
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(put(L"Max", 300), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    win::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), FALSE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // A stream that is not ours, and a cut-off one: refused, and nothing changes.
    const char garbage[] = "not a progress bar at all";
    win::ComPtr<IStream> bad;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, bad.put()), S_OK);
    bad->Write(garbage, sizeof(garbage), nullptr);
    bad->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(bad.get())));
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    ASSERT_EQ(
        stream->SetSize(ULARGE_INTEGER{{static_cast<DWORD>(stat.cbSize.QuadPart / 2 - 3), 0}}),
        S_OK);  // the first of the two saves, cut in half
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(put(L"Max", 400), S_OK);
    EXPECT_TRUE(FAILED(persist->Load(stream.get())));
    EXPECT_EQ(get(L"Max"), 400);

    // A bag entry of the wrong type stops the load there; later entries keep their values.
    MemoryBag wrong;
    Var text(L"abc");
    wrong.Write(L"Max", &text);
    ASSERT_EQ(put(L"Min", 7), S_OK);
    EXPECT_EQ(as<IPersistPropertyBag>(bar_.get(), IID_IPersistPropertyBag)->Load(&wrong, nullptr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(get(L"Max"), 400);
    EXPECT_EQ(get(L"Min"), 7);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

TEST_F(Control, CanUnloadOnlyWithNoObjectsAndNoLocks) {
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the fixture's instance
    bar_.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
    ASSERT_EQ(factory_->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    ASSERT_EQ(factory_->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_OK);
    win::ComPtr<IUnknown> one, two;
    ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(one.put())),
              S_OK);
    ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(two.put())),
              S_OK);
    one.reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    two.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
