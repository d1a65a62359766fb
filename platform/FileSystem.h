// The file-system services the command line needs for its outputs, and the
// simulation for staging a model's bytes. There is one implementation per
// system, FileSystem-posix.cpp or FileSystem-win32.cpp, picked by the build.
// Paths are byte strings as the user typed them. Every call that can fail
// returns false and sets `error` to the system's reason alone, such as "No such
// file or directory". The caller names the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PathKind { Missing, Regular, Directory, CharacterDevice, Fifo, SymbolicLink, Other };

// What `path` itself names: a symbolic link is reported as one, not followed.
// Missing also stands for a path whose folders cannot be searched.
PathKind PathKindOf(const std::string& path);

// A file whatever its spelling: device and inode number, or volume serial
// number and file index. Hard links and links followed give the same one.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// The identity of what `path` names, symbolic links followed. False when
// there is nothing there (or it cannot be looked at).
bool IdentifyFile(const std::string& path, FileIdentity& out);

// Where writing to `path` lands. While `path` is a symbolic link, it is
// followed to the path it points to. A relative target is taken from the link's
// folder. A path that is not a link lands on itself. Returns false for a loop
// of links, or a link that cannot be read.
bool FollowLinks(const std::string& path, std::string& target, std::string& error);

// Where the last component of `path` starts: after its last folder separator
// ('/'; on Windows also '\\' and a drive's ':').
size_t NameStart(const std::string& path);

// Creates the folder `path` and any missing folders above it; a folder that
// already exists is fine.
bool CreateFolders(const std::string& path, std::string& error);

// One name in a folder, and what it names with links followed (Missing for
// a dangling link or one that cannot be looked at).
struct FolderEntry {
    std::string name;
    PathKind kind = PathKind::Missing;
};

// The names in the folder `path`, "." and ".." left out, in the system's
// order. On Windows the names are the ANSI code page's bytes, with '?' for a
// character it cannot spell.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error);

// Replaces `bytes` with the whole contents of the file `path`. Returns false
// when it cannot be opened or read. This one is the same on every system
// (FileSystem.cpp).
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Replaces `bytes` with the first `limit` bytes of the file `path`, or all of a
// shorter one. Returns false when it cannot be opened or read.
bool ReadFileStart(const std::string& path, size_t limit, std::string& bytes);

// Creates `path` (or empties the file it names) and writes `bytes` to it.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error);

// Writes `bytes` into what `path` already names (a device or a FIFO) without
// creating, replacing or truncating anything.
bool WriteIntoExisting(const std::string& path, const std::string& bytes, std::string& error);

// Writes `bytes` to standard output unchanged (no line-end translation).
bool WriteStandardOutput(const std::string& bytes, std::string& error);

// Puts the file `from` in the place of `to` in one step, replacing the file
// `to` names if there is one. Both in the same folder.
bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error);

// Removes the file `path`; quietly does nothing when it cannot.
void RemoveFile(const std::string& path);

// Makes a new, empty folder among the system's temporary files, that only this
// user may use. `path` receives its name with a trailing separator.
bool MakeScratchFolder(std::string& path, std::string& error);

// Removes the empty folder `path`; quietly does nothing when it cannot.
void RemoveFolder(const std::string& path);

// This process's number, for temporary names no other run picks.
uint64_t CurrentProcessId();
