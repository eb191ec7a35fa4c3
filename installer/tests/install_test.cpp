// The release as a user meets it, in a Wine prefix that has never seen it: the real setup run
// silently and through its pages, the installed programs and control used from where they landed,
// and the uninstaller leaving nothing of ours behind. scripts/install-tests runs it with the setup
// program's path in MOVARIX_SETUP.
#include <ocidl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frm_main.h"
#include "version.h"
#include "win32/handles.h"
#include "win32/tests/e2e_host.h"
#include "win32/tests/ui_testing.h"

namespace {

namespace fs = std::filesystem;
using e2e::utf8;

const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PRODUCT_NAME;
constexpr char kList[] = "1|1|Codecs folder|codecs\r\n2|3|Temporary folder|C:\\Movarix\\tmp\r\n";

fs::path localAppData() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(buffer) : fs::path();
}

fs::path ownFolder() {
    return localAppData() / L"Programs" / PRODUCT_NAME;
}

bool runs64BitCode() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// Opened where it really lies: from this 32-bit test, the 64-bit view of the registry holds every
// key at its own name.
win::Key openKey(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY) {
    HKEY raw = nullptr;
    RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &raw);
    return win::Key(raw);
}

std::wstring readString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    const win::Key opened = openKey(root, key);
    return opened && RegGetValueW(opened.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer,
                                  &bytes) == ERROR_SUCCESS
               ? buffer
               : L"<absent>";
}

bool recordHost(const std::wstring& folder) {
    return RegSetKeyValueW(
               HKEY_CURRENT_USER, L"Software\\movarix\\plugins", L"tmp", REG_SZ, folder.c_str(),
               static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The file's fixed version and the ProductVersion of its first translation, or why not.
std::string versionOf(const fs::path& file) {
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* language = nullptr;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (info.empty() ||
        !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        !VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&language), &length) ||
        length < 4)
        return "no version resource";
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", language[0], language[1]);
    if (!VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&text), &length))
        return "no ProductVersion";
    char numbers[64];
    snprintf(numbers, sizeof numbers, "%u.%u.%u.%u ", unsigned{HIWORD(fixed->dwFileVersionMS)},
             unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
             unsigned{LOWORD(fixed->dwFileVersionLS)});
    return numbers + utf8(text);
}

struct Outcome {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;  // standard output and error
};

// Runs a command line with its standard output and error collected, until it and every process it
// started have ended: the uninstaller goes on in a copy of itself, so that it can delete its own
// file.
Outcome run(std::wstring commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return {STILL_ACTIVE, "no pipe"};
    const win::KernelHandle readEnd(readRaw), job(CreateJobObjectW(nullptr, nullptr));
    win::KernelHandle writeEnd(writeRaw);
    SetHandleInformation(readRaw, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeRaw;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
        return {STILL_ACTIVE, "could not start: error " + std::to_string(GetLastError())};
    const win::KernelHandle process(info.hProcess), thread(info.hThread);
    AssignProcessToJobObject(job.get(), info.hProcess);
    ResumeThread(info.hThread);
    writeEnd.reset();  // reading ends when the last process that holds it does

    Outcome result;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        result.output.append(chunk, got);
    WaitForSingleObject(process.get(), 60000);
    GetExitCodeProcess(process.get(), &result.exitCode);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
    if (!e2e::waitUntil([&] {
            return QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation,
                                             &counts, sizeof counts, nullptr) &&
                   counts.ActiveProcesses == 0;
        }))
        result.output += "[processes it started were still running]";
    return result;
}

std::wstring quoted(const fs::path& path) {
    return L"\"" + path.native() + L"\"";
}

