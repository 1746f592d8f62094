#pragma once
// How a download's local file is named: a folder target takes the name the
// server gives or the name in the request path, and an existing file is
// avoided by numbering the new name.
#include <cstddef>
#include <optional>
#include <string>

namespace zorv::download {

// The target path is kept in a buffer of this many bytes, terminator included.
constexpr size_t kTargetPathLimit = 260;

// Used when neither the server's name nor the path's name is safe.
extern const char kFallbackFileName[];

// A target that ends with "\" (or "/") names a folder.
bool NamesFolder(const std::string& path);

// The server's Content-Disposition name when it is a safe file name; empty
// otherwise.
std::string UsableServerName(const std::string& name);

// The name after the last "/" of the request path, percent-decoded; the
// fallback name when that is not a safe file name.  A query part stays.
std::string NameFromRequestPath(const std::string& requestPath);

// The next automatic name for an existing file: the part of the name before
// its first "." gets "(1)", or its "(n)" of one or two digits becomes
// "(n+1)"; zorv.exe -> zorv(1).exe, a.b.exe -> a(1).b.exe.  nullopt when the
// number would reach 100.
std::optional<std::string> NextAutoName(const std::string& path);

}  // namespace zorv::download
