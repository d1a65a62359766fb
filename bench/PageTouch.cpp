// page-touch: what first use of fresh memory costs on this machine. Maps
// MB megabytes, writes one byte per 4 KiB page and prints the CPU time (user
// and system, so waiting for a busy core does not count) per page and per
// MB. With --huge the mapping is 2 MiB aligned and advised for huge pages,
// as the import's big tables are on 64-bit Linux.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    bool huge = false;
    size_t megabytes = 64;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--huge") == 0) {
            huge = true;
        } else {
            megabytes = std::strtoul(argv[i], nullptr, 10);
        }
    }
    const size_t bytes = megabytes << 20;
    const size_t page = 4096;
    const size_t hugePage = size_t{2} << 20;
    const double start = CpuSeconds();
    void* mapped =
        mmap(nullptr, bytes + hugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    char* base = static_cast<char*>(mapped);
    if (huge) {
        const size_t misalignment = reinterpret_cast<uintptr_t>(base) % hugePage;
        base += misalignment == 0 ? 0 : hugePage - misalignment;
        madvise(base, bytes, MADV_HUGEPAGE);
    }
    auto* p = reinterpret_cast<volatile char*>(base);
    for (size_t i = 0; i < bytes; i += page) {
        p[i] = 1;
    }
    const double seconds = CpuSeconds() - start;
    munmap(mapped, bytes + hugePage);
    std::printf("%zu MB%s: %.1f ms, %.2f us per 4 KiB page, %.2f ms per MB\n", megabytes,
                huge ? " on huge pages" : "", seconds * 1e3,
                seconds * 1e6 / static_cast<double>(bytes / page),
                seconds * 1e3 / static_cast<double>(megabytes));
    return 0;
}
