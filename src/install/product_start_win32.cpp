// The product's start with the user's own rights: the installer runs
// elevated, and a program it started itself would inherit that (its
// updates, plug-ins and file dialogs running as administrator, drag and
// drop from the desktop refused).  The desktop shell runs with the user's
// normal token, so it is asked to start the product; without a shell to
// ask, the product is started directly.
#include <windows.h>

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "install/install_steps_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::install {
namespace {

// A BSTR owned for one call.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

// The shell's own dispatch object, reached through the desktop window's
// view: IShellWindows -> the desktop -> its shell view -> the view's
// background object -> the application.
HRESULT DesktopShell(ComRef<IShellDispatch2>& shell) {
    ComRef<IShellWindows> windows;
    HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.out());
    if (FAILED(result)) return result;
    VARIANT location{}, root{};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VariantInit(&root);
    long window = 0;
    ComRef<IDispatch> desktop;
    result = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                   reinterpret_cast<IDispatch**>(desktop.out()));
    if (result != S_OK || !desktop) return FAILED(result) ? result : E_FAIL;
    ComRef<IServiceProvider> services;
    if (FAILED(result = desktop->QueryInterface(IID_IServiceProvider, services.out()))) return result;
    ComRef<IShellBrowser> browser;
    if (FAILED(result = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out()))) return result;
    ComRef<IShellView> view;
    if (FAILED(result = browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.out())))) return result;
    ComRef<IDispatch> background;
    if (FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out()))) return result;
    ComRef<IShellFolderViewDual> folderView;
    if (FAILED(result = background->QueryInterface(IID_IShellFolderViewDual, folderView.out()))) return result;
    ComRef<IDispatch> application;
    if (FAILED(result = folderView->get_Application(reinterpret_cast<IDispatch**>(application.out())))) return result;
    return application->QueryInterface(IID_IShellDispatch2, shell.out());
}

HRESULT StartThroughShell(const std::wstring& file, const std::wstring& folder) {
    ComRef<IShellDispatch2> shell;
    HRESULT result = DesktopShell(shell);
    if (FAILED(result)) return result;
    Bstr path(file), directory(folder), verb(L"open");
    VARIANT arguments{}, directoryValue{}, verbValue{}, show{};
    VariantInit(&arguments);
    directoryValue.vt = VT_BSTR;
    directoryValue.bstrVal = directory.get();
    verbValue.vt = VT_BSTR;
    verbValue.bstrVal = verb.get();
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return shell->ShellExecute(path.get(), arguments, directoryValue, verbValue, show);
}

// COM for the duration of the start, paired with its own success.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace

ProductStart StartProductAsUser(const std::string& productPath, const std::string& folder) {
    ProductStart start;
    {
        ComApartment com;
        start.shellResult = StartThroughShell(WideFromGbk(productPath), WideFromGbk(folder));
    }
    if (SUCCEEDED(start.shellResult)) {
        start.way = ProductStart::kThroughShell;
        return start;
    }
    int direct = ShellRun(kShellOpen, productPath, std::nullopt, folder);
    start.way = direct > 32 ? ProductStart::kDirectly : ProductStart::kFailed;
    start.directResult = direct;
    return start;
}

}  // namespace zorv::install
