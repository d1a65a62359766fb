// line-scan: the floor for any line-oriented reader. Reads FILE in 1 MiB
// blocks and finds every line end (LF) with memchr, nothing else.
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: line-scan FILE\n", stderr);
        return 64;
    }
    std::FILE* f = std::fopen(argv[1], "rb");
    if (f == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<char> block(size_t{1} << 20);
    unsigned long long lines = 0;
    unsigned long long bytes = 0;
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), f)) > 0) {
        bytes += got;
        const char* p = block.data();
        const char* end = p + got;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
            ++lines;
            ++p;
        }
    }
    std::fclose(f);
    std::printf("%llu bytes, %llu lines\n", bytes, lines);
    return 0;
}
