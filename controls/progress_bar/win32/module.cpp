// gaugekit.dll's entry points: the class factory of XP_ProgressBar, the unload answer, and the
// registration of the class, its ProgID, its control keys and the type library.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "xp_progress_bar.h"

namespace gaugekit {
namespace {

constexpr wchar_t kProgId[] = L"Project1.XP_ProgressBar";
constexpr wchar_t kClassName[] = L"XP_ProgressBar";

class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is a static object: it lives as long as the module, and a container that holds
    // it keeps the module through LockServer, not through these counts.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return XpProgressBar::create(riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ++ModuleCounts::locks;
        else if (ModuleCounts::locks > 0)
            --ModuleCounts::locks;
        return S_OK;
    }
};

ClassFactory factory;

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool modulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisModule(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    path.assign(buffer, length);
    return true;
}

// Writes a key's string value (the default value when name is null), creating the key.
bool setString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    win::Key handle;
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
        return false;
    handle.reset(raw);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

void deleteTree(const std::wstring& key) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

bool registerClass(const std::wstring& path) {
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_XP_ProgressBar);
    return setString(clsid, nullptr, kProgId) &&
           setString(clsid + L"\\InprocServer32", nullptr, path) &&
           setString(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
           setString(clsid + L"\\ProgID", nullptr, kProgId) &&
           setString(clsid + L"\\Control", nullptr, L"") &&
           setString(clsid + L"\\MiscStatus", nullptr, L"0") &&
           setString(clsid + L"\\MiscStatus\\1", nullptr, std::to_wstring(kMiscStatus)) &&
           setString(clsid + L"\\ToolboxBitmap32", nullptr, path + L", 30000") &&
           setString(clsid + L"\\TypeLib", nullptr, guidText(LIBID_Project1)) &&
           setString(clsid + L"\\Version", nullptr, L"1.0") &&
           setString(kProgId, nullptr, kClassName) &&
           setString(std::wstring(kProgId) + L"\\CLSID", nullptr, guidText(CLSID_XP_ProgressBar));
}

void unregisterAll() {
    // The library's own keys (TypeLib and its interfaces) go first, through the runtime that
    // wrote them.
    UnRegisterTypeLib(LIBID_Project1, 1, 0, 0x409, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    deleteTree(std::wstring(L"CLSID\\") + guidText(CLSID_XP_ProgressBar));
    deleteTree(kProgId);
}

}  // namespace
}  // namespace gaugekit

using namespace gaugekit;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    // A class left registered would point at this module's code after it is gone.
    if (reason == DLL_PROCESS_DETACH) unregisterWindowClass(module);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_XP_ProgressBar) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return ModuleCounts::objects == 0 && ModuleCounts::locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    std::wstring path;
    if (!modulePath(path)) return SELFREG_E_CLASS;
    win::ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put())) ||
        FAILED(RegisterTypeLib(library.get(), path.data(), nullptr))) {
        unregisterAll();
        return SELFREG_E_TYPELIB;
    }
    if (!registerClass(path)) {
        // Half a registration would name a class that cannot be created: take it all back.
        unregisterAll();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    unregisterAll();
    return S_OK;
}
