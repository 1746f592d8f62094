// The texts that reach the install flow from outside: the command line
// (/URL= and /S), the program's own file name (which chooses the uninstall
// mode) and the install folder the user types.
//
// Input: the text.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/startup_rules.h"
#include "fuzz_support.h"
#include "install/install_rules.h"
#include "product/product_files.h"
#include "runtime/gbk.h"

using namespace zorv;

namespace {

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Folded(text[i]) != prefix[i]) return false;
    return true;
}

bool EndsWithLoneLeadByte(std::string_view text) {
    size_t at = 0, last = 0;
    for (; at < text.size(); at += GbkCharLength(text, at)) last = at;
    return !text.empty() && last == text.size() - 1 && IsGbkLeadByte(static_cast<unsigned char>(text[last]));
}

void CheckCommandLine(std::string_view commandLine) {
    const std::string url = install::ProductUrlFromCommandLine(commandLine);
    FUZZ_CHECK(url.empty() || (url.size() > 7 && StartsWithFolded(url, "http://")) ||
               (url.size() > 8 && StartsWithFolded(url, "https://")));
    const std::string arguments = install::ArgumentsOf(commandLine);
    FUZZ_CHECK(commandLine.size() >= arguments.size() &&
               commandLine.substr(commandLine.size() - arguments.size()) == arguments);
    if (install::IsQuietUninstall(commandLine)) FUZZ_CHECK(arguments.find_first_of("sS") != std::string::npos);
}

// A name chooses the uninstall mode only with the whole word in it.
void CheckFileName(std::string_view name) {
    if (!app::IsUninstallFileName(name)) return;
    const std::string_view word = "\xD0\xB6\xD4\xD8";  // "卸载" in GBK
    bool whole = false;
    for (size_t at = 0; at < name.size() && !whole; at += GbkCharLength(name, at))
        whole = name.substr(at, word.size()) == word;
    FUZZ_CHECK(whole);
}

void CheckFolder(std::string_view folder) {
    const std::string complete = install::CompleteInstallFolder(folder);
    FUZZ_CHECK(complete.empty() == folder.empty());
    FUZZ_CHECK(complete.compare(0, folder.size(), folder) == 0);
    // Completing twice adds nothing more.  The folder comes from the edit box
    // or the folder dialog converted from UTF-16, always whole characters; a
    // lead byte left alone at the end would pair with the appended backslash.
    if (!EndsWithLoneLeadByte(folder)) FUZZ_CHECK(install::CompleteInstallFolder(complete) == complete);

    std::string previous;
    for (const std::string& step : install::FolderPathSteps(complete)) {
        FUZZ_CHECK(step.size() > previous.size() && step.compare(0, previous.size(), previous) == 0);
        previous = step;
    }
    const std::string directory = product::DirectoryOf(complete);
    FUZZ_CHECK(directory.empty() || (directory.back() == '\\' && complete.compare(0, directory.size(), directory) == 0));
    product::IsProductFolder(folder);
    // Trimming only ever takes separators off the end.
    const std::string trimmed = product::WithoutTrailingSeparators(complete);
    FUZZ_CHECK(complete.compare(0, trimmed.size(), trimmed) == 0);
    FUZZ_CHECK(complete.find_first_not_of("\\/", trimmed.size()) == std::string::npos);
    FUZZ_CHECK(install::InstallPathCaption(folder).size() > folder.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckCommandLine(text);
    CheckFileName(text);
    CheckFolder(text);
    return 0;
}
