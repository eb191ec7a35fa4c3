// The control in a container: its site, verbs and extent, the own window made on in-place
// activation (paint redraws, resize selects the off-screen surface), and drawing into a context
// the container passes.
#include <new>

#include "xp_progress_bar.h"

namespace gaugekit {
namespace {

constexpr wchar_t kWindowClass[] = L"XP_ProgressBar_Window";

int screenDpi(int axis) {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// HIMETRIC (0.01 mm) to pixels and back.
LONG toPixels(LONG himetric, int axis) {
    return MulDiv(himetric, screenDpi(axis), 2540);
}
LONG toHimetric(LONG pixels, int axis) {
    return MulDiv(pixels, 2540, screenDpi(axis));
}

bool registerWindowClass() {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(thisModule(), kWindowClass, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    // One context for the window's life: the control keeps drawing on it between messages.
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = controlWindowProc;
    wc.hInstance = thisModule();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

void unregisterWindowClass(HINSTANCE module) {
    UnregisterClassW(kWindowClass, module);
}

LRESULT CALLBACK controlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<XpProgressBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!control) return DefWindowProcW(window, message, wParam, lParam);
    return control->onMessage(window, message, wParam, lParam);
}

LRESULT XpProgressBar::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the redraw paints every pixel
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint)) {
                bar_->drawProgressBar();
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_SIZE:
            extent_ = Size{LOWORD(lParam), HIWORD(lParam)};
            bar_->selectSurface();
            // A window that only shrank gets no paint of its own: the picture would go stale.
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_GETOBJECT:
            if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
                if (!accessible_) accessible_ = Accessible::create(window, *bar_);
                if (accessible_)
                    return LresultFromObject(IID_IAccessible, wParam,
                                             static_cast<IAccessible*>(accessible_.get()));
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_DESTROY:
            forgetAccessible();
            own_.attach(nullptr);
            windowDc_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

HRESULT XpProgressBar::inPlaceActivate() {
    if (window_) return S_OK;
    if (!clientSite_) return E_UNEXPECTED;
    win::ComPtr<IOleInPlaceSite> site;
    if (FAILED(
            clientSite_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(site.put()))))
        return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    HWND parent = nullptr;
    if (FAILED(site->OnInPlaceActivate())) return E_FAIL;
    win::ComPtr<IOleInPlaceFrame> frame;
    win::ComPtr<IOleInPlaceUIWindow> document;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof(frameInfo);
    if (FAILED(site->GetWindow(&parent)) ||
        FAILED(site->GetWindowContext(frame.put(), document.put(), &position, &clip, &frameInfo)) ||
        !registerWindowClass()) {
        site->OnInPlaceDeactivate();
        return E_FAIL;
    }
    const HWND window =
        CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                        position.left, position.top, position.right - position.left,
                        position.bottom - position.top, parent, nullptr, thisModule(), this);
    if (!window) {
        site->OnInPlaceDeactivate();
        return E_FAIL;
    }
    window_ = window;
    windowDc_ = GetDC(window);
    own_.attach(windowDc_);
    SetBkColor(windowDc_, RGB(255, 255, 255));
    // A control created before it had a window measures its own once it has one.
    if (bar_->hwnd() == 0) bar_->setHwnd(reinterpret_cast<std::intptr_t>(window));
    RECT client{};
    GetClientRect(window, &client);
    extent_ = Size{client.right, client.bottom};
    bar_->selectSurface();
    inPlaceSite_ = std::move(site);
    return S_OK;
}

STDMETHODIMP XpProgressBar::SetClientSite(IOleClientSite* site) {
    if (site) site->AddRef();
    clientSite_.reset();
    if (site) *clientSite_.put() = site;
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP XpProgressBar::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::Close(DWORD saveOption) {
    InPlaceDeactivate();
    if (bar_->dirty() && clientSite_ &&
        (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE))
        clientSite_->SaveObject();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP XpProgressBar::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;  // a control is never linked to
}

STDMETHODIMP XpProgressBar::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                   LPCRECT position) {
    if (site && !clientSite_) SetClientSite(site);
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE: {
            const HRESULT hr = inPlaceActivate();
            if (SUCCEEDED(hr) && position) SetObjectRects(position, position);
            return hr;
        }
        case OLEIVERB_HIDE:
            if (window_) ShowWindow(window_, SW_HIDE);
            return S_OK;
        default:
            return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP XpProgressBar::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(CLSID_XP_ProgressBar, verbs);
}

