// The XP_ProgressBar COM object: the dual interface _XP_ProgressBar over the portable core, with
// IDispatch answered through the type library's own type information. Every method checks its
// pointers and arguments and answers with a status code; no C++ exception leaves it.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "accessible.h"
#include "gaugekit_idl.h"
#include "gdi_surface.h"
#include "progress_bar.h"
#include "win32/handles.h"

namespace gaugekit {

// Objects alive and container locks of this module; DllCanUnloadNow answers from them.
struct ModuleCounts {
    static std::atomic<long> objects;
    static std::atomic<long> locks;
};

// The module that holds the code (the DLL), whose resources hold the type library.
HMODULE thisModule();

// Recompose on resize, no linking inside, inside-out, active when visible, site set first.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

// Dispatch identifiers of the members, as the type library assigns them.
enum MemberId : DISPID {
    kIdDrawProgressBar = 1,
    kIdDrawLine = 2,
    kIdDrawGradient = 3,
    kIdPDraw = 4,
    kIdBrushStyle = 5,
    kIdColor = 6,
    kIdFont = 7,
    kIdHwnd = 8,
    kIdHdc = 9,
    kIdImage = 10,
    kIdMin = 11,
    kIdMax = 12,
    kIdOrientation = 13,
    kIdScrolling = 14,
    kIdShowText = 15,
    kIdValue = 16,
};

// The status a failed core operation reports to the caller (the run-time error numbers scripts
// know: overflow 6, division by zero 11, type mismatch 13).
HRESULT toHresult(Status status);

class XpProgressBar;

// The own window's procedure, and the removal of its class when the module goes.
LRESULT CALLBACK controlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void unregisterWindowClass(HINSTANCE module);

// One outgoing interface of the control: the sinks advised on it, each held by one reference.
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(XpProgressBar& owner, REFIID iid) : owner_(owner), iid_(iid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    // Lives inside the control and counts on it.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Each sink with a reference of its own, so that a sink may unadvise while it is called.
    std::vector<win::ComPtr<IUnknown>> sinks() const;

  private:
    struct Connection {
        DWORD cookie;
        IUnknown* sink;
    };
    XpProgressBar& owner_;
    IID iid_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

class XpProgressBar final : public _XP_ProgressBar,
                            public IConnectionPointContainer,
                            public IProvideClassInfo2,
                            public IPersistStreamInit,
                            public IPersistPropertyBag,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            private ControlSite {
  public:
    // A new instance after its creation sequence, answering riid.
    static HRESULT create(REFIID riid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IConnectionPointContainer: property change notifications and the (empty) events
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IPersistStreamInit and IPersistPropertyBag: the same entries, order and defaults
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IOleObject: the container's site, verbs and extent
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject: the own window
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2: the picture drawn into a context of the container's
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL wBounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // _XP_ProgressBar
    STDMETHODIMP DrawProgressBar() override;
    STDMETHODIMP DrawLine(LONG X, LONG Y, LONG Width, LONG Height, LONG cHdc, LONG Color) override;
    STDMETHODIMP DrawGradient(LONG* lEndColor, LONG* lStartcolor, LONG X, LONG Y, LONG X2, LONG Y2,
                              LONG hdc, VARIANT_BOOL* bH) override;
    STDMETHODIMP pDraw(LONG hdc, LONG xSrc, LONG ySrc, LONG WidthSrc, LONG HeightSrc, LONG xDst,
                       LONG yDst) override;
    STDMETHODIMP put_BrushStyle(enum BrushStyle Style) override;
    STDMETHODIMP get_Color(LONG* lColor) override;
    STDMETHODIMP put_Color(LONG lColor) override;
    STDMETHODIMP get_Font(IFontDisp** fnt) override;
    STDMETHODIMP putref_Font(IFontDisp* fnt) override;
    STDMETHODIMP put_Font(IFontDisp* fnt) override;
    STDMETHODIMP get_hwnd(LONG* chWnd) override;
    STDMETHODIMP put_hwnd(LONG chWnd) override;
    STDMETHODIMP get_hdc(LONG* hdc) override;
    STDMETHODIMP put_hdc(LONG hdc) override;
    STDMETHODIMP get_Image(IPictureDisp** handle) override;
    STDMETHODIMP putref_Image(IPictureDisp* handle) override;
    STDMETHODIMP get_Min(LONG* cMin) override;
    STDMETHODIMP put_Min(LONG cMin) override;
    STDMETHODIMP get_Max(LONG* cMax) override;
    STDMETHODIMP put_Max(LONG cMax) override;
    STDMETHODIMP get_Orientation(enum cOrientation* cOrientation) override;
    STDMETHODIMP put_Orientation(enum cOrientation cOrientation) override;
    STDMETHODIMP get_Scrolling(enum cScrolling* lScrolling) override;
    STDMETHODIMP put_Scrolling(enum cScrolling lScrolling) override;
    STDMETHODIMP get_ShowText(VARIANT_BOOL* bShowText) override;
    STDMETHODIMP put_ShowText(VARIANT_BOOL bShowText) override;
    STDMETHODIMP get_Value(LONG* cValue) override;
    STDMETHODIMP put_Value(LONG cValue) override;

  private:
    friend LRESULT CALLBACK controlWindowProc(HWND, UINT, WPARAM, LPARAM);
    XpProgressBar();
    // Creates the own window in the container's and tells the site; S_OK when already active.
    HRESULT inPlaceActivate();
    // A write of Font or Image through Invoke, with the argument converted here.
    HRESULT putObject(DISPID id, const VARIANT& argument, UINT* argError);
    // Tells screen readers that the position moved, when it did.
    void announcePosition(std::int32_t before);
    // Lets go of the accessible object of a window that is going.
    void forgetAccessible();
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    ~XpProgressBar();
    XpProgressBar(const XpProgressBar&) = delete;
    XpProgressBar& operator=(const XpProgressBar&) = delete;

    // ControlSite: the control without a window draws nowhere until a container gives it one,
    // but its off-screen surface exists from the start at its extent.
    RasterSurface& ownSurface() override { return own_; }
    std::intptr_t ownWindow() override { return reinterpret_cast<std::intptr_t>(window_); }
    Size clientSize(std::intptr_t window) override;
    Size controlSize() override { return extent_; }
    std::unique_ptr<RasterSurface> createOffscreenSurface(Size size) override;
    FontRef newStandardFont() override;
    void propertyChanged(std::string_view name) override;

    std::atomic<ULONG> references_{1};
    win::ComPtr<IOleClientSite> clientSite_;
    win::ComPtr<IOleInPlaceSite> inPlaceSite_;
    win::ComPtr<IOleAdviseHolder> adviseHolder_;
    win::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    HDC windowDc_ = nullptr;  // the own window's (class) context
    win::ComPtr<ITypeInfo> typeInfo_;
    GdiSurface own_;
    HWND window_ = nullptr;
    Size extent_{200, 66};  // a new instance's size in pixels
    ConnectionPoint propertySinks_{*this, IID_IPropertyNotifySink};
    ConnectionPoint eventSinks_{*this, DIID___XP_ProgressBar};
    std::optional<ProgressBar> bar_;
    win::ComPtr<Accessible> accessible_;  // made when a screen reader first asks
};

}  // namespace gaugekit
