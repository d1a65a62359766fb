#include "standin/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string Reason(const std::string& path, const char* what, int err) {
    return path + ": " + what + " (" + std::strerror(err) + ")";
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, left);
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

std::string TemporaryPathFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".part" + std::to_string(::getpid());
}

bool WriteOutputFiles(const std::vector<OutputFile>& files, std::string& error) {
    std::vector<std::string> temporaries;
    auto removeTemporaries = [&temporaries]() {
        for (const std::string& t : temporaries)
            ::unlink(t.c_str());
    };
    for (const OutputFile& file : files) {
        const std::string temporary = TemporaryPathFor(file.path);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
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
        if (::rename(temporaries[i].c_str(), files[i].path.c_str()) != 0) {
            error = Reason(files[i].path, "cannot put in place", errno);
            for (size_t k = 0; k < i; ++k)
                ::unlink(files[k].path.c_str());
            removeTemporaries();
            return false;
        }
    }
    return true;
}