// What an install may change, so that an uninstall or a refused install can be checked to leave
// exactly what was there: every file of the folder and of the user's local application data
// (without its temp folder, where setup unpacks and the tests work), and the keys of the user's
// classes and installed programs.
std::set<std::wstring> snapshot(const fs::path& folder) {
    std::set<std::wstring> entries;
    const fs::path local = localAppData();
    for (const fs::path& root : {folder, local}) {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (root == local && it.depth() == 0 && it->path().filename() == L"Temp") {
                it.disable_recursion_pending();
                continue;
            }
            const auto size = it->is_regular_file() ? it->file_size() : 0;
            entries.insert(it->path().native() + L" " + std::to_wstring(size));
        }
    }
    const std::function<void(const std::wstring&)> keys = [&](const std::wstring& path) {
        const win::Key key = openKey(HKEY_CURRENT_USER, path);
        if (!key) return;
        entries.insert(L"HKCU\\" + path);
        wchar_t name[256];
        for (DWORD i = 0, length = 256; RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr,
                                                      nullptr, nullptr) == ERROR_SUCCESS;
             ++i, length = 256)
            keys(path + L"\\" + name);
    };
    keys(L"Software\\Classes");
    keys(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    return entries;
}

// Each entry that one snapshot has and the other lacks, one a line.
std::string difference(const std::set<std::wstring>& before, const std::set<std::wstring>& after) {
    std::string text;
    for (const auto& entry : before)
        if (!after.count(entry)) text += "gone: " + utf8(entry) + "\n";
    for (const auto& entry : after)
        if (!before.count(entry)) text += "left: " + utf8(entry) + "\n";
    return text;
}

// A host that has recorded its folder, with a component list. Whatever a test installed is
// uninstalled after it.
class Release : public testing::Test {
  protected:
    // Containers that every Windows user's classes have, and the system's own definition of the
    // Control category, which any control may write and none may take away: a fresh Wine prefix
    // makes them only when a program first writes below them, and they would look like ours.
    static void SetUpTestSuite() {
        for (const wchar_t* key :
             {L"Software\\Classes\\CLSID", L"Software\\Classes\\Interface",
              L"Software\\Classes\\TypeLib", L"Software\\Classes\\Wow6432Node\\CLSID",
              L"Software\\Classes\\Wow6432Node\\Interface",
              L"Software\\Classes\\Component "
              L"Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}",
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
            HKEY raw = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                            nullptr, &raw, nullptr);
            const win::Key created(raw);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(fs::exists(setup_)) << "MOVARIX_SETUP names no setup program";
        std::error_code error;
        for (const auto& folder : {host_ / L"plugins", host_ / L"bin", host_ / L"tmp"})
            ASSERT_TRUE(fs::create_directories(folder, error)) << error.message();
        ASSERT_TRUE(e2e::writeFile(host_ / L"Comp_lst.dll", kList));
        ASSERT_TRUE(recordHost(host_.native()));
    }
    void TearDown() override {
        uninstall();  // what a failed test may have left installed
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\movarix");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\movarix");
    }

    Outcome install(const std::wstring& options) { return run(quoted(setup_) + L" " + options); }
    Outcome uninstall() {
        const std::wstring command =
            readString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString");
        if (command == L"<absent>") return {STILL_ACTIVE, "no uninstall entry"};
        return run(command);
    }

    const fs::path setup_ = [] {
        const char* path = std::getenv("MOVARIX_SETUP");
        return path ? e2e::builtProgram(path) : fs::path();
    }();
    const e2e::TempFolder temp_;
    const fs::path host_ = temp_.path() / L"Movarix 4 (x86) & Co";
};

