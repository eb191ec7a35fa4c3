#include "accessible.h"

#include <new>
#include <string>

#include "xp_progress_bar.h"

namespace gaugekit {

win::ComPtr<Accessible> Accessible::create(HWND window, const ProgressBar& bar) {
    win::ComPtr<IAccessible> standard;
    win::ComPtr<Accessible> result;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                         reinterpret_cast<void**>(standard.put()))))
        return result;
    *result.put() = new (std::nothrow) Accessible(std::move(standard), bar);
    return result;
}

Accessible::Accessible(win::ComPtr<IAccessible> standard, const ProgressBar& bar)
    : standard_(std::move(standard)), bar_(&bar) {
    // A screen reader may hold the object after the control is gone: the module stays for it.
    ++ModuleCounts::objects;
    win::ComPtr<ITypeLib> library;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_Accessibility, 1, 1, 0, library.put())) ||
        SUCCEEDED(LoadTypeLibEx(L"oleacc.dll", REGKIND_NONE, library.put())))
        library->GetTypeInfoOfGuid(IID_IAccessible, typeInfo_.put());
}

Accessible::~Accessible() {
    --ModuleCounts::objects;
}

HRESULT Accessible::self(const VARIANT& child) const {
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return E_INVALIDARG;
    return bar_ ? S_OK : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP Accessible::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IAccessible) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Accessible::AddRef() {
    return ++references_;
}

STDMETHODIMP_(ULONG) Accessible::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP Accessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = typeInfo_ ? 1 : 0;
    return S_OK;
}

STDMETHODIMP Accessible::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0 || !typeInfo_) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
}

STDMETHODIMP Accessible::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (!typeInfo_) return E_NOTIMPL;
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

STDMETHODIMP Accessible::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_POINTER;
    if (!typeInfo_) return E_NOTIMPL;
    return DispInvoke(static_cast<IAccessible*>(this), typeInfo_.get(), id, flags, params, result,
                      exception, argError);
}

STDMETHODIMP Accessible::get_accParent(IDispatch** parent) {
    return standard_->get_accParent(parent);
}

STDMETHODIMP Accessible::get_accChildCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = 0;  // the bar has no parts of its own
    return S_OK;
}

STDMETHODIMP Accessible::get_accChild(VARIANT, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_INVALIDARG;
}

STDMETHODIMP Accessible::get_accName(VARIANT child, BSTR* name) {
    return standard_->get_accName(child, name);
}

STDMETHODIMP Accessible::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (const HRESULT hr = self(child); FAILED(hr)) return hr;
    // The text the bar shows when its text is on.
    const std::wstring text = std::to_wstring(bar_->percent()) + L" %";
    *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Accessible::get_accDescription(VARIANT child, BSTR* description) {
    return standard_->get_accDescription(child, description);
}

STDMETHODIMP Accessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    if (const HRESULT hr = self(child); FAILED(hr)) return hr;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_PROGRESSBAR;
    return S_OK;
}

STDMETHODIMP Accessible::get_accState(VARIANT child, VARIANT* state) {
    const HRESULT hr = standard_->get_accState(child, state);
    // Its value is the program's to change, not the user's.
    if (SUCCEEDED(hr) && state && state->vt == VT_I4) state->lVal |= STATE_SYSTEM_READONLY;
    return hr;
}

STDMETHODIMP Accessible::get_accHelp(VARIANT child, BSTR* help) {
    return standard_->get_accHelp(child, help);
}

STDMETHODIMP Accessible::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
    return standard_->get_accHelpTopic(file, child, topic);
}

STDMETHODIMP Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return standard_->get_accKeyboardShortcut(child, shortcut);
}

STDMETHODIMP Accessible::get_accFocus(VARIANT* child) {
    return standard_->get_accFocus(child);
}

STDMETHODIMP Accessible::get_accSelection(VARIANT* children) {
    return standard_->get_accSelection(children);
}

STDMETHODIMP Accessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    return standard_->get_accDefaultAction(child, action);
}

STDMETHODIMP Accessible::accSelect(LONG flags, VARIANT child) {
    return standard_->accSelect(flags, child);
}

STDMETHODIMP Accessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                     VARIANT child) {
    return standard_->accLocation(left, top, width, height, child);
}

STDMETHODIMP Accessible::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    return standard_->accNavigate(direction, start, end);
}

STDMETHODIMP Accessible::accHitTest(LONG left, LONG top, VARIANT* child) {
    return standard_->accHitTest(left, top, child);
}

STDMETHODIMP Accessible::accDoDefaultAction(VARIANT child) {
    return standard_->accDoDefaultAction(child);
}

STDMETHODIMP Accessible::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

STDMETHODIMP Accessible::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;  // read-only: a screen reader does not move the bar
}

}  // namespace gaugekit
