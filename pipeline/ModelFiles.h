// Which files of a folder are model files. Every front end that takes a
// folder (the command line, the page) lists its models by this rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The order of names in a folder: without case, then byte for byte.
bool NameBefore(std::string_view a, std::string_view b);

// Whether a name ends in ".rk4", in any case, after a stem.
bool IsModelFileName(const std::string& name);

// The model files among the files of a folder: those directly in it (a
// name without a '/': "sub/a.rk4" is in a sub-folder), and with
// `withSubfolders` those of its sub-folders too. They are sorted by name
// without case, then by bytes; a folder's own files come before its
// sub-folders', as the command line's --recursive takes them. So the order
// is the same on every system, whatever order the folder lists them in.
// Returns their indices into `names`.
std::vector<size_t> FolderModelFiles(const std::vector<std::string>& names,
                                     bool withSubfolders = false);
