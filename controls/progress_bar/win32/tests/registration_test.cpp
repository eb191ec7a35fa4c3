// gaugekit.dll registered by the system's regsvr32, machine-wide and per user, 32- and 64-bit
// side by side, and every registration removed again without harm to the others.
#include <cwctype>
#include <map>

#include "com_support.h"

namespace gaugekit::testing {
namespace {

constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
constexpr wchar_t kUser[] = L"/n /i:user";

using Values = std::map<std::wstring, std::wstring>;

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Every value below the key, as "subkey|name" -> data (a subkey alone -> ""), read in the 64-bit
// view by full path.
void dump(HKEY root, const std::wstring& key, const std::wstring& relative, Values& out) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
        return;
    const win::Key handle(raw);
    wchar_t name[256], data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256, bytes = sizeof(data) - sizeof(wchar_t);
        if (RegEnumValueW(raw, i, name, &nameLength, nullptr, nullptr,
                          reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
            break;
        data[bytes / sizeof(wchar_t)] = 0;
        out[lower(relative + L"|" + name)] = data;
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(raw, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        out[lower(relative + L"\\" + name)] = L"";
        dump(root, key + L"\\" + name, relative + L"\\" + name, out);
    }
}

const std::wstring kClass = L"CLSID\\" + guidText(CLSID_XP_ProgressBar);
const std::wstring kLibrary = L"TypeLib\\" + guidText(LIBID_Project1);
const std::wstring kInterfaces[] = {L"Interface\\" + guidText(IID__XP_ProgressBar),
                                    L"Interface\\" + guidText(DIID___XP_ProgressBar)};

// The registration of one bitness in a root as Windows lays it out: CLSID and Interface once
// per bitness (the 32-bit ones under Wow6432Node on 64-bit Windows), the rest shared.
Values registration(HKEY root, bool bits64) {
    BOOL wow = FALSE;
    const bool windows64 = k64Bit || (IsWow64Process(GetCurrentProcess(), &wow) && wow);
    const std::wstring own =
        !bits64 && windows64 ? L"Software\\Classes\\Wow6432Node\\" : L"Software\\Classes\\";
    Values values;
    for (const auto& key : {kClass, kInterfaces[0], kInterfaces[1]})
        dump(root, own + key, key, values);
    for (const auto& key : {std::wstring(L"Project1.XP_ProgressBar"), kLibrary})
        dump(root, L"Software\\Classes\\" + key, key, values);
    return values;
}

std::wstring at(const Values& values, const std::wstring& key) {
    const auto found = values.find(lower(key));
    return found == values.end() ? L"<absent>" : found->second;
}

// Whether the module is registered whole in the root: every value a container or a designer
// reads. What a removal leaves behind shows at the end, when every registration is gone.
bool registeredWhole(HKEY root, bool bits64, const std::wstring& dll) {
    const Values v = registration(root, bits64);
    const std::wstring server = kClass + L"\\InprocServer32|", library = guidText(LIBID_Project1);
    using Entry = std::pair<std::wstring, std::wstring>;
    for (const auto& [key, data] :
         {Entry{server, dll},
          {kLibrary + L"\\1.0\\409\\" + (bits64 ? L"win64|" : L"win32|"), dll},
          {kInterfaces[0] + L"\\TypeLib|", library},
          {kInterfaces[1] + L"\\TypeLib|", library},
          {server + L"ThreadingModel", L"Apartment"},
          {kClass + L"\\Implemented Categories\\" + kControlCategory, L""},
          {L"Project1.XP_ProgressBar\\CLSID|", guidText(CLSID_XP_ProgressBar)},
          {kClass + L"|", L"Project1.XP_ProgressBar"},
          {kClass + L"\\Control", L""},
          {kClass + L"\\MiscStatus\\1|", L"131473"},
          {kClass + L"\\ToolboxBitmap32|", dll + L", 30000"},
          {kClass + L"\\Version|", L"1.0"},
          {kLibrary + L"\\1.0|", L"Project1"},
          {kLibrary + L"\\1.0\\FLAGS|", L"2"},
          {kInterfaces[0] + L"\\ProxyStubClsid32|", L"{00020424-0000-0000-C000-000000000046}"},
          {kInterfaces[1] + L"\\ProxyStubClsid32|", L"{00020420-0000-0000-C000-000000000046}"}})
        if (lower(at(v, key)) != lower(data)) return false;
    Values category;
    dump(root, std::wstring(L"Software\\Classes\\Component Categories\\") + kControlCategory, L"",
         category);
    return at(category, L"|409") == L"Control";
}

// Whether a script host of that bitness creates the control by its ProgID.
bool scriptCreates(bool bits64) {
    const std::wstring script = tempPath(L"gaugekit_create.js");
    writeFile(script,
              "try { WScript.Echo('Max ' + new ActiveXObject('Project1.XP_ProgressBar').Max); }"
              " catch (e) { WScript.Echo('refused'); }");
    const Outcome outcome =
        run(L"\"" + systemProgram(bits64, L"cscript.exe") + L"\" //nologo \"" + script + L"\"");
    return outcome.output.find("Max 100") != std::string::npos;
}

// The registrations of this bitness and of the other (where this machine runs it), machine-wide
// and per user, are made and removed in turn; after each step each is whole or absent as it
// should be, and scripts of each bitness create the control through a machine-wide one.
TEST_F(Com, RegistrationsSideBySideAndEachRemovedWithoutHarmToTheOthers) {
    const std::wstring peer = peerRuns() ? besidePeer(L"gaugekit.dll") : L"";
    const struct {
        HKEY root;
        bool bits64;
        std::wstring dll;
    } registrations[] = {{HKEY_LOCAL_MACHINE, k64Bit, dllPath()},
                         {HKEY_LOCAL_MACHINE, !k64Bit, peer},
                         {HKEY_CURRENT_USER, k64Bit, dllPath()},
                         {HKEY_CURRENT_USER, !k64Bit, peer}};
    const struct {
        const wchar_t* options;
        bool onPeer;
        bool registered[4];  // in the order above
    } steps[] = {
        {L"", false, {true, false, false, false}},
        {kUser, false, {true, false, true, false}},
        {L"", true, {true, true, true, false}},
        {L"/u", false, {false, true, true, false}},
        {kUser, true, {false, true, true, true}},
        {L"", false, {true, true, true, true}},
        {L"/u", true, {true, false, true, true}},
        {L"/u /n /i:user", false, {true, false, false, true}},
        {L"/u", false, {false, false, false, true}},
        {L"/u /n /i:user", true, {false, false, false, false}},
    };
    struct Cleanup {  // whatever a failing step leaves goes, so that no later test finds it
        std::wstring peer;
        ~Cleanup() {
            for (const wchar_t* options : {L"/u", L"/u /n /i:user"})
                for (const std::wstring& dll : {dllPath(), peer})
                    if (!dll.empty()) regsvr32(options, dll);
        }
    } cleanup{peer};
    for (const auto& step : steps) {
        if (step.onPeer && peer.empty()) continue;
        const std::wstring label = std::wstring(L"after regsvr32 ") + step.options +
                                   (step.onPeer ? L" of the other" : L" of this one");
        ASSERT_EQ(regsvr32(step.options, step.onPeer ? peer : dllPath()), 0u) << label.c_str();
        for (int i = 0; i < 4; ++i) {
            const auto& r = registrations[i];
            if (r.dll.empty()) continue;
            EXPECT_EQ(registeredWhole(r.root, r.bits64, r.dll), step.registered[i])
                << label.c_str() << ", registration " << i;
            if (r.root == HKEY_LOCAL_MACHINE) {
                EXPECT_EQ(scriptCreates(r.bits64), step.registered[i])
                    << label.c_str() << ", " << (r.bits64 ? 64 : 32) << "-bit script";
            }
        }
        if (&step == &steps[1]) {
            // The system's class lookup here reads no per-user classes, so the per-user
            // registration shows itself whole by being the machine's, key for key.
            EXPECT_EQ(registration(HKEY_CURRENT_USER, k64Bit),
                      registration(HKEY_LOCAL_MACHINE, k64Bit));
        }
    }
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const bool bits64 : {false, true})
            EXPECT_TRUE(registration(root, bits64).empty()) << "left behind";
}

}  // namespace
}  // namespace gaugekit::testing