STDMETHODIMP XpProgressBar::Update() {
    return S_OK;
}

STDMETHODIMP XpProgressBar::IsUpToDate() {
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}

STDMETHODIMP XpProgressBar::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    return OleRegGetUserType(CLSID_XP_ProgressBar, form, type);
}

STDMETHODIMP XpProgressBar::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
    if (window_) return S_OK;  // an active control takes its size from SetObjectRects
    extent_ = Size{toPixels(size->cx, LOGPIXELSX), toPixels(size->cy, LOGPIXELSY)};
    bar_->selectSurface();
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    size->cx = toHimetric(extent_.width, LOGPIXELSX);
    size->cy = toHimetric(extent_.height, LOGPIXELSY);
    return S_OK;
}

STDMETHODIMP XpProgressBar::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!sink || !connection) return E_POINTER;
    if (!adviseHolder_) {
        const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP XpProgressBar::Unadvise(DWORD connection) {
    if (!adviseHolder_) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP XpProgressBar::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!adviseHolder_) return S_OK;
    return adviseHolder_->EnumAdvise(advise);
}

STDMETHODIMP XpProgressBar::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

STDMETHODIMP XpProgressBar::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP XpProgressBar::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;  // there is no help to enter
}

STDMETHODIMP XpProgressBar::InPlaceDeactivate() {
    if (!window_) return S_OK;
    const HWND window = window_;
    window_ = nullptr;
    DestroyWindow(window);
    // The stored handle would name a window that no longer exists.
    if (bar_->hwnd() == reinterpret_cast<std::intptr_t>(window)) bar_->setHwnd(0);
    if (inPlaceSite_) {
        inPlaceSite_->OnInPlaceDeactivate();
        inPlaceSite_.reset();
    }
    return S_OK;
}

STDMETHODIMP XpProgressBar::UIDeactivate() {
    return S_OK;
}

STDMETHODIMP XpProgressBar::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    const LONG width = position->right - position->left;
    const LONG height = position->bottom - position->top;
    if (width < 0 || height < 0) return E_INVALIDARG;
    if (window_) {
        // WM_SIZE selects the surface for the new size.
        SetWindowPos(window_, nullptr, position->left, position->top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        extent_ = Size{width, height};
        bar_->selectSurface();
    }
    return S_OK;
}

STDMETHODIMP XpProgressBar::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}

STDMETHODIMP XpProgressBar::TranslateAccelerator(LPMSG) {
    return S_FALSE;  // no keys of its own
}

STDMETHODIMP XpProgressBar::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::OnDocWindowActivate(BOOL) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::EnableModeless(BOOL) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP XpProgressBar::OnMnemonic(MSG*) {
    return E_NOTIMPL;  // no mnemonics
}

STDMETHODIMP XpProgressBar::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

STDMETHODIMP XpProgressBar::FreezeEvents(BOOL) {
    return S_OK;  // the control raises no events
}

STDMETHODIMP XpProgressBar::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!bounds || !isDeviceContext(dc, true)) return E_INVALIDARG;
    // The bar at the container's rectangle, whether or not the control has a window of its own
    // (design views, printing, thumbnails): drawn apart, then copied in one transfer.
    const std::int64_t width = std::int64_t{bounds->right} - bounds->left;
    const std::int64_t height = std::int64_t{bounds->bottom} - bounds->top;
    if (width <= 0 || height <= 0) return S_OK;
    if (width > INT32_MAX || height > INT32_MAX) return E_INVALIDARG;
    const Size size{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    const auto picture = DibSurface::create(size);
    if (!picture) return E_OUTOFMEMORY;
    const HRESULT hr = toHresult(bar_->drawOnto(*picture, size));
    GdiSurface target(dc);
    target.copyFrom(*picture, 0, 0, size.width, size.height, bounds->left, bounds->top);
    return hr;
}

STDMETHODIMP XpProgressBar::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) {
    if (!colors) return E_POINTER;
    *colors = nullptr;
    return S_FALSE;  // no palette of its own
}

STDMETHODIMP XpProgressBar::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP XpProgressBar::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink) sink->AddRef();
    viewSink_.reset();
    if (sink) *viewSink_.put() = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_.get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace gaugekit
