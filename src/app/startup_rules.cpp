#include "app/startup_rules.h"

#include "runtime/text_commands.h"

namespace zorv::app {

bool IsUninstallFileName(std::string_view fileName) { return TextFind(fileName, "卸载") != -1; }

std::string InstanceKeyFromDigestHex(std::string_view digestHex) {
    return TextMid(TextToLower(digestHex), 9, 16);
}

std::wstring UpIniPath(std::wstring_view runDirectory) {
    // A forward slash joins them; the file functions accept it.
    return std::wstring(runDirectory) + L"/up.ini";
}

std::string ChooseProductUrl(std::string_view configured, std::string_view builtIn) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!configured.empty() && isBlank(configured.front())) configured.remove_prefix(1);
    while (!configured.empty() && isBlank(configured.back())) configured.remove_suffix(1);
    return std::string(configured.empty() ? builtIn : configured);
}

ShellRequest ElevatedRelaunchRequest(std::wstring_view programPath, std::wstring_view runDirectory,
                                     std::wstring_view arguments) {
    ShellRequest request;
    request.parameters = std::wstring(arguments);
    request.verb = L"runas";
    request.file = std::wstring(programPath);
    request.directory = std::wstring(runDirectory);
    request.show = 1;  // SW_SHOWNORMAL
    return request;
}

}  // namespace zorv::app
