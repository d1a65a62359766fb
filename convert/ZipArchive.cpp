#include "convert/ZipArchive.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>

namespace {

// The compressor's memory, tracked so that running out frees what it took
// and throws std::bad_alloc, as everywhere else in the writers.
thread_local std::unordered_set<void*>* tBlocks = nullptr;

void* TrackedRealloc(void* old, size_t size) {
    void* block = std::realloc(old, size);
    if (block == nullptr)
        throw std::bad_alloc();
    if (old != nullptr)
        tBlocks->erase(old);
    tBlocks->insert(block);
    return block;
}

void TrackedFree(void* block) {
    if (block == nullptr)
        return;
    tBlocks->erase(block);
    std::free(block);
}

} // namespace

#define STBIW_MALLOC(size) TrackedRealloc(nullptr, size)
#define STBIW_REALLOC(block, size) TrackedRealloc(block, size)
#define STBIW_FREE(block) TrackedFree(block)
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

// Above this a file is stored as it is: the compressor counts in int.
constexpr size_t kMostDeflated = size_t{1} << 28;
constexpr int kQuality = 8; // the PNG encoder's

// Appends the deflate stream of `data` to `out`: the compressor's zlib
// stream without its 2-byte header and 4-byte check. Every block it took is
// freed, also when memory runs out.
void AppendDeflated(const std::string& data, std::string& out) {
    std::unordered_set<void*> blocks;
    blocks.reserve(32768); // the compressor's hash lists and its output: no growth inside
    tBlocks = &blocks;
    try {
        int length = 0;
        unsigned char* zlib =
            stbi_zlib_compress(reinterpret_cast<unsigned char*>(const_cast<char*>(data.data())),
                               static_cast<int>(data.size()), &length, kQuality);
        out.append(reinterpret_cast<const char*>(zlib) + 2, static_cast<size_t>(length) - 6);
        TrackedFree(zlib);
        tBlocks = nullptr;
    } catch (...) {
        for (void* block : blocks)
            std::free(block);
        tBlocks = nullptr;
        throw;
    }
}

uint32_t Crc32(const std::string& data) {
    static const auto kTable = [] {
        std::array<uint32_t, 256> table{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return table;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data)
        crc = kTable[(crc ^ static_cast<unsigned char>(c)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}

struct ZipRecord {
    uint32_t crc = 0;
    uint16_t method = 0; // 0 stored, 8 deflated
    uint64_t packed = 0, size = 0, offset = 0;
};

// The fields the local header and the central record share, from "version
// needed" on: version 2.0, no flags, the method, 1980-01-01 00:00, the check
// and sizes, the name's length and no extra field.
void PutCommon(std::string& out, const ZipRecord& r, size_t nameLength) {
    Put(out, 20, 2);
    Put(out, 0, 2);
    Put(out, r.method, 2);
    Put(out, 0, 2);
    Put(out, (0 << 9) | (1 << 5) | 1, 2);
    Put(out, r.crc, 4);
    Put(out, r.packed, 4);
    Put(out, r.size, 4);
    Put(out, nameLength, 2);
    Put(out, 0, 2);
}

} // namespace

bool FormZip(std::vector<OutputFile>& files, std::string& zip, std::string& error) {
    zip.clear();
    std::vector<ZipRecord> records;
    for (OutputFile& file : files) {
        ZipRecord r;
        r.crc = Crc32(file.bytes);
        r.size = file.bytes.size();
        r.offset = zip.size();
        r.method = file.bytes.size() <= kMostDeflated ? 8 : 0;
        // The local header takes the packed size: written last, in place.
        Put(zip, 0x04034b50, 4);
        const size_t common = zip.size();
        PutCommon(zip, r, file.name.size());
        zip += file.name;
        const size_t start = zip.size();
        if (r.method == 8)
            AppendDeflated(file.bytes, zip);
        else
            zip += file.bytes;
        r.packed = zip.size() - start;
        std::string header;
        PutCommon(header, r, file.name.size());
        zip.replace(common, header.size(), header);
        std::string().swap(file.bytes); // packed: its text is not needed again
        records.push_back(r);
        if (zip.size() > UINT32_MAX) {
            error = "the object is too large for a 3MF file, which holds at most 4 GiB here";
            return false;
        }
    }
    const size_t directory = zip.size();
    for (size_t i = 0; i < files.size(); ++i) {
        Put(zip, 0x02014b50, 4);
        Put(zip, 20, 2); // made by version 2.0
        PutCommon(zip, records[i], files[i].name.size());
        Put(zip, 0, 2); // no comment
        Put(zip, 0, 2); // disk 0
        Put(zip, 0, 2); // no internal attributes
        Put(zip, 0, 4); // no external attributes
        Put(zip, records[i].offset, 4);
        zip += files[i].name;
    }
    const size_t directorySize = zip.size() - directory;
    Put(zip, 0x06054b50, 4);
    Put(zip, 0, 4); // this disk, the directory's disk
    Put(zip, files.size(), 2);
    Put(zip, files.size(), 2);
    Put(zip, directorySize, 4);
    Put(zip, directory, 4);
    Put(zip, 0, 2);
    if (zip.size() > UINT32_MAX) {
        error = "the object is too large for a 3MF file, which holds at most 4 GiB here";
        return false;
    }
    return true;
}
