// Output files that appear complete or not at all: each is written under a
// temporary name in the same folder and renamed when it is complete, so a
// failed or interrupted conversion leaves no partial file behind (and leaves
// an older file of the same name as it was).
#pragma once

#include <string>
#include <vector>

struct OutputFile {
    std::string path;  // final name
    std::string bytes; // whole contents
};

// Writes every file under a temporary name, then renames them in order. On
// failure returns false with a one-line reason, removes the temporaries and
// any file of this set already renamed into place.
bool WriteOutputFiles(const std::vector<OutputFile>& files, std::string& error);

// How many bytes of `path` name its folder, separator included (0 when it
// names none). On Windows both slashes and a drive's colon end a folder.
size_t PathFolderLength(const std::string& path);

// The name a temporary for `path` gets (same folder; visible for the tests).
std::string TemporaryPathFor(const std::string& path);
