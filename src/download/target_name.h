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

// A name the server gives (in its Content-Disposition, or percent-encoded in
// the URL) as the engine's GBK text: ASCII as it is, valid UTF-8 converted,
// otherwise valid GBK as it is.  nullopt when the bytes are none of these,
// or UTF-8 with a character that GBK does not have.
std::optional<std::string> ServerNameText(const std::string& bytes);

// The server's Content-Disposition name as text (above) when it is a safe
// file name; empty otherwise.
std::string UsableServerName(const std::string& name);

// The name after the last "/" of the request path, percent-decoded and taken
// as text (above); the fallback name when that is no text or not a safe file
// name.  A query part stays.
std::string NameFromRequestPath(const std::string& requestPath);

// The next automatic name for an existing file: the part of the name before
// its first "." gets "(1)", or its "(n)" of one or two digits becomes
// "(n+1)"; zorv.exe -> zorv(1).exe, a.b.exe -> a(1).b.exe.  nullopt when the
// number would reach 100.
std::optional<std::string> NextAutoName(const std::string& path);

}  // namespace zorv::download
