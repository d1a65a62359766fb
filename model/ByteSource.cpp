#include "model/ByteSource.h"

#include <cstring>

namespace {

// Fetches the next block. Returns false at the end of the stream (or on a
// read error, which also ends it); the caller then sets the indicator.
bool Refill(ByteSource& source) {
    if (source.file == nullptr) {
        return false;
    }
    source.consumedBefore += static_cast<uint64_t>(source.end - source.base);
    size_t got = std::fread(source.block.data(), 1, source.block.size(), source.file);
    if (got == 0 && std::ferror(source.file)) {
        source.error = true;
    }
    source.base = source.pos = source.block.data();
    source.end = source.block.data() + got;
    return got != 0;
}

} // namespace

void InitFileSource(ByteSource& source, std::FILE* file) {
    source.file = file;
    source.block.resize(kSourceBlockSize);
    source.base = source.pos = source.block.data();
    source.end = source.block.data();
    source.consumedBefore = 0;
    source.eof = false;
    source.error = false;
}

void InitMemorySource(ByteSource& source, const void* data, size_t size) {
    source.file = nullptr;
    source.block.clear();
    source.base = source.pos = static_cast<const unsigned char*>(data);
    source.end = data == nullptr ? source.pos : source.pos + size;
    source.consumedBefore = 0;
    source.eof = false;
    source.error = false;
}

uint64_t SourcePosition(const ByteSource& source) {
    return source.consumedBefore + static_cast<uint64_t>(source.pos - source.base);
}

size_t ReadBytes(ByteSource& source, unsigned char* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (source.pos == source.end && !Refill(source)) {
            source.eof = true;
            break;
        }
        size_t take = static_cast<size_t>(source.end - source.pos);
        if (take > count - done) {
            take = count - done;
        }
        std::memcpy(out + done, source.pos, take);
        source.pos += take;
        done += take;
    }
    return done;
}

void SkipBytes(ByteSource& source, size_t count) {
    while (count > 0) {
        if (source.pos == source.end && !Refill(source)) {
            return;
        }
        size_t take = static_cast<size_t>(source.end - source.pos);
        if (take > count) {
            take = count;
        }
        source.pos += take;
        count -= take;
    }
}

namespace {

// ReadTextLine and ReadCountedLine: one rule for the line end, with the
// count only where it is asked for.
template <bool kCounted>
char* ReadLine(char* buffer, int32_t capacity, ByteSource& source, LineRead* read) {
    if (source.eof) {
        return nullptr;
    }
    const int32_t limit = capacity - 1;
    int32_t stored = 0;
    bool ended = false;
    while (stored < limit) {
        if (source.pos == source.end && !Refill(source)) {
            source.eof = true;
            break;
        }
        const unsigned char c = *source.pos++;
        if (c == '\r' || c == '\n') {
            // Look-ahead: the other byte of a CR LF / LF CR pair belongs to
            // this line end; anything else stays for the next line.
            if (source.pos == source.end && !Refill(source)) {
                source.eof = true;
            } else if (*source.pos == (c == '\r' ? '\n' : '\r')) {
                ++source.pos;
            }
            ended = true;
            break;
        }
        buffer[stored++] = static_cast<char>(c);
    }
    if (capacity > 0) {
        buffer[stored] = '\0';
    }
    if constexpr (kCounted) {
        *read = {stored, ended};
    } else {
        (void)read;
        (void)ended;
    }
    return buffer;
}

} // namespace

char* ReadTextLine(char* buffer, int32_t capacity, ByteSource& source) {
    return ReadLine<false>(buffer, capacity, source, nullptr);
}

char* ReadCountedLine(char* buffer, int32_t capacity, ByteSource& source, LineRead& read) {
    return ReadLine<true>(buffer, capacity, source, &read);
}
