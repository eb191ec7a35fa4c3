// A client of gaugekit.dll as the tests and the test tools drive it: the module beside the
// program (and its other-bitness twin), instances from its own class factory, members called by
// name through IDispatch, a pixel canvas, a property bag that keeps bytes only, and a control's
// state written out as text. No test framework here: the test tools use it too.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace gaugekit::testing {

constexpr bool k64Bit = sizeof(void*) == 8;

inline std::wstring besideProgram(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    const std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

inline std::wstring dllPath() {
    return besideProgram(L"gaugekit.dll");
}

// A file of the other bitness's build, which lies beside this one (build\win32, build\win64);
// empty when that build is not there.
inline std::wstring besidePeer(const wchar_t* name) {
    std::wstring path = besideProgram(name);
    const std::wstring mine = k64Bit ? L"\\win64\\bin\\" : L"\\win32\\bin\\";
    const auto at = path.rfind(mine);
    if (at == std::wstring::npos) return {};
    path.replace(at, mine.size(), k64Bit ? L"\\win32\\bin\\" : L"\\win64\\bin\\");
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

inline std::wstring tempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

inline std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// A program of the system's own, of either bitness.
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
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}

inline std::string readFile(const std::wstring& path) {
    const win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

inline bool writeFile(const std::wstring& path, const std::string& bytes) {
    const win::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

// A VARIANT that clears itself.
struct Var : VARIANT {
    Var() { VariantInit(this); }
    explicit Var(LONG value) : Var() {
        vt = VT_I4;
        lVal = value;
    }
    explicit Var(const wchar_t* text) : Var() {
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
    }
    ~Var() { VariantClear(this); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

// A variant that borrows what it holds: the caller keeps ownership.
inline VARIANT borrowed(VARTYPE type, void* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    v.byref = value;
    return v;
}
inline VARIANT number(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// Calls a member by name with the arguments in reading order; a failure the member reports
// comes back as its own status.
inline HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                      VARIANT* result = nullptr) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        FAILED(hr))
        return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
        hr = exception.scode;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    return hr;
}

inline LONG getNumber(IDispatch* object, const wchar_t* name, HRESULT* status = nullptr) {
    Var result;
    Var converted;
    HRESULT hr = invoke(object, name, DISPATCH_PROPERTYGET, {}, &result);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&converted, &result, 0, VT_I4);
    if (status) *status = hr;
    return SUCCEEDED(hr) ? converted.lVal : 0;
}

inline HRESULT putNumber(IDispatch* object, const wchar_t* name, LONG value) {
    return invoke(object, name, DISPATCH_PROPERTYPUT, {number(value)});
}

// Font or Image set by reference; the object stays the caller's.
inline HRESULT putObject(IDispatch* object, const wchar_t* name, IUnknown* value) {
    return invoke(object, name, DISPATCH_PROPERTYPUTREF, {borrowed(VT_DISPATCH, value)});
}

template <typename I>
win::ComPtr<I> query(IUnknown* object, REFIID iid) {
    win::ComPtr<I> result;
    if (object) object->QueryInterface(iid, reinterpret_cast<void**>(result.put()));
    return result;
}

// gaugekit.dll loaded into this process, with instances from its own class factory.
class Module {
  public:
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

    explicit Module(const std::wstring& path = dllPath()) : handle_(LoadLibraryW(path.c_str())) {
        if (!handle_) return;
        getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(handle_, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNow>(
            reinterpret_cast<void*>(GetProcAddress(handle_, "DllCanUnloadNow")));
        if (getClassObject)
            getClassObject(CLSID_XP_ProgressBar, IID_IClassFactory,
                           reinterpret_cast<void**>(factory.put()));
    }
    ~Module() {
        factory.reset();
        if (handle_) FreeLibrary(handle_);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    explicit operator bool() const { return factory && canUnloadNow; }

    win::ComPtr<IDispatch> create() const {
        win::ComPtr<IDispatch> instance;
        if (factory)
            factory->CreateInstance(nullptr, IID_IDispatch,
                                    reinterpret_cast<void**>(instance.put()));
        return instance;
    }

    GetClassObject getClassObject = nullptr;
    CanUnloadNow canUnloadNow = nullptr;
    win::ComPtr<IClassFactory> factory;

  private:
    HMODULE handle_;
};

// A 32-bit top-down DIB in a memory context, for the drawing members and the view.
class Canvas {
  public:
    Canvas(int width, int height, DWORD fill = 0xFFFFFF)
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
        for (int i = 0; i < width * height; ++i) bits_[i] = fill;
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
    std::uint64_t hash() const {
        GdiFlush();
        std::uint64_t h = 14695981039346656037ull;
        for (int i = 0; i < width_ * height_; ++i)
            h = (h ^ (bits_[i] & 0xFFFFFF)) * 1099511628211ull;
        return h;
    }

  private:
    int width_;
    int height_;
    win::MemoryDc dc_;
    win::Bitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The control drawn by its view at the rectangle given, as a container draws it.
inline HRESULT drawView(IUnknown* control, HDC dc, RECTL bounds) {
    const auto view = query<IViewObject>(control, IID_IViewObject);
    if (!view) return E_NOINTERFACE;
    return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                      nullptr, 0);
}

// What IPersistStreamInit saves, as bytes; empty when the save fails.
inline std::string savedStream(IUnknown* bar, BOOL clearDirty = FALSE) {
    const auto persist = query<IPersistStreamInit>(bar, IID_IPersistStreamInit);
    win::ComPtr<IStream> stream;
    if (!persist || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(persist->Save(stream.get(), clearDirty)))
        return {};
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    return bytes;
}

inline HRESULT loadStream(IUnknown* bar, const std::string& bytes) {
    const auto persist = query<IPersistStreamInit>(bar, IID_IPersistStreamInit);
    win::ComPtr<IStream> stream;
    if (!persist) return E_NOINTERFACE;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return E_OUTOFMEMORY;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return persist->Load(stream.get());
}

// A picture as a designer gets it from a file: made by the system's loader from BMP bytes, so
// that it keeps and saves those bytes. 24 bits per pixel; pixels 0x00RRGGBB, top row first.
inline win::ComPtr<IPictureDisp> pictureFromPixels(int width, int height,
                                                   const std::vector<DWORD>& pixels) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD imageBytes = static_cast<DWORD>(stride * height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // bottom row first in the file
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageBytes;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            const DWORD p = pixels[static_cast<size_t>(y * width + x)];
            row[static_cast<size_t>(x * 3)] = static_cast<char>(p & 0xFF);
            row[static_cast<size_t>(x * 3 + 1)] = static_cast<char>((p >> 8) & 0xFF);
            row[static_cast<size_t>(x * 3 + 2)] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    win::ComPtr<IStream> stream;
    win::ComPtr<IPictureDisp> picture;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return picture;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPictureDisp,
                   reinterpret_cast<void**>(picture.put()));
    return picture;
}

// A container's property bag that keeps bytes only, as a form designer keeps a form: numbers
// and text as their bytes, fonts and pictures as the objects' own saved bytes (class, then
// data). No object stays alive in it: reading such an entry makes a new object from the bytes.
class ByteBag final : public IPropertyBag {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = riid == IID_IUnknown || riid == IID_IPropertyBag ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on its owner's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        for (const Entry& e : entries_) {
            if (e.name != name) continue;
            VariantInit(value);
            if (e.type == VT_BSTR) {
                value->bstrVal = SysAllocStringLen(reinterpret_cast<const wchar_t*>(e.data.data()),
                                                   static_cast<UINT>(e.data.size() / 2));
            } else if (e.type == VT_DISPATCH) {
                if (!e.data.empty()) {
                    win::ComPtr<IStream> stream;
                    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return E_FAIL;
                    stream->Write(e.data.data(), static_cast<ULONG>(e.data.size()), nullptr);
                    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
                    const HRESULT hr = OleLoadFromStream(
                        stream.get(), IID_IDispatch, reinterpret_cast<void**>(&value->pdispVal));
                    if (FAILED(hr)) return hr;
                }
            } else {
                memcpy(&value->lVal, e.data.data(), e.data.size());
            }
            value->vt = e.type;
            return S_OK;
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        VARTYPE type = value->vt;
        std::string data;
        const auto raw = [&data](const void* at, size_t size) {
            const auto* bytes = static_cast<const char*>(at);
            data = std::string(bytes, bytes + size);
        };
        switch (type) {
            case VT_BSTR:
                raw(value->bstrVal, SysStringLen(value->bstrVal) * sizeof(wchar_t));
                break;
            case VT_DISPATCH:
            case VT_UNKNOWN: {
                type = VT_DISPATCH;
                if (!value->punkVal) break;
                const auto persist = query<IPersistStream>(value->punkVal, IID_IPersistStream);
                win::ComPtr<IStream> stream;
                if (!persist || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
                    FAILED(OleSaveToStream(persist.get(), stream.get())))
                    return E_FAIL;
                STATSTG stat{};
                stream->Stat(&stat, STATFLAG_NONAME);
                data.resize(static_cast<size_t>(stat.cbSize.QuadPart));
                stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
                stream->Read(data.data(), static_cast<ULONG>(data.size()), nullptr);
                break;
            }
            case VT_EMPTY:
            case VT_NULL:
                break;
            case VT_I2:
            case VT_BOOL:
                raw(&value->iVal, 2);
                break;
            case VT_I4:
            case VT_R4:
                raw(&value->lVal, 4);
                break;
            case VT_R8:
                raw(&value->dblVal, 8);
                break;
            default:
                return E_INVALIDARG;
        }
        entries_.push_back(Entry{name, type, std::move(data)});
        return S_OK;
    }

    std::vector<std::wstring> names() const {
        std::vector<std::wstring> result;
        for (const Entry& e : entries_) result.push_back(e.name);
        return result;
    }
    // The whole bag as one block of bytes, and back: name, type, data, each with its length.
    std::string bytes() const {
        std::string out;
        for (const Entry& e : entries_) {
            const std::string name(reinterpret_cast<const char*>(e.name.data()),
                                   e.name.size() * sizeof(wchar_t));
            for (const std::string* part : {&name, &e.data}) {
                const auto size = static_cast<std::uint32_t>(part->size());
                out.append(reinterpret_cast<const char*>(&size), 4);
                out += *part;
                if (part == &name) out.append(reinterpret_cast<const char*>(&e.type), 2);
            }
        }
        return out;
    }
    bool assign(const std::string& bytes) {
        entries_.clear();
        size_t at = 0;
        const auto take = [&](size_t count, std::string& out) {
            if (bytes.size() - at < count) return false;
            out.assign(bytes, at, count);
            at += count;
            return true;
        };
        while (at < bytes.size()) {
            Entry e;
            std::string size, name, type;
            std::uint32_t length = 0;
            if (!take(4, size)) return false;
            memcpy(&length, size.data(), 4);
            if (!take(length, name) || !take(2, type) || !take(4, size)) return false;
            e.name.assign(reinterpret_cast<const wchar_t*>(name.data()), name.size() / 2);
            memcpy(&e.type, type.data(), 2);
            memcpy(&length, size.data(), 4);
            if (!take(length, e.data)) return false;
            entries_.push_back(std::move(e));
        }
        return true;
    }

  private:
    struct Entry {
        std::wstring name;
        VARTYPE type;
        std::string data;
    };
    std::vector<Entry> entries_;
};

// Everything a container would save, different from a new instance's: numbers, a bold 12-point
// Arial, a 5 x 3 picture of distinct colours, the custom-brush style with its text.
inline bool changeEverything(IDispatch* bar) {
    const struct {
        const wchar_t* name;
        LONG value;
    } writes[] = {{L"BrushStyle", 2}, {L"Color", 0x123456}, {L"Max", 200},     {L"Min", 0},
                  {L"Value", 50},     {L"Orientation", 1},  {L"Scrolling", 7}, {L"ShowText", -1}};
    for (const auto& w : writes)
        if (FAILED(putNumber(bar, w.name, w.value))) return false;
    FONTDESC desc{sizeof(FONTDESC),
                  const_cast<LPOLESTR>(L"Arial"),
                  {{120000, 0}},
                  FW_BOLD,
                  ANSI_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    win::ComPtr<IFontDisp> font;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.put()))))
        return false;
    std::vector<DWORD> pixels;
    for (int i = 0; i < 15; ++i)
        pixels.push_back(static_cast<DWORD>(0x102030 * (i + 1)) & 0xFFFFFF);
    const auto picture = pictureFromPixels(5, 3, pixels);
    return picture && SUCCEEDED(putObject(bar, L"Font", font.get())) &&
           SUCCEEDED(putObject(bar, L"Image", picture.get()));
}

