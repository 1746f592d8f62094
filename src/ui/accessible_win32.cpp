#include "ui/accessible_win32.h"

#include <oleacc.h>

#include <utility>

#include "runtime/system_library_win32.h"

namespace zorv::ui {

namespace {

using CreateStdAccessibleObjectFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

struct Oleacc {
    HMODULE module = nullptr;
    CreateStdAccessibleObjectFunction createStandard = nullptr;
    LresultFromObjectFunction lresultFromObject = nullptr;
};

// Loaded once, from the system folder, for the program's life.
const Oleacc& OleaccFunctions() {
    static const Oleacc oleacc = [] {
        Oleacc loaded;
        loaded.module = LoadSystemLibrary(L"oleacc.dll");
        if (HMODULE module = loaded.module) {
            loaded.createStandard = reinterpret_cast<CreateStdAccessibleObjectFunction>(
                reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
            loaded.lresultFromObject = reinterpret_cast<LresultFromObjectFunction>(
                reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        }
        return loaded;
    }();
    return oleacc;
}

bool comStarted = false;  // UI thread

LONG RoleValue(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
        case AccessibleRole::CheckButton: return ROLE_SYSTEM_CHECKBUTTON;
        case AccessibleRole::Link: return ROLE_SYSTEM_LINK;
        case AccessibleRole::Text: return ROLE_SYSTEM_TEXT;
        case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
        default: return ROLE_SYSTEM_CLIENT;
    }
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

bool Presses(AccessibleRole role) {
    return role == AccessibleRole::PushButton || role == AccessibleRole::CheckButton || role == AccessibleRole::Link;
}

// The standard object of the control's window with what the system cannot
// know about an owner-drawn control: its role, its check state, its press,
// and the name of a text box.  Everything else is the standard object's.
class AnnotatedAccessible final : public IAccessible, public IOleWindow {
public:
    AnnotatedAccessible(IAccessible* standard, HWND control, AccessibleRole role, std::wstring name)
        : standard_(standard), control_(control), role_(role), name_(std::move(name)) {}
    ~AnnotatedAccessible() { standard_->Release(); }
    AnnotatedAccessible(const AnnotatedAccessible&) = delete;
    AnnotatedAccessible& operator=(const AnnotatedAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IAccessible))
            *object = static_cast<IAccessible*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow))
            *object = static_cast<IOleWindow*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return ULONG(left);
    }

    // IOleWindow: how a reader finds the window of the object.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = control_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return standard_->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
    }

    // IAccessible: the annotated answers.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child) || name_.empty()) return standard_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = SysAllocString(name_.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = RoleValue(role_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        HRESULT result = standard_->get_accState(child, state);
        if (FAILED(result) || !IsSelf(child) || !state || state->vt != VT_I4) return result;
        state->lVal |= STATE_SYSTEM_FOCUSABLE;
        if (role_ == AccessibleRole::CheckButton) {
            bool checked = SendMessageW(control_, BM_GETCHECK, 0, 0) == BST_CHECKED;
            state->lVal = checked ? (state->lVal | STATE_SYSTEM_CHECKED) : (state->lVal & ~STATE_SYSTEM_CHECKED);
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!IsSelf(child) || !Presses(role_)) return standard_->get_accDefaultAction(child, action);
        if (!action) return E_POINTER;
        const wchar_t* text = L"按下";
        if (role_ == AccessibleRole::CheckButton)
            text = SendMessageW(control_, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"取消选中" : L"选中";
        *action = SysAllocString(text);
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child) || !Presses(role_)) return standard_->accDoDefaultAction(child);
        // Posted: the press may open the folder dialog or end the program,
        // which must not happen inside the reader's call.
        return PostMessageW(control_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
    }

    // IAccessible: the standard object's answers.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override { return standard_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return standard_->put_accName(child, name); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    LONG references_ = 1;
    IAccessible* standard_;  // owned: one reference
    HWND control_;
    AccessibleRole role_;
    std::wstring name_;
};

// COM on the UI thread, started the first time a reader asks; an apartment
// the thread already has is used as it is.
bool EnsureCom() {
    if (comStarted) return true;
    HRESULT started = CoInitialize(nullptr);
    if (SUCCEEDED(started)) {
        comStarted = true;
        return true;
    }
    return started == RPC_E_CHANGED_MODE;
}

}  // namespace

std::optional<LRESULT> AnswerAccessibleObject(HWND control, WPARAM wParam, LPARAM lParam, AccessibleRole role,
                                              const std::wstring& name) {
    if (role == AccessibleRole::None || static_cast<LONG>(lParam) != OBJID_CLIENT) return std::nullopt;
    const Oleacc& oleacc = OleaccFunctions();
    if (!oleacc.createStandard || !oleacc.lresultFromObject || !EnsureCom()) return std::nullopt;
    IAccessible* standard = nullptr;
    if (FAILED(oleacc.createStandard(control, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
        !standard)
        return std::nullopt;
    auto* annotated = new AnnotatedAccessible(standard, control, role, name);
    LRESULT answer = oleacc.lresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(annotated));
    annotated->Release();  // the answer holds its own reference
    if (FAILED(HRESULT(answer))) return std::nullopt;
    return answer;
}

void ReleaseAccessibility() {
    if (!comStarted) return;
    comStarted = false;
    CoUninitialize();
}

}  // namespace zorv::ui
