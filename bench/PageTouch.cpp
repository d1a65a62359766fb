// page-touch: what first use of fresh memory costs on this machine. Maps
// MB megabytes, writes one byte per 4 KiB page and prints the CPU time (user
// and system, so waiting for a busy core does not count) per page.
// Every table the import builds pays this once per page; the line scan,
// which reuses one block, hardly does.
#include <cstdio>
#include <cstdlib>
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
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const size_t bytes = megabytes << 20;
    const size_t page = 4096;
    const double start = CpuSeconds();
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    auto* p = static_cast<volatile char*>(mapped);
    for (size_t i = 0; i < bytes; i += page) {
        p[i] = 1;
    }
    const double seconds = CpuSeconds() - start;
    munmap(mapped, bytes);
    std::printf("%zu MB: %.1f ms, %.2f us per 4 KiB page, %.2f ms per MB\n", megabytes,
                seconds * 1e3, seconds * 1e6 / static_cast<double>(bytes / page),
                seconds * 1e3 / static_cast<double>(megabytes));
    return 0;
}
