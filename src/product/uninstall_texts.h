#pragma once
// The two files that uninstall the product: the batch script that ends the
// product, deletes its shortcuts, registry keys and folder, and the short
// instructions for the user.  Both are GBK bytes exactly as the installer
// writes them: CR LF between lines and none after the last, no byte-order
// mark, no terminating zero, indentation made of blanks.
#include <string_view>

namespace zorv::product {

inline constexpr char kUninstallScriptName[] = "Uninstall.bat";
inline constexpr char kUninstallInstructionsName[] = "卸载说明.txt";

// "Uninstall.bat": 144 lines, the last one "exit".
std::string_view UninstallScriptText();
// "卸载说明.txt": 16 lines, the last one a row of equals signs.
std::string_view UninstallInstructionsText();

}  // namespace zorv::product
