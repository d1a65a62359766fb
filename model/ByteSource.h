// The bytes of a model file, from a file or from memory, and its lines.
#pragma once

#include "model/Table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A stream with C stdio's end-of-file semantics (the indicator is set by the
// read that finds no more bytes), reading a file through one reused block or
// a caller's memory. A read error is treated as the end and flagged.
struct ByteSource {
    std::FILE* file = nullptr;
    Table<unsigned char> block;          // file sources only
    const unsigned char* base = nullptr; // start of the current block (or of the memory)
    const unsigned char* pos = nullptr;
    const unsigned char* end = nullptr;
    uint64_t consumedBefore = 0; // bytes of the stream before the current block
    bool eof = false;
    bool error = false;
};

constexpr size_t kSourceBlockSize = size_t{1} << 20;

// The caller keeps `file` open and closes it; the block is allocated here.
void InitFileSource(ByteSource& source, std::FILE* file);
void InitMemorySource(ByteSource& source, const void* data, size_t size);
// Bytes consumed so far (the read position).
uint64_t SourcePosition(const ByteSource& source);
// Reads up to `count` bytes; a short read sets the end-of-file indicator.
size_t ReadBytes(ByteSource& source, unsigned char* out, size_t count);
// Moves the read position forward; stops at the end without setting the
// indicator (as a seek does).
void SkipBytes(ByteSource& source, size_t count);

// Reads one line of at most capacity-1 bytes into `buffer`, NUL-terminated,
// without its line end; a line end is CR, LF, CR LF or LF CR. A longer line
// is split, its rest read by the next call. Returns null, leaving `buffer`
// untouched, when the end-of-file indicator is already set on entry.
char* ReadTextLine(char* buffer, int32_t capacity, ByteSource& source);

// What ReadCountedLine read besides the text: for a reader that counts
// lines and tells their text.
struct LineRead {
    int32_t stored = 0; // bytes put in the buffer, NUL bytes included
    bool ended = false; // a line end was consumed
};
// ReadTextLine, the same line, also telling `read`.
char* ReadCountedLine(char* buffer, int32_t capacity, ByteSource& source, LineRead& read);