// A control's saved state as text, one line a property: the readable numbers, the font's face,
// size and weight, the picture's pixels, and a hash of the bar as drawn (which shows BrushStyle,
// the one property that cannot be read).
inline std::string describe(IDispatch* bar) {
    std::ostringstream out;
    for (const wchar_t* name :
         {L"Color", L"Max", L"Min", L"Value", L"Orientation", L"Scrolling", L"ShowText"}) {
        HRESULT hr = S_OK;
        const LONG value = getNumber(bar, name, &hr);
        out << std::string(name, name + wcslen(name)) << '=' << value << (FAILED(hr) ? "!" : "")
            << '\n';
    }
    Var fontArg, imageArg;
    invoke(bar, L"Font", DISPATCH_PROPERTYGET, {}, &fontArg);
    invoke(bar, L"Image", DISPATCH_PROPERTYGET, {}, &imageArg);
    out << "Font=";
    if (const auto font =
            query<IFont>(fontArg.vt == VT_DISPATCH ? fontArg.pdispVal : nullptr, IID_IFont)) {
        BSTR name = nullptr;
        CY size{};
        BOOL bold = FALSE, italic = FALSE;
        font->get_Name(&name);
        font->get_Size(&size);
        font->get_Bold(&bold);
        font->get_Italic(&italic);
        const std::wstring face = name ? name : L"";
        SysFreeString(name);
        out << std::string(face.begin(), face.end()) << ' ' << size.int64 << (bold ? " bold" : "")
            << (italic ? " italic" : "");
    }
    out << "\nImage=";
    if (const auto picture = query<IPicture>(
            imageArg.vt == VT_DISPATCH ? imageArg.pdispVal : nullptr, IID_IPicture)) {
        OLE_HANDLE handle = 0;
        picture->get_Handle(&handle);
        const auto bitmap =
            reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(static_cast<LONG>(handle)));
        BITMAP info{};
        if (GetObjectW(bitmap, sizeof(info), &info)) {
            std::vector<DWORD> pixels(static_cast<size_t>(info.bmWidth * info.bmHeight));
            BITMAPINFO header{};
            header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            header.bmiHeader.biWidth = info.bmWidth;
            header.bmiHeader.biHeight = -info.bmHeight;
            header.bmiHeader.biPlanes = 1;
            header.bmiHeader.biBitCount = 32;
            const HDC screen = GetDC(nullptr);
            GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &header,
                      DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
            out << info.bmWidth << 'x' << info.bmHeight << std::hex;
            for (const DWORD p : pixels) out << ' ' << (p & 0xFFFFFF);
            out << std::dec;
        }
    }
    Canvas canvas(120, 30);
    drawView(bar, canvas.hdc(), RECTL{0, 0, 120, 30});
    out << "\nDrawn=" << canvas.hash() << '\n';
    return out.str();
}

