#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Failed(std::string& error, int err) {
    error = std::strerror(err);
    return false;
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

bool WriteAndClose(int fd, const std::string& bytes, std::string& error) {
    const bool written = WriteAll(fd, bytes);
    const int writeErrno = errno;
    if (!written) {
        ::close(fd);
        return Failed(error, writeErrno);
    }
    if (::close(fd) != 0)
        return Failed(error, errno);
    return true;
}

} // namespace

PathKind PathKindOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return PathKind::Missing;
    if (S_ISREG(st.st_mode))
        return PathKind::Regular;
    if (S_ISDIR(st.st_mode))
        return PathKind::Directory;
    if (S_ISCHR(st.st_mode))
        return PathKind::CharacterDevice;
    if (S_ISFIFO(st.st_mode))
        return PathKind::Fifo;
    if (S_ISLNK(st.st_mode))
        return PathKind::SymbolicLink;
    return PathKind::Other;
}

bool IdentifyFile(const std::string& path, FileIdentity& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    out.volume = static_cast<uint64_t>(st.st_dev);
    out.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    // The system's own limit on links followed in one lookup.
    for (int hops = 0; hops < 40; ++hops) {
        if (PathKindOf(target) != PathKind::SymbolicLink)
            return true;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer);
        if (n < 0)
            return Failed(error, errno);
        if (static_cast<size_t>(n) >= sizeof buffer)
            return Failed(error, ENAMETOOLONG);
        const std::string link(buffer, static_cast<size_t>(n));
        target = link[0] == '/' ? link : target.substr(0, NameStart(target)) + link;
    }
    return Failed(error, ELOOP);
}

size_t NameStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

bool CreateFolders(const std::string& path, std::string& error) {
    // Each folder from the top down; one that exists already (or appears
    // meanwhile) is fine as long as it is a folder.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (!folder.empty() && folder.back() != '/' && ::mkdir(folder.c_str(), 0777) != 0) {
            const int err = errno;
            struct stat st {};
            const bool isFolder = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            if (!isFolder)
                return Failed(error, err == EEXIST ? ENOTDIR : err);
        }
        if (end == std::string::npos)
            return true;
    }
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) {
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr)
        return Failed(error, errno);
    const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        PathKind kind = PathKind::Missing;
        if (::stat((prefix + name).c_str(), &st) == 0)
            kind = S_ISDIR(st.st_mode)   ? PathKind::Directory
                   : S_ISREG(st.st_mode) ? PathKind::Regular
                                         : PathKind::Other;
        entries.push_back({name, kind});
        errno = 0;
    }
    const int err = errno;
    ::closedir(folder);
    return err == 0 || Failed(error, err);
}

bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Failed(error, errno);
    return WriteAndClose(fd, bytes, error);
}

bool WriteIntoExisting(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return Failed(error, errno);
    return WriteAndClose(fd, bytes, error);
}

bool WriteStandardOutput(const std::string& bytes, std::string& error) {
    if (std::fflush(stdout) != 0)
        return Failed(error, errno);
    if (!WriteAll(STDOUT_FILENO, bytes))
        return Failed(error, errno);
    return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Failed(error, errno);
    return true;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

bool MakeScratchFolder(std::string& path, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = (tmp != nullptr && tmp[0] != '\0' ? std::string(tmp) : "/tmp");
    if (name.back() != '/')
        name += '/';
    name += "ostrel-XXXXXX/";
    name.back() = '\0'; // mkdtemp fills in the name; the room for '/' is taken now
    if (::mkdtemp(name.data()) == nullptr)
        return Failed(error, errno);
    name.back() = '/';
    path.swap(name); // no allocation once the folder exists: nothing can leave it behind
    return true;
}

void RemoveFolder(const std::string& path) {
    ::rmdir(path.c_str());
}

uint64_t CurrentProcessId() {
    return static_cast<uint64_t>(::getpid());
}
