#include "explorer/Registration.h"

#include "explorer/Module.h"

#include <shlobj.h>

#include <exception>
#include <string>

namespace {

constexpr const wchar_t* kExtension = L"Software\\Classes\\.rk4";
constexpr const wchar_t* kShellEx = L"Software\\Classes\\.rk4\\ShellEx";
constexpr const wchar_t* kExtensionHandler =
    L"Software\\Classes\\.rk4\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";

std::wstring ClassKey() {
    return std::wstring(L"Software\\Classes\\CLSID\\") + kThumbnailHandlerClassText;
}

// Sets a string value (nullptr: the key's default) of the key `path` under
// HKEY_CURRENT_USER, making the key as needed.
LSTATUS SetText(const wchar_t* path, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    RegCloseKey(key);
    return status;
}

// The default value of `path` under HKEY_CURRENT_USER, however long; empty
// when there is none.
std::wstring DefaultText(const wchar_t* path) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, path, nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, path, nullptr, RRF_RT_REG_SZ, nullptr, text.data(),
                     &bytes) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

// Deletes `path` under HKEY_CURRENT_USER when it holds no sub-key and no
// value; a key that is not there is no error.
LSTATUS DeleteIfEmpty(const wchar_t* path) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    DWORD subKeys = 0, values = 0;
    status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || subKeys != 0 || values != 0)
        return status;
    return RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

LSTATUS DeleteTree(const wchar_t* path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT HresultOf(LSTATUS status) {
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}

} // namespace

HRESULT RegisterForUser() noexcept try {
    std::wstring path;
    if (!ThisModulePath(path))
        return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring server = ClassKey() + L"\\InprocServer32";
    LSTATUS status = SetText(ClassKey().c_str(), nullptr, L"Ostrel model thumbnails");
    if (status == ERROR_SUCCESS)
        status = SetText(server.c_str(), nullptr, path);
    if (status == ERROR_SUCCESS)
        status = SetText(server.c_str(), L"ThreadingModel", L"Apartment");
    if (status == ERROR_SUCCESS)
        status = SetText(kExtensionHandler, nullptr, kThumbnailHandlerClassText);
    return HresultOf(status);
} catch (const std::exception&) {
    return E_OUTOFMEMORY;
}

HRESULT UnregisterForUser() noexcept try {
    LSTATUS status = DeleteTree(ClassKey().c_str());
    // The extension's entry only while it is this handler's: another
    // program's handler stays.
    if (status == ERROR_SUCCESS &&
        _wcsicmp(DefaultText(kExtensionHandler).c_str(), kThumbnailHandlerClassText) == 0)
        status = DeleteTree(kExtensionHandler);
    if (status == ERROR_SUCCESS)
        status = DeleteIfEmpty(kShellEx);
    if (status == ERROR_SUCCESS)
        status = DeleteIfEmpty(kExtension);
    return HresultOf(status);
} catch (const std::exception&) {
    return E_OUTOFMEMORY;
}
