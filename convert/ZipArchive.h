// A ZIP archive of whole files, formed in memory: the container a 3MF package
// is. Each file is compressed by deflate, the same bytes on every build, since
// the compressor is the header the PNG encoder carries (render/Png.cpp) and
// no system library takes part. Times are the earliest ZIP can say, so that
// the bytes do not depend on when they were made.
#pragma once

#include "convert/Writers.h"

#include <string>
#include <vector>

// The archive of `files`, in their order, under their names. False with a
// one-line reason when it would pass 4 GiB, the most a ZIP without its 64-bit
// records holds. Each file's bytes are let go once packed: the archive grows
// as the texts go. Memory running out throws std::bad_alloc.
bool FormZip(std::vector<OutputFile>& files, std::string& zip, std::string& error);
