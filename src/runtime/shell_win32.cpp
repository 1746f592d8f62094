#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv {
namespace {

const wchar_t* VerbText(std::optional<int> verb) {
    switch (verb.value_or(0)) {
        case kShellEdit: return L"edit";
        case kShellExplore: return L"explore";
        case kShellFind: return L"find";
        case kShellOpen: return L"open";
        case kShellPrint: return L"print";
        default: return nullptr;
    }
}

int ShowCommand(std::optional<int> show) {
    switch (show.value_or(0)) {
        case kShowHidden: return SW_HIDE;
        case kShowMinimised: return SW_SHOWMINIMIZED;
        case kShowMaximised: return SW_SHOWMAXIMIZED;
        case kShowInactive: return SW_SHOWNA;
        case kShowMinimise: return SW_MINIMIZE;
        default: return SW_SHOWNORMAL;
    }
}

// COM for the duration of one call on a thread that has none yet; paired
// with its own success only.
class ScopedCom {
public:
    ScopedCom() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ScopedCom() {
        if (initialised_) CoUninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

private:
    bool initialised_;
};

HRESULT CreateShellLink(ComRef<IShellLinkW>& link) {
    return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
}

struct LinkFields {
    std::wstring target;
    std::optional<std::wstring> description, arguments, workingDirectory;
};

bool SaveShortcut(IShellLinkW* link, const std::wstring& linkFile, const LinkFields& fields) {
    if (FAILED(link->SetPath(fields.target.c_str()))) return false;
    link->SetShowCmd(SW_SHOW);
    if (fields.description) link->SetDescription(fields.description->c_str());
    if (fields.arguments) link->SetArguments(fields.arguments->c_str());
    if (fields.workingDirectory) link->SetWorkingDirectory(fields.workingDirectory->c_str());
    ComRef<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
    return SUCCEEDED(file->Save(linkFile.c_str(), TRUE));
}

bool SaveShortcutFile(const std::wstring& linkFile, const LinkFields& fields) {
    ComRef<IShellLinkW> link;
    HRESULT created = CreateShellLink(link);
    if (created == CO_E_NOTINITIALIZED) {
        // Called on a thread without COM: give this call its own apartment.
        ScopedCom com;
        if (FAILED(CreateShellLink(link))) return false;
        bool saved = SaveShortcut(link.get(), linkFile, fields);
        link.reset();
        return saved;
    }
    if (FAILED(created)) return false;
    return SaveShortcut(link.get(), linkFile, fields);
}

std::optional<std::wstring> WideOf(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    return WideFromGbk(*text);
}

int Csidl(int32_t kind) {
    switch (kind) {
        case kDocumentsFolder: return CSIDL_PERSONAL;
        case kFavoritesFolder: return CSIDL_FAVORITES;
        case kDesktopFolder: return CSIDL_DESKTOPDIRECTORY;
        case kFontsFolder: return CSIDL_FONTS;
        case kStartMenuFolder: return CSIDL_STARTMENU;
        case kProgramsFolder: return CSIDL_PROGRAMS;
        case kStartupFolder: return CSIDL_STARTUP;
        case kAppDataFolder: return CSIDL_APPDATA;
        default: return -1;
    }
}

}  // namespace

int ShellRun(std::optional<int> verb, std::string_view file, std::optional<std::string_view> parameters,
             std::optional<std::string_view> directory, std::optional<int> show) {
    std::wstring wideFile = WideFromGbk(file);
    std::wstring wideParameters = parameters ? WideFromGbk(*parameters) : std::wstring();
    std::wstring wideDirectory = directory ? WideFromGbk(*directory) : std::wstring();
    HINSTANCE result = ShellExecuteW(nullptr, VerbText(verb), wideFile.c_str(),
                                     parameters ? wideParameters.c_str() : nullptr,
                                     wideDirectory.empty() ? nullptr : wideDirectory.c_str(), ShowCommand(show));
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool CreateShortcut(std::string_view linkFile, std::string_view target, std::optional<std::string_view> description,
                    std::optional<std::string_view> arguments, std::optional<std::string_view> workingDirectory) {
    std::string fileName(linkFile);
    if (fileName.find('.') == std::string::npos) fileName += ".lnk";
    return SaveShortcutFile(WideFromGbk(fileName),
                            {WideFromGbk(target), WideOf(description), WideOf(arguments), WideOf(workingDirectory)});
}

bool CreateShortcut(const std::wstring& linkFile, const std::wstring& target) {
    return SaveShortcutFile(linkFile, {target, std::nullopt, std::nullopt, std::nullopt});
}

std::wstring GetSpecialFolderWide(int32_t kind) {
    wchar_t buffer[MAX_PATH + 1] = {};
    std::wstring folder;
    if (int csidl = Csidl(kind); csidl >= 0) {
        if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
        folder = buffer;
    } else {
        UINT length = 0;
        switch (kind) {
            case kWindowsFolder: length = GetWindowsDirectoryW(buffer, MAX_PATH); break;
            case kSystemFolder: length = GetSystemDirectoryW(buffer, MAX_PATH); break;
            case kTempFolder: length = GetTempPathW(MAX_PATH, buffer); break;
            default: return {};
        }
        if (length == 0 || length >= MAX_PATH) return {};
        folder.assign(buffer, length);
    }
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::string GetSpecialFolder(int32_t kind) { return GbkFromWide(GetSpecialFolderWide(kind)); }

}  // namespace zorv
