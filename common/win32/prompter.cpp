#include "win32/prompter.h"

namespace win {

namespace {

std::wstring systemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"Unknown error.";
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

}  // namespace

std::wstring reportText(const RuntimeError& error) {
    std::wstring text = error.operation + L" failed.";
    if (!error.path.empty()) text += L"\n\n" + error.path;
    text += L"\n\n";
    if (error.code != 0)
        text += L"Error " + std::to_wstring(error.code) + L": " + systemErrorText(error.code);
    else
        text += error.description;
    return text;
}

void MessageBoxPrompter::message(const std::wstring& text, MessageIcon icon) {
    const UINT type = MB_OK | (icon == MessageIcon::Information ? MB_ICONINFORMATION : 0);
    MessageBoxW(owner_, text.c_str(), title_.c_str(), type);
}

bool MessageBoxPrompter::ask(const std::wstring& question) {
    return MessageBoxW(owner_, question.c_str(), title_.c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

void MessageBoxPrompter::runtimeError(const RuntimeError& error) {
    MessageBoxW(owner_, reportText(error).c_str(), title_.c_str(), MB_OK | MB_ICONERROR);
    ExitProcess(error.code != 0 ? error.code : 1);
}

}  // namespace win
