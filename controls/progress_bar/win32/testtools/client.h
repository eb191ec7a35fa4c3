// A client of gaugekit.dll as the tests and the test tools drive it: the module beside the
// program (and its other-bitness twin), instances from its own class factory, members called by
// name, a pixel canvas, a property bag that keeps bytes only, and a control's state as text. No
// test framework here: the test tools use it too.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "gaugekit_idl.h"
#include "win32/handles.h"

namespace gaugekit::testing {

constexpr bool k64Bit = sizeof(void*) == 8;

inline std::wstring besideProgram(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

inline std::wstring dllPath() {
    return besideProgram(L"gaugekit.dll");
}

// A file of the other bitness's build, which lies beside this one (build\win32, build\win64);
// empty when it is not there.
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
    } else {  // a 32-bit process reaches the 64-bit system folder by this alias only
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
    HANDLE readRaw = nullptr, writeRaw = nullptr;
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
    const win::KernelHandle processHandle(process.hProcess), thread(process.hThread);
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
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline bool writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// A VARIANT that clears itself.
struct Var : VARIANT {
    Var() { VariantInit(this); }
    explicit Var(const wchar_t* text) : Var() {
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
    }
    ~Var() { VariantClear(this); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

// A variant that borrows what it points at: the caller keeps it.
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
    if (HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id); FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    const bool write = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{reversed.data(), write ? &put : nullptr, static_cast<UINT>(reversed.size()),
                      write ? 1u : 0u};
    EXCEPINFO exception{};
    HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) hr = exception.scode;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

inline LONG getNumber(IDispatch* object, const wchar_t* name, HRESULT* status = nullptr) {
    Var result, converted;
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
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    explicit Module(const std::wstring& path = dllPath()) : handle_(LoadLibraryW(path.c_str())) {
        const auto entry = [this](const char* name) {
            return reinterpret_cast<void*>(handle_ ? GetProcAddress(handle_, name) : nullptr);
        };
        canUnloadNow = reinterpret_cast<CanUnloadNow>(entry("DllCanUnloadNow"));
        getClassObject = reinterpret_cast<GetClassObject>(entry("DllGetClassObject"));
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

    CanUnloadNow canUnloadNow = nullptr;
    GetClassObject getClassObject = nullptr;
    win::ComPtr<IClassFactory> factory;

  private:
    HMODULE handle_;
};

// A 32-bit top-down bitmap in a memory context, for the drawing members and the view.
class Canvas {
  public:
    // fill: 0x00RRGGBB
    Canvas(int width, int height, DWORD fill = 0xFFFFFF)
        : count_(width * height), width_(width), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS,
                                       reinterpret_cast<void**>(&bits_), nullptr, 0));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
        std::fill(bits_, bits_ + count_, fill);
    }
    ~Canvas() { SelectObject(dc_.get(), previous_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC hdc() const { return dc_.get(); }
    LONG dc() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(dc_.get())); }
    COLORREF pixel(int x, int y) const {
        GdiFlush();
        const DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::uint64_t hash() const {
        GdiFlush();
        std::uint64_t h = 14695981039346656037ull;
        for (int i = 0; i < count_; ++i) h = (h ^ (bits_[i] & 0xFFFFFF)) * 1099511628211ull;
        return h;
    }

  private:
    int count_, width_;
    win::MemoryDc dc_;
    win::Bitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The control drawn by its view at the rectangle given, as a container draws it.
inline HRESULT drawView(IUnknown* control, HDC dc, RECTL bounds) {
    const auto view = query<IViewObject>(control, IID_IViewObject);
    return view ? view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                             nullptr, 0)
                : E_NOINTERFACE;
}

inline std::string streamBytes(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    return bytes;
}

inline win::ComPtr<IStream> streamOf(const std::string& bytes) {
    win::ComPtr<IStream> stream;
    if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) {
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    }
    return stream;
}

// What IPersistStreamInit saves, as bytes; empty when the save fails.
inline std::string savedStream(IUnknown* bar, BOOL clearDirty = FALSE) {
    const auto persist = query<IPersistStreamInit>(bar, IID_IPersistStreamInit);
    const auto stream = streamOf("");
    if (!persist || !stream || FAILED(persist->Save(stream.get(), clearDirty))) return {};
    return streamBytes(stream.get());
}

inline HRESULT loadStream(IUnknown* bar, const std::string& bytes) {
    const auto persist = query<IPersistStreamInit>(bar, IID_IPersistStreamInit);
    return persist ? persist->Load(streamOf(bytes).get()) : E_NOINTERFACE;
}

// A picture as a designer gets it from a file: made by the system's loader from BMP bytes, so
// that it keeps and saves those bytes. Pixels 0x00RRGGBB, top row first.
inline win::ComPtr<IPictureDisp> pictureFromPixels(int width, int height,
                                                   const std::vector<DWORD>& pixels) {
    const int stride = (width * 3 + 3) & ~3;
    const auto imageBytes = static_cast<DWORD>(stride * height);
    const BITMAPFILEHEADER file{0x4D42, 54 + imageBytes, 0, 0, 54};  // "BM"
    const BITMAPINFOHEADER info{40, width, height, 1, 24, BI_RGB, imageBytes, 0, 0, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(&file), 14);
    bytes.append(reinterpret_cast<const char*>(&info), 40);
    for (int y = height - 1; y >= 0; --y) {  // bottom row first in the file
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) memcpy(&row[x * 3u], &pixels[y * width + x], 3);
        bytes += row;
    }
    win::ComPtr<IPictureDisp> picture;
    OleLoadPicture(streamOf(bytes).get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPictureDisp,
                   reinterpret_cast<void**>(picture.put()));
    return picture;
}

