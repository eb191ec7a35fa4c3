// The release as a user meets it, in a Wine prefix that has never seen it: the real setup run
// silently and through its pages, the installed programs and control used from where they
// landed, and the uninstaller leaving nothing of ours behind. scripts/install-tests runs it with
// the setup program's path in MOVARIX_SETUP.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dlg_add.h"
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
const std::wstring kHostKey = L"Software\\movarix\\plugins";
const std::wstring kProgId = L"Project1.XP_ProgressBar";
constexpr char kList[] = "1|1|Codecs folder|codecs\r\n2|3|Temporary folder|C:\\Movarix\\tmp\r\n";

fs::path setupProgram() {
    const char* path = std::getenv("MOVARIX_SETUP");
    return path ? e2e::builtProgram(path) : fs::path();
}

fs::path knownFolder(const wchar_t* variable) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(variable, buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(buffer) : fs::path();
}

fs::path ownFolder() {
    return knownFolder(L"LOCALAPPDATA") / L"Programs" / PRODUCT_NAME;
}

bool runs64BitCode() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// A string value, read where it really lies: from this 32-bit test, the 64-bit view of the
// registry holds every key at its own name.
std::wstring readString(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
        return L"<absent>";
    const win::Key handle(raw);
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(handle.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}

bool keyExists(HKEY root, const std::wstring& key, REGSAM view = 0) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &raw) != ERROR_SUCCESS) return false;
    RegCloseKey(raw);
    return true;
}

bool recordHost(const std::wstring& folder) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kHostKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &raw, nullptr) != ERROR_SUCCESS)
        return false;
    const win::Key key(raw);
    const auto bytes = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), L"tmp", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(folder.c_str()), bytes) == ERROR_SUCCESS;
}

// The file's version as its version resource gives it, fixed part and text, or why not.
std::string versionOf(const fs::path& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> info(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, info.data()))
        return "no version resource";
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* translation = nullptr;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        !VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < 4)
        return "no fixed version or translation";
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation[0],
             translation[1]);
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

// Runs a command line with its standard output and error collected, until it and every process
// it started have ended: the uninstaller goes on in a copy of itself, so that it can delete
// its own file.
Outcome run(std::wstring commandLine) {
    Outcome result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return result;
    const win::KernelHandle readEnd(readRaw);
    win::KernelHandle writeEnd(writeRaw);
    SetHandleInformation(readRaw, HANDLE_FLAG_INHERIT, 0);
    const win::KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeRaw;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        result.output = "could not start: error " + std::to_string(GetLastError());
        return result;
    }
    const win::KernelHandle process(info.hProcess);
    const win::KernelHandle thread(info.hThread);
    AssignProcessToJobObject(job.get(), info.hProcess);
    ResumeThread(info.hThread);
    writeEnd.reset();  // reading ends when the last process that holds it does

    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        result.output.append(chunk, got);
    WaitForSingleObject(process.get(), 60000);
    GetExitCodeProcess(process.get(), &result.exitCode);
    const bool allEnded = e2e::waitUntil([&] {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
        return QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &counts,
                                         sizeof counts, nullptr) &&
               counts.ActiveProcesses == 0;
    });
    if (!allEnded) result.output += "[processes it started were still running]";
    return result;
}

std::wstring quoted(const fs::path& path) {
    return L"\"" + path.native() + L"\"";
}

// What an install may change, so that an uninstall or a refused install can be checked to leave
// exactly what was there: every file of the host and of the user's local application data
// (without its temp folder, where setup unpacks and the tests work), and the keys of the user's
// classes and installed programs.
std::set<std::wstring> snapshot(const fs::path& host) {
    std::set<std::wstring> entries;
    const fs::path local = knownFolder(L"LOCALAPPDATA");
    for (const fs::path& root : {host, local}) {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error) break;
            if (root == local && it.depth() == 0 && it->path().filename() == L"Temp") {
                it.disable_recursion_pending();
                continue;
            }
            const auto size = it->is_regular_file() ? it->file_size() : 0;
            entries.insert(it->path().native() + L" " + std::to_wstring(size));
        }
    }
    const std::function<void(const std::wstring&)> keys = [&](const std::wstring& path) {
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &raw) !=
            ERROR_SUCCESS)
            return;
        const win::Key key(raw);
        entries.insert(L"HKCU\\" + path);
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            keys(path + L"\\" + name);
        }
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

