// gaugekit.dll registered by the system's regsvr32, machine-wide and per user, 32- and 64-bit
// side by side, and every registration removed again without harm to the others.
#include <comcat.h>

#include <algorithm>
#include <cwctype>
#include <map>

#include "com_support.h"

namespace gaugekit::testing {
namespace {

constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
constexpr wchar_t kUser[] = L"/n /i:user";

bool windows64() {
    BOOL wow = FALSE;
    return k64Bit || (IsWow64Process(GetCurrentProcess(), &wow) && wow);
}

// The classes of a root as Windows lays them out: CLSID and Interface once per bitness (the
// 32-bit ones under Wow6432Node on 64-bit Windows), everything else shared. Read in the 64-bit
// view by full path.
std::wstring classes(bool bits64, const std::wstring& key) {
    const bool perBitness = key.rfind(L"CLSID\\", 0) == 0 || key.rfind(L"Interface\\", 0) == 0;
    return perBitness && !bits64 && windows64() ? L"Software\\Classes\\Wow6432Node\\" + key
                                                : L"Software\\Classes\\" + key;
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Every value below the key, as "subkey|name=data", the key's own path left out.
void dump(HKEY root, const std::wstring& key, const std::wstring& relative,
          std::map<std::wstring, std::wstring>& out) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
        return;
    const win::Key handle(raw);
    wchar_t name[256];
    wchar_t data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256, bytes = sizeof(data) - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(raw, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                          &bytes) != ERROR_SUCCESS)
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

struct Root {
    HKEY key;
    const wchar_t* options;  // regsvr32's options for this scope
    const char* name;
};
const Root kMachine{HKEY_LOCAL_MACHINE, L"", "machine"};
const Root kUserRoot{HKEY_CURRENT_USER, kUser, "user"};

std::wstring classKey() {
    return L"CLSID\\" + guidText(CLSID_XP_ProgressBar);
}
std::wstring libraryKey() {
    return L"TypeLib\\" + guidText(LIBID_Project1);
}
std::vector<std::wstring> interfaceKeys() {
    return {L"Interface\\" + guidText(IID__XP_ProgressBar),
            L"Interface\\" + guidText(DIID___XP_ProgressBar)};
}

// The registration of one bitness in a root, key by key, as "key|name=data".
std::map<std::wstring, std::wstring> registration(HKEY root, bool bits64) {
    std::map<std::wstring, std::wstring> values;
    std::vector<std::wstring> keys = {classKey(), L"Project1.XP_ProgressBar", libraryKey()};
    for (const auto& key : interfaceKeys()) keys.push_back(key);
    for (const auto& key : keys) dump(root, classes(bits64, key), key, values);
    return values;
}

std::wstring at(const std::map<std::wstring, std::wstring>& values, const std::wstring& key) {
    const auto found = values.find(lower(key));
    return found == values.end() ? L"<absent>" : found->second;
}

enum class State { absent, complete, partial };

// Whether the bitness's module is registered whole in the root, not at all, or in part.
State stateOf(HKEY root, bool bits64, const std::wstring& dll) {
    const auto values = registration(root, bits64);
    const std::wstring clsid = classKey();
    const std::wstring file =
        libraryKey() + L"\\1.0\\409\\" + (bits64 ? L"win64" : L"win32") + L"|";
    const bool classThere = at(values, clsid + L"\\InprocServer32|") != L"<absent>";
    const bool fileThere = at(values, file) != L"<absent>";
    bool interfacesThere = false;
    for (const auto& key : interfaceKeys())
        interfacesThere |= at(values, key + L"\\TypeLib|") != L"<absent>";
    if (!classThere && !fileThere && !interfacesThere) return State::absent;
    bool whole = lower(at(values, clsid + L"\\InprocServer32|")) == lower(dll) &&
                 at(values, clsid + L"\\InprocServer32|ThreadingModel") == L"Apartment" &&
                 at(values, clsid + L"\\Implemented Categories\\" + kControlCategory) == L"" &&
                 at(values, L"Project1.XP_ProgressBar\\CLSID|") == guidText(CLSID_XP_ProgressBar) &&
                 lower(at(values, file)) == lower(dll);
    for (const auto& key : interfaceKeys())
        whole = whole && at(values, key + L"\\TypeLib|") == guidText(LIBID_Project1);
    return whole ? State::complete : State::partial;
}

// Whether a script host of that bitness creates the control by its ProgID.
bool scriptCreates(bool bits64) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring script = std::wstring(folder) + L"gaugekit_create.js";
    {
        const win::FileHandle file(CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const char text[] =
            "try { WScript.Echo('Max ' + new ActiveXObject('Project1.XP_ProgressBar').Max); }\r\n"
            "catch (e) { WScript.Echo('refused'); }\r\n";
        DWORD written = 0;
        WriteFile(file.get(), text, sizeof(text) - 1, &written, nullptr);
    }
    const Outcome outcome =
        run(L"\"" + systemProgram(bits64, L"cscript.exe") + L"\" //nologo \"" + script + L"\"");
    return outcome.output.find("Max 100") != std::string::npos;
}

class Registry : public Com {};

TEST_F(Registry, EachScopeHoldsAWholeRegistrationAndTakesItAllBack) {
    std::map<std::wstring, std::wstring> machine;
    for (const Root& root : {kMachine, kUserRoot}) {
        const Root& other = root.key == HKEY_LOCAL_MACHINE ? kUserRoot : kMachine;
        ASSERT_EQ(regsvr32(root.options), 0u) << root.name;
        EXPECT_EQ(stateOf(root.key, k64Bit, dllPath()), State::complete) << root.name;
        EXPECT_EQ(stateOf(other.key, k64Bit, dllPath()), State::absent) << root.name;
        const auto values = registration(root.key, k64Bit);
        const std::wstring clsid = classKey();
        const struct {
            std::wstring key;
            std::wstring data;
        } expected[] = {
            {clsid + L"|", L"Project1.XP_ProgressBar"},
            {clsid + L"\\Control", L""},
            {clsid + L"\\MiscStatus\\1|", L"131473"},
            {clsid + L"\\ProgID|", L"Project1.XP_ProgressBar"},
            {clsid + L"\\ToolboxBitmap32|", dllPath() + L", 30000"},
            {clsid + L"\\TypeLib|", guidText(LIBID_Project1)},
            {clsid + L"\\Version|", L"1.0"},
            {libraryKey() + L"\\1.0|", L"Project1"},
            {libraryKey() + L"\\1.0\\FLAGS|", L"2"},
            {interfaceKeys()[0] + L"\\ProxyStubClsid32|",
             L"{00020424-0000-0000-C000-000000000046}"},
            {interfaceKeys()[1] + L"\\ProxyStubClsid32|",
             L"{00020420-0000-0000-C000-000000000046}"},
        };
        for (const auto& e : expected) EXPECT_EQ(at(values, e.key), e.data) << e.key.c_str();
        std::map<std::wstring, std::wstring> category;
        dump(root.key,
             std::wstring(L"Software\\Classes\\Component Categories\\") + kControlCategory, L"",
             category);
        EXPECT_EQ(at(category, L"|409"), L"Control") << root.name;

        if (root.key == HKEY_LOCAL_MACHINE) {
            machine = values;
            // Created by ProgID, and listed among the controls by the category manager.
            win::ComPtr<_XP_ProgressBar> bar;
            CLSID clsidFromProgId{};
            ASSERT_EQ(CLSIDFromProgID(L"Project1.XP_ProgressBar", &clsidFromProgId), S_OK);
            ASSERT_EQ(CoCreateInstance(clsidFromProgId, nullptr, CLSCTX_INPROC_SERVER,
                                       IID__XP_ProgressBar, reinterpret_cast<void**>(bar.put())),
                      S_OK);
            win::ComPtr<ICatInformation> categories;
            ASSERT_EQ(
                CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_ICatInformation, reinterpret_cast<void**>(categories.put())),
                S_OK);
            CATID control{};
            CLSIDFromString(kControlCategory, &control);
            win::ComPtr<IEnumCLSID> listed;
            ASSERT_EQ(categories->EnumClassesOfCategories(1, &control, 0, nullptr, listed.put()),
                      S_OK);
            bool found = false;
            CLSID next{};
            while (listed->Next(1, &next, nullptr) == S_OK)
                found |= IsEqualCLSID(next, CLSID_XP_ProgressBar) != FALSE;
            EXPECT_TRUE(found);
        } else {
            // The system's class lookup here reads no per-user classes, so the per-user
            // registration is shown whole by being the machine's, key for key.
            EXPECT_EQ(values, machine);
        }
        ASSERT_EQ(regsvr32(std::wstring(L"/u ") + root.options), 0u) << root.name;
        EXPECT_TRUE(registration(root.key, k64Bit).empty()) << root.name;
    }
}

// Each registration of this bitness and of the other, machine-wide and per user, is removed in
// turn; after each step the others are still whole and scripts of either bitness still create
// the control through a machine-wide one.
TEST_F(Registry, RemovingOneRegistrationLeavesTheOthersWorking) {
    const std::wstring peer = besidePeer(L"gaugekit.dll");
    if (peer.empty()) GTEST_SKIP() << "the other bitness's build is not beside this one";
    if (run(L"\"" + systemProgram(!k64Bit, L"cmd.exe") + L"\" /c exit 7").exitCode != 7)
        GTEST_SKIP() << "this machine runs no " << (k64Bit ? 32 : 64) << "-bit programs";
    const struct {
        const wchar_t* options;
        bool onPeer;
        // machine this bitness, machine other bitness, user this bitness, user other bitness
        bool registered[4];
    } steps[] = {
        {L"", false, {true, false, false, false}},
        {L"", true, {true, true, false, false}},
        {L"/u", false, {false, true, false, false}},
        {kUser, false, {false, true, true, false}},
        {kUser, true, {false, true, true, true}},
        {L"", false, {true, true, true, true}},
        {L"/u", true, {true, false, true, true}},
        {L"/u /n /i:user", false, {true, false, false, true}},
        {L"/u", false, {false, false, false, true}},
        {L"/u /n /i:user", true, {false, false, false, false}},
    };
    const struct {
        HKEY root;
        bool bits64;
        std::wstring dll;
    } registrations[] = {{HKEY_LOCAL_MACHINE, k64Bit, dllPath()},
                         {HKEY_LOCAL_MACHINE, !k64Bit, peer},
                         {HKEY_CURRENT_USER, k64Bit, dllPath()},
                         {HKEY_CURRENT_USER, !k64Bit, peer}};
    // Whatever a failing step leaves goes, so that no later test finds it.
    struct Cleanup {
        std::wstring peer;
        ~Cleanup() {
            for (const wchar_t* options : {L"/u", L"/u /n /i:user"})
                for (const std::wstring& dll : {dllPath(), peer}) regsvr32(options, dll);
        }
    } cleanup{peer};
    for (const auto& step : steps) {
        const std::wstring label =
            std::wstring(L"regsvr32 ") + step.options + (step.onPeer ? L" (other)" : L" (this)");
        ASSERT_EQ(regsvr32(step.options, step.onPeer ? peer : dllPath()), 0u) << label.c_str();
        for (int i = 0; i < 4; ++i) {
            const auto& r = registrations[i];
            EXPECT_EQ(stateOf(r.root, r.bits64, r.dll),
                      step.registered[i] ? State::complete : State::absent)
                << label.c_str() << ", registration " << i;
            if (r.root == HKEY_LOCAL_MACHINE) {
                EXPECT_EQ(scriptCreates(r.bits64), step.registered[i])
                    << label.c_str() << ", " << (r.bits64 ? 64 : 32) << "-bit script";
            }
        }
    }
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const bool bits64 : {false, true})
            EXPECT_TRUE(registration(root, bits64).empty()) << "left behind";
}

}  // namespace
}  // namespace gaugekit::testing
