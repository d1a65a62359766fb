// Output paths: their extension, base name, folder, and the material
// library beside an OBJ. Folder separators are the system's (NameStart).
#pragma once

#include <string>

// The extension of the last path component, without its dot; "" when it
// has none (a leading dot, as in ".hidden", starts no extension).
std::string ExtensionOf(const std::string& path);
std::string WithoutExtension(const std::string& path);
std::string BaseName(const std::string& path);
// The folder part, with its separator; "" for a bare name.
std::string FolderOf(const std::string& path);

// `name` in the folder `folder`, joined with the system's separator (the
// path is shown in messages) unless `folder` already ends in one.
std::string InFolder(const std::string& folder, const std::string& name);

// The material library of the OBJ `objPath`: beside it, named after it with
// ".mtl", whitespace replaced by '_' since mtllib separates its names by
// whitespace and a reader would look for the first word alone.
std::string MtlPathFor(const std::string& objPath);