// A host that has recorded its folder, with a component list and an encoder that writes down
// its calls, and a movie to split outside it. Whatever a test installed is uninstalled after it.
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
              L"Software\\Classes\\Component Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}",
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}) {
            HKEY raw = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                nullptr, &raw, nullptr) == ERROR_SUCCESS)
                RegCloseKey(raw);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(fs::exists(setup_)) << "MOVARIX_SETUP names no setup program";
        std::error_code error;
        for (const auto& folder : {host_ / L"plugins", host_ / L"bin", host_ / L"tmp", media_})
            ASSERT_TRUE(fs::create_directories(folder, error)) << error.message();
        ASSERT_TRUE(e2e::writeFile(host_ / L"Comp_lst.dll", kList));
        ASSERT_TRUE(fs::copy_file(e2e::builtProgram(RECORDING_ENCODER_EXE),
                                  host_ / L"bin" / L"mencoder.exe", error))
            << error.message();
        ASSERT_TRUE(e2e::writeFile(media_ / L"clip.avi", "RIFF"));
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
            readString(HKEY_CURRENT_USER, kUninstallKey.c_str(), L"QuietUninstallString");
        if (command == L"<absent>") return {STILL_ACTIVE, "no uninstall entry"};
        return run(command);
    }

    const fs::path setup_ = setupProgram();
    const e2e::TempFolder temp_;
    const fs::path host_ = temp_.path() / L"Movarix 4 (x86) & Co";
    const fs::path media_ = temp_.path() / L"media";
};

// Sets the control's Value to 60 by name and reads it back, as a late-bound client does.
void expectValueByName(IDispatch* bar) {
    LPOLESTR name = const_cast<LPOLESTR>(L"Value");
    DISPID value = 0;
    ASSERT_EQ(bar->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &value), S_OK);
    VARIANT argument{};
    argument.vt = VT_I4;
    argument.lVal = 60;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&argument, &named, 1, 1};
    EXPECT_EQ(bar->Invoke(value, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr,
                          nullptr, nullptr),
              S_OK);
    VARIANT result{};
    DISPPARAMS none{};
    EXPECT_EQ(bar->Invoke(value, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 60);
}

// The user's classes alone lead a client to the control: the ProgID names the class, the class
// of each bitness names that bitness's installed library (64-bit Windows keeps the 32-bit view
// apart), and the host's 32-bit library makes a control that takes its Value by name. This is
// COM's own look-up step by step, because Wine's COM reads only the machine's classes.
void expectUserClassServes() {
    const std::wstring clsidText =
        readString(HKEY_CURRENT_USER, L"Software\\Classes\\" + kProgId + L"\\CLSID", nullptr);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(clsidText.c_str(), &clsid), S_OK) << utf8(clsidText);
    std::vector<std::pair<std::wstring, fs::path>> servers = {
        {runs64BitCode() ? L"Software\\Classes\\Wow6432Node\\CLSID\\"
                         : L"Software\\Classes\\CLSID\\",
         ownFolder() / L"x86" / L"gaugekit.dll"}};
    if (runs64BitCode())
        servers.emplace_back(L"Software\\Classes\\CLSID\\", ownFolder() / L"x64" / L"gaugekit.dll");
    for (const auto& [classes, library] : servers)
        EXPECT_EQ(readString(HKEY_CURRENT_USER, classes + clsidText + L"\\InprocServer32", nullptr),
                  library.native())
            << utf8(classes);
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        EXPECT_FALSE(
            keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + clsidText, view));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kProgId, view));
    }

    const HMODULE module = LoadLibraryW(servers.front().second.c_str());
    ASSERT_TRUE(module) << "error " << GetLastError();
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_TRUE(getClassObject);
    {
        win::ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
                  S_OK);
        win::ComPtr<IDispatch> bar;
        ASSERT_EQ(
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(bar.put())),
            S_OK);
        expectValueByName(bar.get());
    }
    FreeLibrary(module);
}

// The installed splitter, used as a person would: one part of a movie, then Start!. Its job
// script must reach the host's tmp folder and the host's encoder.
void expectSplitterServesHost(const fs::path& host, const fs::path& movie) {
    using clipcutter::DlgAdd;
    using clipcutter::FrmMain;
    const e2e::Process app(host / L"plugins" / L"clipcutter.exe");
    ASSERT_TRUE(app.started()) << "error " << GetLastError();
    const HWND main = e2e::waitForWindow(app.id(), L"Movarix Plugin ID:4401 - AVI Splitter");
    ASSERT_TRUE(main) << "the splitter did not show its window";

    e2e::press(GetDlgItem(main, FrmMain::Command1));
    const HWND open = e2e::waitForWindow(app.id(), L"Select input file");
    ASSERT_TRUE(open) << "no file-open dialog";
    HWND fileName = nullptr;
    ASSERT_TRUE(e2e::waitUntil([&] { return (fileName = e2e::visibleDescendant(open, L"Edit")); }));
    ASSERT_TRUE(e2e::setText(fileName, movie.native()));
    e2e::press(GetDlgItem(open, IDOK));
    ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(open); })) << "the file-open dialog stayed";

    e2e::press(GetDlgItem(main, FrmMain::Command2));
    const HWND add = e2e::waitForWindow(app.id(), L"Add Part");
    ASSERT_TRUE(add) << "no Add Part dialog";
    const int fields[] = {DlgAdd::txt_hr,     DlgAdd::txt_min,     DlgAdd::txt_sec,
                          DlgAdd::txt_hr_end, DlgAdd::txt_min_end, DlgAdd::txt_sec_end};
    const wchar_t* values[] = {L"00", L"00", L"05", L"00", L"00", L"15"};
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(e2e::setText(GetDlgItem(add, fields[i]), values[i]));
    e2e::press(GetDlgItem(add, DlgAdd::OKButton));
    const HWND list = GetDlgItem(main, FrmMain::List1);
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::ask(list, LB_GETCOUNT) == 1; }));

    e2e::press(GetDlgItem(main, FrmMain::Command4));
    const fs::path log = host / L"bin" / L"calls.log";
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::recordedCalls(log).size() == 1; }))
        << "the host's encoder was not called";
    EXPECT_TRUE(fs::exists(host / L"tmp" / L"split.bat"));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.waitForExit(10000), std::optional<DWORD>(0));
    // What the use made is the host's, not ours: take it away before counting what is left.
    std::error_code error;
    fs::remove(host / L"tmp" / L"split.bat", error);
    fs::remove(log, error);
}

