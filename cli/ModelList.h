// The model files of a run as the user named them: a folder stands for the
// model files in it, and a name that reaches the program unopenable says why.
// Wildcards are the shell's (on Windows the C runtime's) before this.
#pragma once

#include <string>
#include <vector>

// `path` names a folder, or a link to one ("-" and "" do not).
bool IsFolderPath(const std::string& path);

// `given` with each folder replaced by the model files directly inside it
// (extension .rk4, any case), sorted by name without case, then by bytes;
// with `recursive` also those of its sub-folders, each folder's own files
// before its sub-folders', a folder reached twice (through a link) taken
// once. A folder without any model file stays in the list as it is, for
// ModelPathProblem to name. Anything else is kept as given. `subfolders`,
// when not null, gets each model's folder below the folder given, so that
// outputs can keep the tree: "a/b/" for a model in sub-folder a/b, "" for a
// model directly in the folder or given as a file.
std::vector<std::string> ExpandModelFolders(const std::vector<std::string>& given, bool recursive,
                                            std::vector<std::string>* subfolders = nullptr);

// Why `model` cannot be imported before it is even opened, or "": a folder
// (left by ExpandModelFolders: without model files, or unreadable), or (where
// `namesMayHoldQuestionMarks` is false, as on Windows, whose names never hold '?' or '*') a path
// that still holds a wildcard: either nothing matched it, or a name on the way has characters the
// system's code page cannot spell, which reach the program as '?'.
std::string ModelPathProblem(const std::string& model, bool recursive,
                             bool namesMayHoldQuestionMarks, int codePage);

// `name` matches the wildcard `pattern` ('?' one byte, '*' any run), ASCII
// letters compared without case as Windows compares names.
bool MatchesWildcard(const std::string& name, const std::string& pattern);
