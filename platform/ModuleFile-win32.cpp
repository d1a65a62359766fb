#include "platform/ModuleFile.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

namespace {

// The system's text for `code`, with its "%1" (the file) filled in.
std::string SystemMessage(DWORD code, const std::string& path) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : "";
    if (text != nullptr)
        LocalFree(text);
    // The system's messages end in a full stop and CR LF; the caller's line
    // has its own end.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    for (size_t at = message.find("%1"); at != std::string::npos;
         at = message.find("%1", at + path.size()))
        message.replace(at, 2, path);
    if (message.empty())
        message = "system error";
    return message + " (error " + std::to_string(code) + ")";
}

} // namespace

void* OpenModuleFile(const std::string& path, std::string& error) {
    // No message box of the system's for a file it cannot map; the caller
    // reports it on one line.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The altered search order is defined for a full path only.
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    const std::string name = length > 0 && length < MAX_PATH ? std::string(full) : path;
    HMODULE module = LoadLibraryExA(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (module == nullptr)
        error = SystemMessage(code, path);
    return reinterpret_cast<void*>(module);
}

void* FindModuleExport(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModuleFile(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
}

std::string ExecutableFolder() {
    // The wide name, cut at its last separator, then turned into the ANSI
    // code page the rest of the host's paths are in: cutting the ANSI form
    // at a 0x5C byte could split a double-byte character.
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return "";
    std::wstring exe(buffer.data(), n);
    const size_t slash = exe.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return "";
    const std::wstring folder = exe.substr(0, slash + 1);
    const int length = WideCharToMultiByte(
        CP_ACP, 0, folder.data(), static_cast<int>(folder.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return "";
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, folder.data(), static_cast<int>(folder.size()), ansi.data(),
                        length, nullptr, nullptr);
    return ansi;
}