TEST_F(Release, InstallsForTheUserServesTheHostAndUninstallsWithoutATrace) {
    const auto before = snapshot(host_);
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
    const std::string version = std::string(PRODUCT_VERSION_TEXT ".0 ") + PRODUCT_VERSION_TEXT;
    for (const auto& file : files) EXPECT_EQ(versionOf(file), version) << file;

    // Registered for this user only, and usable by the host's bitness.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    expectUserClassServes();
    CoUninitialize();

    ASSERT_NO_FATAL_FAILURE(expectSplitterServesHost(host_, media_ / L"clip.avi"));

    // In the user's list of installed programs, with version and publisher.
    const struct {
        const wchar_t* name;
        std::wstring value;
    } entry[] = {
        {L"DisplayName", L"" PRODUCT_NAME},
        {L"DisplayVersion", L"" PRODUCT_VERSION_TEXT},
        {L"Publisher", L"" PRODUCT_PUBLISHER},
        {L"UninstallString", quoted(ownFolder() / L"uninstall.exe")},
    };
    for (const auto& value : entry)
        EXPECT_EQ(readString(HKEY_CURRENT_USER, kUninstallKey, value.name), value.value)
            << utf8(value.name);

    const Outcome removed = uninstall();
    EXPECT_EQ(removed.exitCode, 0u) << removed.output;
    EXPECT_EQ(difference(before, snapshot(host_)), "");
    EXPECT_EQ(win::testing::fileBytes(host_ / L"Comp_lst.dll"), kList);
}

TEST_F(Release, InstallingOverAnInstallKeepsOneWorkingInstall) {
    const auto before = snapshot(host_);
    // The second install moves the editor to another list; the first one's copy goes.
    const fs::path otherList = temp_.path() / L"lists";
    std::error_code error;
    ASSERT_TRUE(fs::create_directories(otherList, error));
    ASSERT_TRUE(e2e::writeFile(otherList / L"Comp_lst.dll", kList));
    const auto beforeOther = snapshot(otherList);

    for (const std::wstring& options :
         {std::wstring(L"/S"), L"/S /LIST=\"" + otherList.native() + L"\""}) {
        const Outcome installed = install(options);
        ASSERT_EQ(installed.exitCode, 0u) << utf8(options) << "\n" << installed.output;
    }
    EXPECT_TRUE(fs::exists(otherList / L"partroster.exe"));
    EXPECT_FALSE(fs::exists(host_ / L"partroster.exe"));
    EXPECT_TRUE(fs::exists(host_ / L"plugins" / L"clipjoiner.exe"));
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    expectUserClassServes();
    CoUninitialize();

    const Outcome removed = uninstall();
    EXPECT_EQ(removed.exitCode, 0u) << removed.output;
    EXPECT_EQ(difference(before, snapshot(host_)), "");
    EXPECT_EQ(difference(beforeOther, snapshot(otherList)), "");
}

TEST_F(Release, SilentInstallRefusesWhatIsNoHostOrListSaysWhyAndChangesNothing) {
    const fs::path emptyFolder = temp_.path() / L"empty";
    std::error_code error;
    ASSERT_TRUE(fs::create_directories(emptyFolder, error));
    const struct {
        const char* what;
        std::wstring recordedHost;  // empty: none recorded
        std::wstring options;
        const char* says;
    } cases[] = {
        {"no host recorded", L"", L"/S", "Movarix has recorded no installation folder"},
        {"recorded host gone", (temp_.path() / L"gone").native(), L"/S",
         "is not a Movarix installation folder"},
        {"chosen folder no host", host_.native(), L"/S /D=" + emptyFolder.native(),
         "is not a Movarix installation folder"},
        {"chosen list folder without list", host_.native(),
         L"/S /LIST=\"" + emptyFolder.native() + L"\"", "holds no component list Comp_lst.dll"},
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
    ASSERT_TRUE(setup.started());
    // The pages add an empty subcaption to the caption: a space.
    const std::wstring caption = L"" PRODUCT_NAME L" " PRODUCT_VERSION_TEXT L" Setup ";
    const HWND window = e2e::waitForWindow(setup.id(), caption);
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
