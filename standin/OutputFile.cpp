#include "standin/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

namespace {

std::string Reason(const std::string& path, const char* what, int err) {
    return path + ": " + what + " (" + std::strerror(err) + ")";
}

// Puts `from` in place of `to`, replacing a file of that name.
bool Replace(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0)
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
#if defined(_WIN32)
        const int n = ::write(fd, at, static_cast<unsigned>(left < 0x40000000 ? left : 0x40000000));
#else
        const ssize_t n = ::write(fd, at, left);
#endif
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

size_t PathFolderLength(const std::string& path) {
    size_t length = 0;
#if defined(_WIN32)
    // Either slash separates; the second byte of a double-byte character of
    // the ANSI code page may be 0x5C and separates nothing.
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '/' || path[i] == '\\' || (i == 1 && path[i] == ':')) {
            length = i + 1;
        }
    }
#else
    const size_t slash = path.rfind('/');
    length = slash == std::string::npos ? 0 : slash + 1;
#endif
    return length;
}

std::string TemporaryPathFor(const std::string& path) {
    const size_t folder = PathFolderLength(path);
    return path.substr(0, folder) + "." + path.substr(folder) + ".part" +
           std::to_string(::getpid());
}

bool WriteOutputFiles(const std::vector<OutputFile>& files, std::string& error) {
    std::vector<std::string> temporaries;
    auto removeTemporaries = [&temporaries]() {
        for (const std::string& t : temporaries)
            ::unlink(t.c_str());
    };
    for (const OutputFile& file : files) {
        const std::string temporary = TemporaryPathFor(file.path);
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_BINARY, 0666);
        if (fd < 0) {
            error = Reason(file.path, "cannot create", errno);
            removeTemporaries();
            return false;
        }
        temporaries.push_back(temporary);
        const bool written = WriteAll(fd, file.bytes);
        const int writeErrno = errno;
        if (!written || ::close(fd) != 0) {
            error = Reason(file.path, "cannot write", written ? errno : writeErrno);
            removeTemporaries();
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (!Replace(temporaries[i], files[i].path)) {
            error = Reason(files[i].path, "cannot put in place", errno);
            for (size_t k = 0; k < i; ++k)
                ::unlink(files[k].path.c_str());
            removeTemporaries();
            return false;
        }
    }
    return true;
}