// The bar drawn in many configurations (every style at several positions, sizes, colours and
// both orientations) and gradients full of rounding ties, one line a picture: "what hash". Two
// builds that paint the same pixels print the same lines.
inline std::string drawnPictures(const Module& module) {
    std::ostringstream out;
    const win::ComPtr<IDispatch> bar = module.create();
    const struct { int width, height; } sizes[] = {{200, 66}, {97, 23}, {31, 150}};
    const LONG colors[] = {static_cast<LONG>(0x8000000D), 0x3C7FB1, 0x050505};
    for (const auto& size : sizes)
        for (const LONG color : colors)
            for (LONG style = 0; style <= 9; ++style)
                for (const LONG position : {-3, 0, 1, 33, 50, 67, 99, 100})
                    for (const LONG orientation : {0, 1}) {
                        putNumber(bar.get(), L"Color", color);
                        putNumber(bar.get(), L"Scrolling", style);
                        putNumber(bar.get(), L"Orientation", orientation);
                        putNumber(bar.get(), L"ShowText", position % 2 ? -1 : 0);
                        putNumber(bar.get(), L"Value", position);
                        Canvas canvas(size.width, size.height);
                        drawView(bar.get(), canvas.hdc(), RECTL{0, 0, size.width, size.height});
                        out << "bar " << size.width << 'x' << size.height << " colour " << color
                            << " style " << style << " at " << position << " orientation "
                            << orientation << ' ' << canvas.hash() << '\n';
                    }
    for (LONG count = 2; count <= 40; ++count)
        for (const LONG end : {0x050505, 0x010203, 0xC8C8C8, 0x0A0B0C})
            for (const LONG start : {0x000000, 0xFFFFFF, 0x808080, 0x32C8FF}) {
                Canvas canvas(50, 50);
                LONG e = end, s = start;
                invoke(bar.get(), L"DrawGradient", DISPATCH_METHOD,
                       {borrowed(VT_I4 | VT_BYREF, &e), borrowed(VT_I4 | VT_BYREF, &s), number(0),
                        number(0), number(50), number(count), number(canvas.dc())});
                out << "gradient " << count << ' ' << end << ' ' << start << ' ' << canvas.hash()
                    << '\n';
            }
    return out.str();
}

}  // namespace gaugekit::testing