// A container's property bag that keeps bytes only, as a form designer keeps a form: numbers
// and text as their bytes, fonts and pictures as the objects' own saved bytes (class, then
// data). No object stays alive in it: reading such an entry makes a new one from the bytes.
class ByteBag final : public IPropertyBag {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown || riid == IID_IPropertyBag ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on its owner's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        for (const Entry& e : entries_) {
            if (e.name != name) continue;
            VariantInit(value);
            if (e.type == VT_BSTR) {
                value->bstrVal = SysAllocStringLen(reinterpret_cast<const wchar_t*>(e.data.data()),
                                                   static_cast<UINT>(e.data.size() / 2));
            } else if (e.type == VT_DISPATCH && !e.data.empty()) {
                const HRESULT hr = OleLoadFromStream(streamOf(e.data).get(), IID_IDispatch,
                                                     reinterpret_cast<void**>(&value->pdispVal));
                if (FAILED(hr)) return hr;
            } else if (e.type != VT_DISPATCH) {
                memcpy(&value->lVal, e.data.data(), e.data.size());
            }
            value->vt = e.type;
            return S_OK;
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        Entry e{name, value->vt, {}};
        const auto raw = [&e](const void* at, size_t size) {
            e.data = std::string(static_cast<const char*>(at), size);
        };
        switch (value->vt) {
            case VT_BSTR:
                raw(value->bstrVal, SysStringLen(value->bstrVal) * sizeof(wchar_t));
                break;
            case VT_DISPATCH:
            case VT_UNKNOWN: {
                e.type = VT_DISPATCH;
                const auto persist = query<IPersistStream>(value->punkVal, IID_IPersistStream);
                const auto stream = streamOf("");
                if (value->punkVal &&
                    (!persist || FAILED(OleSaveToStream(persist.get(), stream.get()))))
                    return E_FAIL;
                if (value->punkVal) e.data = streamBytes(stream.get());
                break;
            }
            case VT_EMPTY:
                break;
            case VT_I2:
            case VT_BOOL:
                raw(&value->iVal, 2);
                break;
            case VT_I4:
                raw(&value->lVal, 4);
                break;
            case VT_R8:
                raw(&value->dblVal, 8);
                break;
            default:
                return E_INVALIDARG;
        }
        entries_.push_back(std::move(e));
        return S_OK;
    }

    std::vector<std::wstring> names() const {
        std::vector<std::wstring> result;
        for (const Entry& e : entries_) result.push_back(e.name);
        return result;
    }
    // The whole bag as one block of bytes, and back: per entry the name, the type, the data.
    std::string bytes() const {
        std::string out;
        for (const Entry& e : entries_) {
            const std::string name(reinterpret_cast<const char*>(e.name.data()), e.name.size() * 2);
            for (const std::string& part :
                 {name, std::string(reinterpret_cast<const char*>(&e.type), 2), e.data}) {
                const auto size = static_cast<std::uint32_t>(part.size());
                out.append(reinterpret_cast<const char*>(&size), 4).append(part);
            }
        }
        return out;
    }
    bool assign(const std::string& bytes) {
        entries_.clear();
        std::string parts[3];
        for (size_t at = 0, part = 0; at < bytes.size(); part = (part + 1) % 3) {
            std::uint32_t size = 0;
            if (bytes.size() - at < 4) return false;
            memcpy(&size, &bytes[at], 4);
            if (bytes.size() - at - 4 < size) return false;
            parts[part] = bytes.substr(at + 4, size);
            at += 4 + size;
            if (part < 2) continue;
            Entry e{std::wstring(reinterpret_cast<const wchar_t*>(parts[0].data()),
                                 parts[0].size() / 2),
                    0, parts[2]};
            memcpy(&e.type, parts[1].data(), 2);
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

// A standard font object: bold Arial of the size given in ten-thousandths of a point.
inline win::ComPtr<IFontDisp> boldArial(ULONG size) {
    wchar_t face[] = L"Arial";
    FONTDESC desc{sizeof(desc), face, {{size, 0}}, FW_BOLD, ANSI_CHARSET, FALSE, FALSE, FALSE};
    win::ComPtr<IFontDisp> font;
    OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.put()));
    return font;
}

