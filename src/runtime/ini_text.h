#pragma once
// Looking a value up in the text of an ini file held as GBK bytes, with the
// rules of the system's profile functions: "[section]" lines open a
// section, "key=value" lines hold values; names are compared without regard
// to ASCII case and without their surrounding blanks; a value loses its
// surrounding blanks and then one pair of matching quotes around it; the
// first section of a name and the first key of a name in it count.
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section, std::string_view key);

}  // namespace zorv