// The user's classes alone lead a client to the control: the ProgID names the class, the class of
// each bitness names that bitness's installed library (64-bit Windows keeps the 32-bit view apart),
// and the host's 32-bit library makes the control. This is COM's own look-up step by step, because
// Wine's COM reads only the machine's classes.
void expectUserClassServes() {
    const std::wstring clsid = readString(
        HKEY_CURRENT_USER, L"Software\\Classes\\Project1.XP_ProgressBar\\CLSID", nullptr);
    CLSID id{};
    ASSERT_EQ(CLSIDFromString(clsid.c_str(), &id), S_OK) << utf8(clsid);
    const fs::path x86 = ownFolder() / L"x86" / L"gaugekit.dll";
    std::vector<std::pair<std::wstring, fs::path>> servers = {
        {runs64BitCode() ? L"Wow6432Node\\CLSID\\" : L"CLSID\\", x86}};
    if (runs64BitCode()) servers.emplace_back(L"CLSID\\", ownFolder() / L"x64" / L"gaugekit.dll");
    for (const auto& [classes, library] : servers)
        EXPECT_EQ(
            readString(HKEY_CURRENT_USER,
                       L"Software\\Classes\\" + classes + clsid + L"\\InprocServer32", nullptr),
            library.native())
            << utf8(classes);
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        for (const std::wstring& key :
             {L"CLSID\\" + clsid, std::wstring(L"Project1.XP_ProgressBar")})
            EXPECT_FALSE(openKey(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + key, view))
                << "machine-wide " << utf8(key);

    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const HMODULE module = LoadLibraryW(x86.c_str());
    ASSERT_TRUE(module) << "error " << GetLastError();
    const auto getClassObject =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    {
        win::ComPtr<IClassFactory> factory;
        win::ComPtr<IDispatch> bar;
        EXPECT_TRUE(getClassObject &&
                    getClassObject(id, IID_IClassFactory,
                                   reinterpret_cast<void**>(factory.put())) == S_OK &&
                    factory->CreateInstance(nullptr, IID_IDispatch,
                                            reinterpret_cast<void**>(bar.put())) == S_OK);
    }
    // Let go of it, or the uninstaller could not remove it.
    FreeLibrary(module);
    CoUninitialize();
}

// The installed splitter finds the host from where it landed: Start! with a movie chosen writes its
// job script into the host's tmp folder.
void expectSplitterServesHost(const fs::path& host) {
    using clipcutter::FrmMain;
    const fs::path script = host / L"tmp" / L"split.bat";
    {
        const e2e::Process app(host / L"plugins" / L"clipcutter.exe");
        const HWND main = e2e::waitForWindow(app.id(), L"Movarix Plugin ID:4401 - AVI Splitter");
        ASSERT_TRUE(main) << "the splitter did not show its window";
        ASSERT_TRUE(e2e::setText(GetDlgItem(main, FrmMain::lb_path), L"C:\\media\\clip.avi"));
        e2e::press(GetDlgItem(main, FrmMain::Command4));
        EXPECT_TRUE(e2e::waitUntil([&] { return fs::exists(script); })) << "no script in tmp";
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0));
    }
    // The script is the host's, not ours: it goes before what is left is counted.
    EXPECT_TRUE(e2e::waitUntil([&] {
        std::error_code error;
        return fs::remove(script, error) || !fs::exists(script);
    }));
}

TEST_F(Release, InstallsServesTheHostUpgradesAndUninstallsWithoutATrace) {
    // The upgrade moves the editor to another list; the first install's copy goes.
    const fs::path otherList = temp_.path() / L"lists";
    std::error_code error;
    ASSERT_TRUE(fs::create_directories(otherList, error));
    ASSERT_TRUE(e2e::writeFile(otherList / L"Comp_lst.dll", kList));
    const auto before = snapshot(host_), beforeOther = snapshot(otherList);

    const Outcome installed = install(L"/S");
    ASSERT_EQ(installed.exitCode, 0u) << installed.output;
    EXPECT_EQ(installed.output, "");
    // Every file where its user looks for it, carrying the project's version.
    std::vector<fs::path> files = {setup_,
                                   host_ / L"plugins" / L"clipcutter.exe",
                                   host_ / L"plugins" / L"clipjoiner.exe",
                                   host_ / L"partroster.exe",
                                   ownFolder() / L"x86" / L"gaugekit.dll",
                                   ownFolder() / L"uninstall.exe"};
    if (runs64BitCode()) files.push_back(ownFolder() / L"x64" / L"gaugekit.dll");
    for (const auto& file : files)
        EXPECT_EQ(versionOf(file), PRODUCT_VERSION_TEXT ".0 " PRODUCT_VERSION_TEXT) << file;
    ASSERT_NO_FATAL_FAILURE(expectUserClassServes());
    ASSERT_NO_FATAL_FAILURE(expectSplitterServesHost(host_));
    // In the user's list of installed programs, with version and publisher.
    const std::pair<const wchar_t*, std::wstring> entry[] = {
        {L"DisplayName", L"" PRODUCT_NAME},
        {L"DisplayVersion", L"" PRODUCT_VERSION_TEXT},
        {L"Publisher", L"" PRODUCT_PUBLISHER},
        {L"UninstallString", quoted(ownFolder() / L"uninstall.exe")},
    };
    for (const auto& [name, value] : entry)
        EXPECT_EQ(readString(HKEY_CURRENT_USER, kUninstallKey, name), value) << utf8(name);

    const Outcome upgraded = install(L"/S /LIST=\"" + otherList.native() + L"\"");
    ASSERT_EQ(upgraded.exitCode, 0u) << upgraded.output;
    EXPECT_TRUE(fs::exists(otherList / L"partroster.exe"));
    EXPECT_FALSE(fs::exists(host_ / L"partroster.exe"));
    EXPECT_TRUE(fs::exists(host_ / L"plugins" / L"clipjoiner.exe"));
    ASSERT_NO_FATAL_FAILURE(expectUserClassServes());

    const Outcome removed = uninstall();
    EXPECT_EQ(removed.exitCode, 0u) << removed.output;
    EXPECT_EQ(difference(before, snapshot(host_)), "");
    EXPECT_EQ(difference(beforeOther, snapshot(otherList)), "");
    EXPECT_EQ(win::testing::fileBytes(host_ / L"Comp_lst.dll"), kList);
}

