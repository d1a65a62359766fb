// ostrel-thumbnailer: a file manager's thumbnail of a model file, after the
// freedesktop thumbnailer rules (ostrel.thumbnailer: "-s %s %i %o"):
//
//     ostrel-thumbnailer [-s SIZE] MODEL OUTPUT.png
//
// writes the picture `ostrel MODEL -o OUTPUT.png --size SIZE` writes (the
// same bytes), or for a model too big to draw within the budget its points
// as dots. It needs no display, no GPU, no configuration, no writable folder
// but the output's and no file but the model: the plug-in's converter build
// and the renderer are linked in, and the model is read into memory once.
//
// Exit status: 0 the picture is written; 1 the model gives none (not a
// model file, nothing in it to draw, not enough memory); 2 the model cannot
// be read; 3 the picture cannot be written; 64 usage. A failure prints one
// line on standard error; nothing is written then. Past the budget's
// processor or wall time (Budget.h) the system ends the process.
#include "thumbnailer/Budget.h"
#include "thumbnailer/Thumbnail.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern "C" const ModuleDescriptor ostrel_wide_descrip;

namespace {

constexpr int kExitPicture = 0;
constexpr int kExitNoPicture = 1;
constexpr int kExitUnreadable = 2;
constexpr int kExitUnwritable = 3;
constexpr int kExitUsage = 64;

constexpr const char* kUsage = "usage: ostrel-thumbnailer [-s SIZE] MODEL OUTPUT.png\n";

struct Arguments {
    uint64_t size = 256;
    std::string model;
    std::string output;
};

bool ParseSize(const char* text, uint64_t& size) {
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno != 0)
        return false;
    size = value;
    return true;
}

bool ParseArguments(int argc, char** argv, Arguments& out) {
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "-s") == 0) {
        if (!ParseSize(argv[i + 1], out.size))
            return false;
        i += 2;
    }
    if (argc - i != 2)
        return false;
    out.model = argv[i];
    out.output = argv[i + 1];
    return !out.model.empty() && !out.output.empty();
}

// The model's first `limit` bytes, and whether the file goes on beyond
// them. Only a regular file is read: opened without waiting (a FIFO's writer
// may never come), its size from the file itself, so that a small model
// costs its own bytes and a large one no more than `limit`.
bool ReadModelStart(const std::string& path, size_t limit, std::string& bytes, bool& cut,
                    std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (!ok)
        error = std::strerror(errno);
    else if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ok = false;
    }
    const uint64_t size = ok ? static_cast<uint64_t>(info.st_size) : 0;
    cut = size > limit;
    bytes.resize(cut ? limit : static_cast<size_t>(size));
    size_t used = 0;
    while (ok && used < bytes.size()) {
        const ssize_t got = read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = std::strerror(errno);
            ok = false;
        } else if (got == 0) {
            break; // the file shrank while read: what is there
        } else {
            used += static_cast<size_t>(got);
        }
    }
    close(fd);
    bytes.resize(used);
    return ok;
}

int WriteThumbnailFile(const Arguments& arguments) {
    std::string error;
    if (!ApplyBudget(kThumbnailBudget, error)) {
        std::fprintf(stderr, "ostrel-thumbnailer: cannot limit its own resources: %s\n",
                     error.c_str());
        return kExitNoPicture;
    }
    const char* model = arguments.model.c_str();
    std::string bytes;
    bool cut = false;
    if (!ReadModelStart(arguments.model, kWholeModelBytes, bytes, cut, error)) {
        std::fprintf(stderr, "ostrel-thumbnailer: %s: cannot read: %s\n", model, error.c_str());
        return kExitUnreadable;
    }
    LoadedModule converter;
    if (!StartWideModule(&ostrel_wide_descrip, converter, error)) {
        std::fprintf(stderr, "ostrel-thumbnailer: the plug-in: %s\n", error.c_str());
        return kExitNoPicture;
    }
    const Thumbnail thumbnail =
        MakeThumbnail(converter, arguments.model, bytes, cut, ThumbnailSize(arguments.size));
    UnloadModule(converter);
    if (thumbnail.kind == ThumbnailKind::None) {
        std::fprintf(stderr, "ostrel-thumbnailer: %s: no picture: %s\n", model,
                     thumbnail.reason.c_str());
        return kExitNoPicture;
    }
    if (thumbnail.kind == ThumbnailKind::Points)
        std::fprintf(stderr, "ostrel-thumbnailer: %s: its points only: %s\n", model,
                     thumbnail.reason.c_str());
    if (!WriteNewFile(arguments.output, thumbnail.png, error)) {
        std::fprintf(stderr, "ostrel-thumbnailer: %s: cannot write: %s\n", arguments.output.c_str(),
                     error.c_str());
        return kExitUnwritable;
    }
    return kExitPicture;
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    try {
        return WriteThumbnailFile(arguments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel-thumbnailer: %s\n", e.what());
    }
    return kExitNoPicture;
}
