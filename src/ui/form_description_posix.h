#pragma once
// The description read from a directory of this machine: the packing tool and
// the native tests use it.  Texts are converted with iconv(3) to the GBK
// form that the compiler also gives the program's own literals.
#include <optional>
#include <string>
#include <string_view>

#include "ui/form_description.h"

namespace zorv::ui {

// Files relative to assetsDir (the project's assets/ directory).
FormDescriptionSource AssetDirectorySource(std::string assetsDir);

// UTF-8 to GBK; nothing for invalid UTF-8 or a character without a GBK form.
std::optional<std::string> GbkFromUtf8(std::string_view utf8);

}  // namespace zorv::ui
