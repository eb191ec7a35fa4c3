#include "registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "xp_progress_bar.h"

namespace gaugekit {
namespace {

constexpr wchar_t kProgId[] = L"Project1.XP_ProgressBar";
constexpr wchar_t kClassName[] = L"XP_ProgressBar";
constexpr wchar_t kLibraryName[] = L"Project1";
constexpr wchar_t kVersion[] = L"1.0";
constexpr wchar_t kLibraryLocale[] = L"409";  // the type library's locale, 0x409
// The component category containers list their controls from.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
// The system's marshallers of dual and of dispatch-only interfaces.
constexpr wchar_t kDualMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaller[] = L"{00020420-0000-0000-C000-000000000046}";

enum class Bitness { x86, x64 };
constexpr Bitness kThisBitness = sizeof(void*) == 8 ? Bitness::x64 : Bitness::x86;

// Every key is opened in the 64-bit view and named by its full path there, so that both modules
// reach the same key by the same name, whatever redirection the system applies.
constexpr REGSAM kView = KEY_WOW64_64KEY;

bool windows64() {
    if (kThisBitness == Bitness::x64) return true;
    BOOL wow = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow) && wow;
}

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// A scope's classes. CLSID and Interface keys exist once per bitness on 64-bit Windows (the
// 32-bit ones under Wow6432Node); ProgIDs, type libraries and categories are shared by both.
class Classes {
  public:
    explicit Classes(RegistrationScope scope)
        : root_(scope == RegistrationScope::machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER) {}
    HKEY root() const { return root_; }
    static std::wstring shared(const std::wstring& key) { return L"Software\\Classes\\" + key; }
    static std::wstring of(Bitness bitness, const std::wstring& key) {
        return bitness == Bitness::x86 && windows64() ? L"Software\\Classes\\Wow6432Node\\" + key
                                                      : shared(key);
    }

  private:
    HKEY root_;
};

bool setString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const win::Key handle(raw);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

win::Key openKey(HKEY root, const std::wstring& key, REGSAM access) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, access | kView, &raw) != ERROR_SUCCESS)
        return win::Key();
    return win::Key(raw);
}

bool exists(HKEY root, const std::wstring& key) {
    return static_cast<bool>(openKey(root, key, KEY_QUERY_VALUE));
}

// A string value, or nothing when the key or the value is absent.
std::wstring readString(HKEY root, const std::wstring& key, const wchar_t* name) {
    const win::Key handle = openKey(root, key, KEY_QUERY_VALUE);
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (!handle || RegGetValueW(handle.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer,
                                &bytes) != ERROR_SUCCESS)
        return {};
    return buffer;
}

// Whether the key has a subkey other than those named.
bool hasSubkeys(HKEY root, const std::wstring& key, std::initializer_list<const wchar_t*> besides) {
    const win::Key handle = openKey(root, key, KEY_ENUMERATE_SUB_KEYS);
    if (!handle) return false;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(handle.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return false;
        bool listed = false;
        for (const wchar_t* other : besides)
            listed |= CompareStringOrdinal(name, -1, other, -1, TRUE) == CSTR_EQUAL;
        if (!listed) return true;
    }
}

void removeTree(HKEY root, const std::wstring& key) {
    {
        const win::Key handle =
            openKey(root, key, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!handle) return;
        RegDeleteTreeW(handle.get(), nullptr);
    }
    RegDeleteKeyExW(root, key.c_str(), kView, 0);
}

bool sameGuid(const std::wstring& text, REFGUID guid) {
    return CompareStringOrdinal(text.c_str(), -1, guidText(guid).c_str(), -1, TRUE) == CSTR_EQUAL;
}

const wchar_t* platformKey(Bitness bitness) {
    return bitness == Bitness::x64 ? L"win64" : L"win32";
}

std::wstring classKey() {
    return L"CLSID\\" + guidText(CLSID_XP_ProgressBar);
}

std::wstring libraryKey() {
    return L"TypeLib\\" + guidText(LIBID_Project1);
}

struct Value {
    std::wstring key;
    const wchar_t* name;  // null: the key's default value
    std::wstring data;
};

bool write(HKEY root, std::initializer_list<Value> values) {
    for (const Value& v : values)
        if (!setString(root, v.key, v.name, v.data)) return false;
    return true;
}

