#include "platform/FileSystem.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // GetFinalPathNameByHandleA
#endif
#include <windows.h>

#include <cstdio>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system's message for `code`, without its closing full stop and line end.
std::string MessageText(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == '.' || message.back() == ' '))
        message.pop_back();
    if (message.empty())
        message = "system error " + std::to_string(code);
    return message;
}

bool Failed(std::string& error, DWORD code) {
    error = MessageText(code);
    return false;
}

// Opening a pipe's name connects to it, which would take the place of the
// client the pipe waits for: such names are only ever written to.
bool IsPipeName(const std::string& path) {
    return path.size() > 9 && (path[0] == '\\' || path[0] == '/') &&
           (path[1] == '\\' || path[1] == '/') && path[2] == '.' &&
           (path[3] == '\\' || path[3] == '/') && _strnicmp(path.c_str() + 4, "pipe", 4) == 0 &&
           (path[8] == '\\' || path[8] == '/');
}

PathKind KindFromAttributes(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return PathKind::SymbolicLink;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return PathKind::Directory;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0)
        return PathKind::CharacterDevice;
    return PathKind::Regular;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool WriteAndClose(HANDLE h, const std::string& bytes, std::string& error) {
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, at, chunk, &written, nullptr) || written == 0) {
            const DWORD code = GetLastError();
            CloseHandle(h);
            return Failed(error, code);
        }
        at += written;
        left -= written;
    }
    if (!CloseHandle(h))
        return Failed(error, GetLastError());
    return true;
}

} // namespace

PathKind PathKindOf(const std::string& path) {
    if (IsPipeName(path))
        return PathKind::Fifo;
    HANDLE h = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES ? PathKind::Missing
                                                     : KindFromAttributes(attributes);
    }
    PathKind kind = PathKind::Other;
    switch (GetFileType(h)) {
    case FILE_TYPE_CHAR:
        kind = PathKind::CharacterDevice;
        break;
    case FILE_TYPE_PIPE:
        kind = PathKind::Fifo;
        break;
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileInformationByHandle(h, &info))
            kind = KindFromAttributes(info.dwFileAttributes);
        break;
    }
    default:
        break;
    }
    CloseHandle(h);
    return kind;
}

bool IdentifyFile(const std::string& path, FileIdentity& out) {
    if (IsPipeName(path))
        return false;
    HANDLE h = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known)
        return false;
    out.volume = info.dwVolumeSerialNumber;
    out.index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    return true;
}

bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    if (PathKindOf(path) != PathKind::SymbolicLink)
        return true;
    // The system follows the whole chain when the link is opened.
    HANDLE h = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Failed(error, GetLastError());
    char buffer[MAX_PATH * 4];
    const DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= sizeof buffer)
        return Failed(error, n == 0 ? code : static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    std::string resolved(buffer, n);
    // "\\?\C:\..." for a drive letter; the plain form reads better in messages.
    if (resolved.rfind("\\\\?\\", 0) == 0 && resolved.size() > 6 && resolved[5] == ':')
        resolved.erase(0, 4);
    target = resolved;
    return true;
}

size_t NameStart(const std::string& path) {
    // Either slash separates, and a drive's colon; the second byte of a
    // double-byte character of the ANSI code page may be 0x5C and separates
    // nothing.
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '/' || path[i] == '\\' || (i == 1 && path[i] == ':')) {
            start = i + 1;
        }
    }
    return start;
}

bool CreateFolders(const std::string& path, std::string& error) {
    // The folders above are tried from the top down and may fail quietly
    // (a drive or a share cannot be created); the last one decides.
    for (size_t i = 1; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && !IsSeparator(path[i - 1]) && path[i - 1] != ':')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    if (CreateDirectoryA(path.c_str(), nullptr))
        return true;
    const DWORD code = GetLastError(); // before IsFolder replaces it
    if (IsFolder(path))
        return true;
    if (code == ERROR_ALREADY_EXISTS) {
        error = "Not a directory";
        return false;
    }
    return Failed(error, code);
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) {
    const bool ends = path.empty() || IsSeparator(path.back()) || path.back() == ':';
    const std::string pattern =
        (path.empty() ? "." : path) + (ends && !path.empty() ? "" : "\\") + "*";
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || Failed(error, code); // an empty drive
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        // A link to a folder carries the folder's attribute too.
        const DWORD attributes = found.dwFileAttributes;
        const PathKind kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory
                              : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? PathKind::Other
                                                                           : PathKind::Regular;
        entries.push_back({name, kind});
    } while (FindNextFileA(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    return code == ERROR_NO_MORE_FILES || Failed(error, code);
}

bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Failed(error, GetLastError());
    return WriteAndClose(h, bytes, error);
}

bool WriteIntoExisting(const std::string& path, const std::string& bytes, std::string& error) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Failed(error, GetLastError());
    return WriteAndClose(h, bytes, error);
}

bool WriteStandardOutput(const std::string& bytes, std::string& error) {
    // Straight to the handle: the C library's text mode would turn every
    // 0x0A byte of a binary file into CR LF.
    std::fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE || out == nullptr)
        return Failed(error,
                      out == nullptr ? static_cast<DWORD>(ERROR_INVALID_HANDLE) : GetLastError());
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(out, at, chunk, &written, nullptr) || written == 0)
            return Failed(error, GetLastError());
        at += written;
        left -= written;
    }
    return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return Failed(error, GetLastError());
    return true;
}

void RemoveFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

bool MakeScratchFolder(std::string& path, std::string& error) {
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(static_cast<DWORD>(sizeof folder), folder);
    if (length == 0 || length > MAX_PATH)
        return Failed(error, GetLastError());
    // A name of the process and a counter; a folder made by someone else
    // under the same name is passed over.
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        // Room for the final separator taken now: no allocation once the
        // folder exists, so nothing can leave it behind.
        std::string name = std::string(folder) + "ostrel-" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string(GetTickCount() + attempt) + "\\";
        name.back() = '\0';
        if (CreateDirectoryA(name.c_str(), nullptr)) {
            name.back() = '\\';
            path.swap(name);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return Failed(error, GetLastError());
    }
    return Failed(error, ERROR_ALREADY_EXISTS);
}

void RemoveFolder(const std::string& path) {
    RemoveDirectoryA(path.c_str());
}

uint64_t CurrentProcessId() {
    return GetCurrentProcessId();
}
