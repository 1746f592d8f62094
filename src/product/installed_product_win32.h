#pragma once
// The installation the system knows of: what the install registered, as the
// uninstaller reads it back.
#include <optional>
#include <string>

namespace zorv::product {

// The registered installation's folder (the uninstall key's
// InstallLocation, in the registry's 32-bit view); nothing without a key,
// an empty text for a key without the value.
std::optional<std::wstring> RegisteredInstallLocation();

// Whether two folders are the same: compared as full paths, without
// trailing separators, in any case.
bool SameFolder(const std::wstring& a, const std::wstring& b);

// Whether the folder holds the product file.
bool HoldsProductFile(const std::wstring& folder);

}  // namespace zorv::product
