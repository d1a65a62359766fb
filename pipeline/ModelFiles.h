// Which files of a folder are model files. Every front end that takes a
// folder (the command line, the page) lists its models by this rule.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Whether a name ends in ".rk4", in any case, after a stem.
bool IsModelFileName(const std::string& name);

// The model files among the files of a folder: those directly in it (a
// name without a '/': "sub/a.rk4" is in a sub-folder). They are sorted by
// name without case, then by bytes. So the order is the same on every
// system, whatever order the folder lists them in. Returns their indices
// into `names`.
std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names);
