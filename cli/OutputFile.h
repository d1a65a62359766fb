// Output files that appear complete or not at all: each is written under a
// temporary name in the same folder and renamed when it is complete, so a
// failed or interrupted conversion leaves no partial file behind (and leaves
// an older file of the same name as it was).
//
// What the path names decides how it is written:
//  - "-": standard output;
//  - nothing yet, or a regular file: the temporary and the rename;
//  - a character device or a FIFO: written into as it is (/dev/null stays
//    the device; nothing is renamed over it);
//  - a symbolic link: followed, and what it points to is written by these
//    rules; the link itself stays as it was;
//  - a folder or anything else: refused.
#pragma once

#include "convert/Formats.h"

#include <string>
#include <vector>

enum class OutputWay { StandardOutput, Replace, WriteInto };

struct ResolvedOutput {
    std::string path; // where the bytes land: the links followed
    OutputWay way = OutputWay::Replace;
};

// How `path` would be written, or false with a one-line reason naming it.
// Shared by the checks made before anything is imported.
bool ResolveOutput(const std::string& path, ResolvedOutput& out, std::string& error);

// Writes every file (its name the path to write) under a temporary name (devices, FIFOs and
// standard output directly), then renames them in order. On failure returns false with a one-line
// reason, removes the temporaries and any file of this set already renamed into place.
bool WriteOutputFiles(const std::vector<OutputFile>& files, std::string& error);

// The name a temporary for `path` gets (same folder; visible for the tests).
std::string TemporaryPathFor(const std::string& path);