// Everything a container would save, different from a new instance's: numbers, a bold 12-point
// Arial, a 5 x 3 picture of distinct colours, the custom-brush style with its text.
inline bool changeEverything(IDispatch* bar) {
    for (const auto& [name, value] : {std::pair{L"BrushStyle", 2},
                                      {L"Color", 0x123456},
                                      {L"Max", 200},
                                      {L"Value", 50},
                                      {L"Orientation", 1},
                                      {L"Scrolling", 7},
                                      {L"ShowText", -1}})
        if (FAILED(putNumber(bar, name, value))) return false;
    const auto font = boldArial(120000);
    std::vector<DWORD> pixels;
    for (DWORD i = 1; i <= 15; ++i) pixels.push_back(0x102030 * i & 0xFFFFFF);
    const auto picture = pictureFromPixels(5, 3, pixels);
    return font && picture && SUCCEEDED(putObject(bar, L"Font", font.get())) &&
           SUCCEEDED(putObject(bar, L"Image", picture.get()));
}

// A control's saved state as text, a line a property: the readable numbers, the font's face,
// size and weight, the picture's pixels, and a hash of the bar as drawn (which shows BrushStyle,
// the one property that cannot be read).
inline std::string describe(IDispatch* bar) {
    std::ostringstream out;
    for (const wchar_t* name :
         {L"Color", L"Max", L"Min", L"Value", L"Orientation", L"Scrolling", L"ShowText"})
        out << std::string(name, name + wcslen(name)) << '=' << getNumber(bar, name) << '\n';
    Var fontArg, imageArg;
    invoke(bar, L"Font", DISPATCH_PROPERTYGET, {}, &fontArg);
    invoke(bar, L"Image", DISPATCH_PROPERTYGET, {}, &imageArg);
    out << "Font=";
    if (const auto font = query<IFont>(fontArg.pdispVal, IID_IFont)) {
        BSTR name = nullptr;
        CY size{};
        BOOL bold = FALSE;
        font->get_Name(&name);
        font->get_Size(&size);
        font->get_Bold(&bold);
        const std::wstring face = name ? name : L"";
        SysFreeString(name);
        out << std::string(face.begin(), face.end()) << ' ' << size.int64 << (bold ? " bold" : "");
    }
    out << "\nImage=";
    if (const auto picture = query<IPicture>(imageArg.pdispVal, IID_IPicture)) {
        OLE_HANDLE handle = 0;
        picture->get_Handle(&handle);
        const auto bitmap =
            reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(static_cast<LONG>(handle)));
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        Canvas copy(info.bmWidth, info.bmHeight);
        const win::MemoryDc source(CreateCompatibleDC(nullptr));
        const HGDIOBJ previous = SelectObject(source.get(), bitmap);
        BitBlt(copy.hdc(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
        SelectObject(source.get(), previous);
        out << info.bmWidth << 'x' << info.bmHeight << ' ' << copy.hash();
    }
    Canvas canvas(120, 30);
    drawView(bar, canvas.hdc(), RECTL{0, 0, 120, 30});
    out << "\nDrawn=" << canvas.hash() << '\n';
    return out.str();
}

// The bar drawn in many configurations (every style at several positions, sizes, colours and
// both orientations) and gradients full of rounding ties, a line a picture: "what hash". Two
// builds that paint the same pixels print the same lines.
inline std::string drawnPictures(const Module& module) {
    std::ostringstream out;
    const win::ComPtr<IDispatch> bar = module.create();
    for (const auto& [width, height] : {std::pair{200, 66}, {97, 23}, {31, 150}})
        for (const LONG color : {static_cast<LONG>(0x8000000D), 0x3C7FB1L, 0x050505L})
            for (LONG style = 0; style <= 9; ++style)
                for (const LONG at : {-3, 0, 1, 33, 50, 67, 99, 100})
                    for (const LONG orientation : {0, 1}) {
                        for (const auto& [name, value] : {std::pair{L"Color", color},
                                                          {L"Scrolling", style},
                                                          {L"Orientation", orientation},
                                                          {L"ShowText", at % 2 ? -1L : 0L},
                                                          {L"Value", at}})
                            putNumber(bar.get(), name, value);
                        Canvas canvas(width, height);
                        drawView(bar.get(), canvas.hdc(), RECTL{0, 0, width, height});
                        out << "bar " << width << 'x' << height << " colour " << color << " style "
                            << style << " at " << at << " orientation " << orientation << ' '
                            << canvas.hash() << '\n';
                    }
    for (LONG count = 2; count <= 40; ++count)
        for (LONG end : {0x050505, 0x010203, 0xC8C8C8, 0x0A0B0C})
            for (LONG start : {0x000000, 0xFFFFFF, 0x808080, 0x32C8FF}) {
                Canvas canvas(50, 50);
                const LONG e = end, s = start;
                invoke(bar.get(), L"DrawGradient", DISPATCH_METHOD,
                       {borrowed(VT_I4 | VT_BYREF, &end), borrowed(VT_I4 | VT_BYREF, &start),
                        number(0), number(0), number(50), number(count), number(canvas.dc())});
                out << "gradient " << count << ' ' << e << ' ' << s << ' ' << canvas.hash() << '\n';
            }
    return out.str();
}

}  // namespace gaugekit::testing