TEST_F(Release, SilentInstallRefusesWhatIsNoHostOrListSaysWhyAndChangesNothing) {
    const fs::path empty = temp_.path() / L"empty";
    std::error_code error;
    ASSERT_TRUE(fs::create_directories(empty, error));
    const struct {
        const char* what;
        std::wstring recordedHost;  // empty: none recorded
        std::wstring options;
        const char* says;
    } cases[] = {
        {"no host recorded", L"", L"/S", "Movarix has recorded no installation folder"},
        {"recorded host gone", (temp_.path() / L"gone").native(), L"/S",
         "is not a Movarix installation folder"},
        {"chosen folder no host", host_.native(), L"/S /D=" + empty.native(),
         "is not a Movarix installation folder"},
        {"chosen list folder without list", host_.native(), L"/S /LIST=\"" + empty.native() + L"\"",
         "holds no component list Comp_lst.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\movarix");
        if (!c.recordedHost.empty()) {
            ASSERT_TRUE(recordHost(c.recordedHost));
        }
        const auto before = snapshot(host_);
        const Outcome refused = install(c.options);
        EXPECT_EQ(refused.exitCode, 2u) << refused.output;
        EXPECT_NE(refused.output.find(c.says), std::string::npos) << refused.output;
        EXPECT_EQ(difference(before, snapshot(host_)), "");
    }
}

TEST_F(Release, AsksForTheHostFolderWhenNoneIsRecorded) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\movarix");
    const e2e::Process setup(setup_);
    // The pages add an empty subcaption to the caption: a space.
    const HWND window =
        e2e::waitForWindow(setup.id(), L"" PRODUCT_NAME L" " PRODUCT_VERSION_TEXT L" Setup ");
    ASSERT_TRUE(window) << "setup showed no window";
    const HWND next = GetDlgItem(window, IDOK);

    // The Movarix folder page: nothing to offer, so the user names it.
    HWND folder = nullptr;
    ASSERT_TRUE(e2e::waitUntil([&] { return (folder = e2e::visibleDescendant(window, L"Edit")); }));
    EXPECT_EQ(e2e::textOf(folder), L"");
    ASSERT_TRUE(e2e::setText(folder, host_.native()));
    e2e::press(next);

    // The list page offers the Movarix folder, where the list is.
    HWND list = nullptr;
    ASSERT_TRUE(e2e::waitUntil([&] {
        list = e2e::visibleDescendant(window, L"Edit");
        return list && list != folder;
    })) << "the component list page did not follow";
    EXPECT_EQ(e2e::textOf(list), host_.native());
    e2e::press(next);

    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::textOf(next) == L"&Finish"; }))
        << utf8(e2e::visibleTexts(window));
    e2e::press(next);
    EXPECT_EQ(setup.waitForExit(10000), std::optional<DWORD>(0));
    EXPECT_TRUE(fs::exists(host_ / L"plugins" / L"clipcutter.exe"));
    EXPECT_TRUE(fs::exists(host_ / L"partroster.exe"));
}

}  // namespace