bool registerLibrary(const Classes& classes, const std::wstring& path, WORD flags) {
    const std::wstring version = Classes::shared(libraryKey() + L"\\" + kVersion);
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const std::wstring library = guidText(LIBID_Project1);
    const auto iface = [](REFIID iid) {
        return Classes::of(kThisBitness, L"Interface\\" + guidText(iid));
    };
    const std::wstring dual = iface(IID__XP_ProgressBar);
    const std::wstring events = iface(DIID___XP_ProgressBar);
    return write(
        classes.root(),
        {
            {version, nullptr, kLibraryName},
            {version + L"\\FLAGS", nullptr, std::to_wstring(flags)},
            {version + L"\\HELPDIR", nullptr, folder},
            {version + L"\\" + kLibraryLocale + L"\\" + platformKey(kThisBitness), nullptr, path},
            {dual, nullptr, L"_XP_ProgressBar"},
            {dual + L"\\ProxyStubClsid", nullptr, kDualMarshaller},
            {dual + L"\\ProxyStubClsid32", nullptr, kDualMarshaller},
            {dual + L"\\TypeLib", nullptr, library},
            {dual + L"\\TypeLib", L"Version", kVersion},
            {events, nullptr, L"__XP_ProgressBar"},
            {events + L"\\ProxyStubClsid", nullptr, kDispatchMarshaller},
            {events + L"\\ProxyStubClsid32", nullptr, kDispatchMarshaller},
            {events + L"\\TypeLib", nullptr, library},
            {events + L"\\TypeLib", L"Version", kVersion},
        });
}

bool registerClass(const Classes& classes, const std::wstring& path) {
    const std::wstring clsid = Classes::of(kThisBitness, classKey());
    const std::wstring progId = Classes::shared(kProgId);
    if (!write(classes.root(),
               {
                   {clsid, nullptr, kProgId},
                   {clsid + L"\\InprocServer32", nullptr, path},
                   {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
                   {clsid + L"\\ProgID", nullptr, kProgId},
                   {clsid + L"\\Control", nullptr, L""},
                   {clsid + L"\\MiscStatus", nullptr, L"0"},
                   {clsid + L"\\MiscStatus\\1", nullptr, std::to_wstring(kMiscStatus)},
                   {clsid + L"\\ToolboxBitmap32", nullptr, path + L", 30000"},
                   {clsid + L"\\TypeLib", nullptr, guidText(LIBID_Project1)},
                   {clsid + L"\\Version", nullptr, kVersion},
                   {clsid + L"\\Implemented Categories\\" + kControlCategory, nullptr, L""},
                   {progId, nullptr, kClassName},
                   {progId + L"\\CLSID", nullptr, guidText(CLSID_XP_ProgressBar)},
               }))
        return false;
    // The category's description belongs to every control that names it: written when missing,
    // never removed.
    const std::wstring category = Classes::shared(L"Component Categories\\") + kControlCategory;
    if (!readString(classes.root(), category, L"409").empty()) return true;
    return setString(classes.root(), category, L"409", L"Control");
}

bool modulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisModule(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    path.assign(buffer, length);
    return true;
}

}  // namespace

HRESULT registerServer(RegistrationScope scope) {
    std::wstring path;
    if (!modulePath(path)) return SELFREG_E_CLASS;
    win::ComPtr<ITypeLib> library;
    TLIBATTR* attributes = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put())) ||
        FAILED(library->GetLibAttr(&attributes)))
        return SELFREG_E_TYPELIB;
    const WORD flags = attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE;
    library->ReleaseTLibAttr(attributes);

    const Classes classes(scope);
    if (!registerLibrary(classes, path, flags)) {
        unregisterServer(scope);
        return SELFREG_E_TYPELIB;
    }
    if (!registerClass(classes, path)) {
        // Half a registration would name a class that cannot be created: take it all back.
        unregisterServer(scope);
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT unregisterServer(RegistrationScope scope) {
    const Classes classes(scope);
    const HKEY root = classes.root();
    removeTree(root, Classes::of(kThisBitness, classKey()));
    for (const IID* iid : {&IID__XP_ProgressBar, &DIID___XP_ProgressBar}) {
        const std::wstring key = Classes::of(kThisBitness, L"Interface\\" + guidText(*iid));
        if (sameGuid(readString(root, key + L"\\TypeLib", nullptr), LIBID_Project1))
            removeTree(root, key);
    }

    // The type library's file of this bitness; the library's own keys go with the last file.
    const std::wstring library = Classes::shared(libraryKey());
    const std::wstring version = library + L"\\" + kVersion;
    const std::wstring locale = version + L"\\" + kLibraryLocale;
    removeTree(root, locale + L"\\" + platformKey(kThisBitness));
    if (!hasSubkeys(root, locale, {})) removeTree(root, locale);
    if (!hasSubkeys(root, version, {L"FLAGS", L"HELPDIR"})) removeTree(root, version);
    if (!hasSubkeys(root, library, {})) removeTree(root, library);

    // The ProgID serves both bitnesses: it goes only when neither registers the class any more.
    for (const Bitness bitness : {Bitness::x86, Bitness::x64}) {
        if (bitness == Bitness::x64 && !windows64()) continue;
        if (exists(root, Classes::of(bitness, classKey()))) return S_OK;
    }
    const std::wstring progId = Classes::shared(kProgId);
    if (sameGuid(readString(root, progId + L"\\CLSID", nullptr), CLSID_XP_ProgressBar))
        removeTree(root, progId);
    return S_OK;
}

}  // namespace gaugekit
