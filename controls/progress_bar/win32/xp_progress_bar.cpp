#include "xp_progress_bar.h"

#include <new>
#include <string_view>
#include <vector>

#include "draw.h"
#include "persistence.h"

namespace gaugekit {

std::atomic<long> ModuleCounts::objects{0};
std::atomic<long> ModuleCounts::locks{0};

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

HRESULT toHresult(Status status) {
    switch (status) {
        case Status::ok:
            return S_OK;
        case Status::overflow:
            return CTL_E_OVERFLOW;
        case Status::divisionByZero:
            return CTL_E_DIVISIONBYZERO;
        case Status::typeMismatch:
            return DISP_E_TYPEMISMATCH;
        case Status::storeFailed:
            return E_FAIL;
        case Status::outOfMemory:
            return E_OUTOFMEMORY;
        case Status::invalidPicture:
            return CTL_E_INVALIDPICTURE;
    }
    return E_FAIL;
}

namespace {

// The type information of _XP_ProgressBar from the library embedded in this module.
HRESULT loadTypeInfo(ITypeInfo** info) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    win::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.put());
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(IID__XP_ProgressBar, info);
}

// Checks the argument counts and named arguments against the member's description, which the
// runtime's own dispatcher does not do strictly: extra or misnamed arguments are refused rather
// than silently dropped. Members it does not find are left to the dispatcher to refuse.
HRESULT checkArguments(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params) {
    TYPEATTR* type = nullptr;
    if (FAILED(info->GetTypeAttr(&type))) return S_OK;
    const UINT functions = type->cFuncs;
    info->ReleaseTypeAttr(type);
    for (const INVOKEKIND kind :
         {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF}) {
        if (!(flags & kind)) continue;
        for (UINT index = 0; index < functions; ++index) {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(index, &function))) continue;
            if (function->memid != id || function->invkind != kind) {
                info->ReleaseFuncDesc(function);
                continue;
            }
            UINT accepted = 0;
            UINT required = 0;
            for (SHORT i = 0; i < function->cParams; ++i) {
                const USHORT paramFlags = function->lprgelemdescParam[i].paramdesc.wParamFlags;
                if (paramFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
                ++accepted;
                if (!(paramFlags & PARAMFLAG_FOPT)) required = accepted;
            }
            info->ReleaseFuncDesc(function);
            const bool put = kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF;
            if (put &&
                (params.cNamedArgs == 0 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTOPTIONAL;
            for (UINT i = 0; i < params.cNamedArgs; ++i) {
                const DISPID named = params.rgdispidNamedArgs[i];
                if (put && named == DISPID_PROPERTYPUT) continue;
                if (named < 0 || static_cast<UINT>(named) >= accepted) return DISP_E_PARAMNOTFOUND;
            }
            if (params.cArgs > accepted) return DISP_E_BADPARAMCOUNT;
            // Named arguments may stand in for required ones past the positional ones.
            if (params.cArgs < required && params.cNamedArgs == 0) return DISP_E_BADPARAMCOUNT;
            return S_OK;
        }
    }
    return S_OK;
}

// Script hosts pass variables as references to variants; the runtime's dispatcher turns such an
// argument into a by-value number but refuses it for a by-reference parameter. DrawGradient's
// colours and bH are by reference, so they are pointed at the caller's variable here, which
// takes the parameter's type first. The copies share the caller's data and own nothing.
HRESULT pointAtVariables(const DISPPARAMS& params, std::vector<VARIANT>& args, UINT* argError) {
    args.assign(params.rgvarg, params.rgvarg + params.cArgs);
    for (UINT i = 0; i < params.cArgs; ++i) {
        const LONG position = i < params.cNamedArgs ? params.rgdispidNamedArgs[i]
                                                    : static_cast<LONG>(params.cArgs - 1 - i);
        if (position != 0 && position != 1 && position != 7) continue;
        VARIANT& arg = args[i];
        if (arg.vt != (VT_VARIANT | VT_BYREF) || !arg.pvarVal || (arg.pvarVal->vt & VT_BYREF))
            continue;
        VARIANT* variable = arg.pvarVal;
        const VARTYPE wanted = position == 7 ? VT_BOOL : VT_I4;
        if (variable->vt != wanted && FAILED(VariantChangeType(variable, variable, 0, wanted))) {
            if (argError) *argError = i;
            return DISP_E_TYPEMISMATCH;
        }
        arg.vt = wanted | VT_BYREF;
        if (wanted == VT_BOOL)
            arg.pboolVal = &variable->boolVal;
        else
            arg.plVal = &variable->lVal;
    }
    return S_OK;
}

// The object a property write passes: a dispatch or unknown pointer, by value or by reference,
// or in a variant passed by reference; null for Nothing. Other arguments hold no object.
bool objectOf(const VARIANT& argument, IUnknown*& object) {
    const VARIANT* v = &argument;
    if (v->vt == (VT_VARIANT | VT_BYREF)) {
        if (!v->pvarVal) return false;
        v = v->pvarVal;
    }
    switch (v->vt) {
        case VT_DISPATCH:
        case VT_UNKNOWN:
            object = v->punkVal;
            return true;
        case VT_DISPATCH | VT_BYREF:
        case VT_UNKNOWN | VT_BYREF:
            if (!v->ppunkVal) return false;
            object = *v->ppunkVal;
            return true;
        default:
            return false;
    }
}

void addReference(IConnectionPoint* point) {
    point->AddRef();
}
void addReference(CONNECTDATA& data) {
    data.pUnk->AddRef();
}
void release(IConnectionPoint* point) {
    point->Release();
}
void release(CONNECTDATA& data) {
    data.pUnk->Release();
}

// A snapshot enumerator of connection points or connections. Its items hold references of their
// own, and it keeps the control alive while it exists.
template <typename Interface, typename Item, const IID& kIid>
class Enumerator final : public Interface {
  public:
    Enumerator(IUnknown* owner, std::vector<Item> items, size_t position = 0)
        : items_(std::move(items)), position_(position) {
        owner->AddRef();
        owner_ = owner;
        for (Item& item : items_) addReference(item);
        ++ModuleCounts::objects;
    }
    ~Enumerator() {
        for (Item& item : items_) release(item);
        owner_->Release();
        --ModuleCounts::objects;
    }
    Enumerator(const Enumerator&) = delete;
    Enumerator& operator=(const Enumerator&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid != IID_IUnknown && riid != kIid) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < items_.size(); ++n, ++position_) {
            out[n] = items_[position_];
            addReference(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = items_.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) Enumerator(owner_, items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

  private:
    std::atomic<ULONG> references_{1};
    IUnknown* owner_ = nullptr;
    std::vector<Item> items_;
    size_t position_;
};

using PointEnumerator =
    Enumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;
using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;

}  // namespace

ConnectionPoint::~ConnectionPoint() {
    for (const Connection& c : connections_) c.sink->Release();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() {
    return static_cast<_XP_ProgressBar&>(owner_).AddRef();
}

STDMETHODIMP_(ULONG) ConnectionPoint::Release() {
    return static_cast<_XP_ProgressBar&>(owner_).Release();
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = &owner_;
    owner_.AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    IUnknown* typed = nullptr;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed))) || !typed)
        return CONNECT_E_CANNOTCONNECT;
    try {
        connections_.push_back(Connection{nextCookie_, typed});
    } catch (const std::bad_alloc&) {
        typed->Release();
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->cookie != cookie) continue;
        IUnknown* sink = it->sink;
        connections_.erase(it);
        sink->Release();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    try {
        std::vector<CONNECTDATA> items;
        for (const Connection& c : connections_) items.push_back(CONNECTDATA{c.sink, c.cookie});
        *connections = new ConnectionEnumerator(static_cast<IConnectionPointContainer*>(&owner_),
                                                std::move(items));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::vector<win::ComPtr<IUnknown>> ConnectionPoint::sinks() const {
    std::vector<win::ComPtr<IUnknown>> result;
    try {
        for (const Connection& c : connections_) {
            win::ComPtr<IUnknown> sink;
            c.sink->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(sink.put()));
            if (sink) result.push_back(std::move(sink));
        }
    } catch (const std::bad_alloc&) {
        // The sinks already gathered are still told.
    }
    return result;
}

XpProgressBar::XpProgressBar() {
    ++ModuleCounts::objects;
}

XpProgressBar::~XpProgressBar() {
    if (window_) DestroyWindow(window_);
    forgetAccessible();
    bar_.reset();  // termination frees the off-screen surface
    --ModuleCounts::objects;
}

HRESULT XpProgressBar::create(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) XpProgressBar;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = loadTypeInfo(object->typeInfo_.put());
    if (SUCCEEDED(hr)) {
        try {
            object->bar_.emplace(static_cast<ControlSite&>(*object));
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
    }
    if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

STDMETHODIMP XpProgressBar::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__XP_ProgressBar) {
        *out = static_cast<_XP_ProgressBar*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
        *out = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
        *out = static_cast<IProvideClassInfo2*>(this);
    } else if (riid == IID_IPersistStreamInit || riid == IID_IPersist) {
        *out = static_cast<IPersistStreamInit*>(this);
    } else if (riid == IID_IPersistPropertyBag) {
        *out = static_cast<IPersistPropertyBag*>(this);
    } else if (riid == IID_IOleObject) {
        *out = static_cast<IOleObject*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) {
        *out = static_cast<IOleInPlaceObject*>(this);
    } else if (riid == IID_IOleInPlaceActiveObject) {
        *out = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (riid == IID_IOleControl) {
        *out = static_cast<IOleControl*>(this);
    } else if (riid == IID_IViewObject || riid == IID_IViewObject2) {
        *out = static_cast<IViewObject2*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) XpProgressBar::AddRef() {
    return ++references_;
}

STDMETHODIMP_(ULONG) XpProgressBar::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP XpProgressBar::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    typeInfo_->AddRef();
    *info = typeInfo_.get();
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
}

STDMETHODIMP XpProgressBar::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_POINTER;
    if (params->cArgs > 0 && !params->rgvarg) return E_POINTER;
    if (params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    // A reference to nothing would be read by the runtime's conversions.
    for (UINT i = 0; i < params->cArgs; ++i) {
        const VARIANT& arg = params->rgvarg[i];
        if ((arg.vt & VT_BYREF) && !arg.byref) {
            if (argError) *argError = i;
            return DISP_E_TYPEMISMATCH;
        }
    }
    HRESULT hr = checkArguments(typeInfo_.get(), id, flags, *params);
    if (FAILED(hr)) return hr;
    const bool objectWrite =
        (id == kIdFont && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) ||
        (id == kIdImage && (flags & DISPATCH_PROPERTYPUTREF));
    if (objectWrite && params->cArgs == 1) return putObject(id, params->rgvarg[0], argError);
    std::vector<VARIANT> args;
    DISPPARAMS pointed = *params;
    if (id == kIdDrawGradient && params->cArgs > 0) {
        try {
            hr = pointAtVariables(*params, args, argError);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) return hr;
        pointed.rgvarg = args.data();
        params = &pointed;
    }
    return DispInvoke(static_cast<_XP_ProgressBar*>(this), typeInfo_.get(), id, flags, params,
                      result, exception, argError);
}

HRESULT XpProgressBar::putObject(DISPID id, const VARIANT& argument, UINT* argError) {
    // Converted here rather than by the runtime's dispatcher, which keeps a reference to an
    // argument of the wrong kind when the conversion fails.
    IUnknown* object = nullptr;
    if (!objectOf(argument, object)) {
        if (argError) *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    HRESULT hr = S_OK;
    if (id == kIdFont) {
        win::ComPtr<IFontDisp> font;
        if (object)
            hr = object->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(font.put()));
        if (SUCCEEDED(hr)) hr = putref_Font(font.get());
    } else {
        win::ComPtr<IPictureDisp> picture;
        if (object)
            hr = object->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(picture.put()));
        if (SUCCEEDED(hr)) hr = putref_Image(picture.get());
    }
    if (hr == E_NOINTERFACE) hr = DISP_E_TYPEMISMATCH;
    if (hr == DISP_E_TYPEMISMATCH && argError) *argError = 0;
    return hr;
}

STDMETHODIMP XpProgressBar::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    *points = nullptr;
    try {
        *points = new PointEnumerator(static_cast<IConnectionPointContainer*>(this),
                                      {&propertySinks_, &eventSinks_});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP XpProgressBar::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid == IID_IPropertyNotifySink)
        *point = &propertySinks_;
    else if (riid == DIID___XP_ProgressBar)
        *point = &eventSinks_;
    else
        return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    win::ComPtr<ITypeLib> library;
    UINT index = 0;
    HRESULT hr = typeInfo_->GetContainingTypeLib(library.put(), &index);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(CLSID_XP_ProgressBar, info);
}

STDMETHODIMP XpProgressBar::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___XP_ProgressBar;
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_XP_ProgressBar;
    return S_OK;
}

STDMETHODIMP XpProgressBar::IsDirty() {
    return bar_->dirty() ? S_OK : S_FALSE;
}

STDMETHODIMP XpProgressBar::InitNew() {
    // A new instance keeps its creation values.
    return S_OK;
}

STDMETHODIMP XpProgressBar::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    StreamStore store;
    const Status read = store.loadFrom(stream);
    if (read != Status::ok) return read == Status::storeFailed ? STG_E_READFAULT : toHresult(read);
    const std::int32_t before = bar_->percent();
    const HRESULT hr = toHresult(bar_->load(store));
    if (SUCCEEDED(hr)) bar_->clearDirty();
    announcePosition(before);
    return hr;
}

STDMETHODIMP XpProgressBar::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    StreamStore store;
    Status status = bar_->save(store);
    if (status == Status::ok) status = store.saveTo(stream);
    if (status != Status::ok)
        return status == Status::storeFailed ? STG_E_CANTSAVE : toHresult(status);
    if (clearDirty) bar_->clearDirty();
    return S_OK;
}

STDMETHODIMP XpProgressBar::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    // The size of what a save would write now.
    win::ComPtr<IStream> memory;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, memory.put());
    if (FAILED(hr)) return hr;
    hr = Save(memory.get(), FALSE);
    if (FAILED(hr)) return hr;
    STATSTG stat{};
    hr = memory->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr)) *size = stat.cbSize;
    return hr;
}

STDMETHODIMP XpProgressBar::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    PropertyBagStore store(bag, log);
    const std::int32_t before = bar_->percent();
    const Status status = bar_->load(store);
    announcePosition(before);
    if (status == Status::storeFailed) return E_FAIL;
    if (status == Status::ok) bar_->clearDirty();
    return toHresult(status);
}

STDMETHODIMP XpProgressBar::Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) {
    if (!bag) return E_POINTER;
    PropertyBagStore store(bag, nullptr, saveAll != FALSE);
    const Status status = bar_->save(store);
    if (status != Status::ok) return toHresult(status);
    if (clearDirty) bar_->clearDirty();
    return S_OK;
}

STDMETHODIMP XpProgressBar::DrawProgressBar() {
    return toHresult(bar_->drawProgressBar());
}

STDMETHODIMP XpProgressBar::DrawLine(LONG X, LONG Y, LONG Width, LONG Height, LONG cHdc,
                                     LONG Color) {
    if (!isDeviceContext(handleFromLong<HDC>(cHdc), false)) return CTL_E_ILLEGALFUNCTIONCALL;
    GdiSurface target(handleFromLong<HDC>(cHdc));
    drawLine(target, X, Y, Width, Height, Color);
    return S_OK;
}

STDMETHODIMP XpProgressBar::DrawGradient(LONG* lEndColor, LONG* lStartcolor, LONG X, LONG Y,
                                         LONG X2, LONG Y2, LONG hdc, VARIANT_BOOL* bH) {
    if (!lEndColor || !lStartcolor) return E_POINTER;
    if (!isDeviceContext(handleFromLong<HDC>(hdc), false)) return CTL_E_ILLEGALFUNCTIONCALL;
    GdiSurface target(handleFromLong<HDC>(hdc));
    Color endColor = *lEndColor;
    Color startColor = *lStartcolor;
    drawGradient(target, endColor, startColor, X, Y, X2, Y2, bH && *bH != VARIANT_FALSE);
    *lEndColor = endColor;
    *lStartcolor = startColor;
    return S_OK;
}

STDMETHODIMP XpProgressBar::pDraw(LONG hdc, LONG xSrc, LONG ySrc, LONG WidthSrc, LONG HeightSrc,
                                  LONG xDst, LONG yDst) {
    if (!isDeviceContext(handleFromLong<HDC>(hdc), false)) return CTL_E_ILLEGALFUNCTIONCALL;
    GdiSurface target(handleFromLong<HDC>(hdc));
    bar_->pDraw(target, xSrc, ySrc, WidthSrc, HeightSrc, xDst, yDst);
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_BrushStyle(enum BrushStyle Style) {
    bar_->setBrushStyle(static_cast<std::int32_t>(Style));
    return S_OK;
}

STDMETHODIMP XpProgressBar::get_Color(LONG* lColor) {
    if (!lColor) return E_POINTER;
    *lColor = bar_->color();
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Color(LONG lColor) {
    return toHresult(bar_->setColor(lColor));
}

STDMETHODIMP XpProgressBar::get_Font(IFontDisp** fnt) {
    if (!fnt) return E_POINTER;
    *fnt = nullptr;
    const auto* font = dynamic_cast<const GdiFont*>(bar_->font().get());
    if (!font || !font->font()) return S_OK;
    return font->font()->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(fnt));
}

STDMETHODIMP XpProgressBar::putref_Font(IFontDisp* fnt) {
    FontRef font;
    if (fnt) {
        win::ComPtr<IFont> standard;
        if (FAILED(fnt->QueryInterface(IID_IFont, reinterpret_cast<void**>(standard.put()))))
            return DISP_E_TYPEMISMATCH;
        try {
            font = std::make_shared<GdiFont>(standard.get());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    bar_->setFont(std::move(font));
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Font(IFontDisp* fnt) {
    // Both writes keep the caller's object, not a copy of it.
    return putref_Font(fnt);
}

STDMETHODIMP XpProgressBar::get_hwnd(LONG* chWnd) {
    if (!chWnd) return E_POINTER;
    *chWnd = static_cast<LONG>(bar_->hwnd());
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_hwnd(LONG chWnd) {
    bar_->setHwnd(static_cast<std::intptr_t>(chWnd));
    return S_OK;
}

STDMETHODIMP XpProgressBar::get_hdc(LONG* hdc) {
    if (!hdc) return E_POINTER;
    // Every surface this control draws on is a GDI one.
    *hdc = longFromHandle(static_cast<const GdiSurface&>(bar_->hdc()).dc());
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_hdc(LONG) {
    bar_->selectSurface();
    return S_OK;
}

STDMETHODIMP XpProgressBar::get_Image(IPictureDisp** handle) {
    if (!handle) return E_POINTER;
    *handle = nullptr;
    const auto* picture = dynamic_cast<const GdiPicture*>(bar_->image().get());
    if (!picture || !picture->picture()) return S_OK;
    return picture->picture()->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(handle));
}

STDMETHODIMP XpProgressBar::putref_Image(IPictureDisp* handle) {
    PictureRef image;
    if (handle) {
        win::ComPtr<IPicture> picture;
        if (FAILED(handle->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.put()))))
            return DISP_E_TYPEMISMATCH;
        try {
            image = std::make_shared<GdiPicture>(picture.get());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    return toHresult(bar_->setImage(std::move(image)));
}

STDMETHODIMP XpProgressBar::get_Min(LONG* cMin) {
    if (!cMin) return E_POINTER;
    *cMin = bar_->min();
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Min(LONG cMin) {
    bar_->setMin(cMin);
    return S_OK;
}

STDMETHODIMP XpProgressBar::get_Max(LONG* cMax) {
    if (!cMax) return E_POINTER;
    *cMax = bar_->max();
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Max(LONG cMax) {
    bar_->setMax(cMax);
    return S_OK;
}

STDMETHODIMP XpProgressBar::get_Orientation(enum cOrientation* cOrientation) {
    if (!cOrientation) return E_POINTER;
    *cOrientation = static_cast<enum cOrientation>(bar_->orientation());
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Orientation(enum cOrientation cOrientation) {
    return toHresult(bar_->setOrientation(static_cast<std::int32_t>(cOrientation)));
}

STDMETHODIMP XpProgressBar::get_Scrolling(enum cScrolling* lScrolling) {
    if (!lScrolling) return E_POINTER;
    *lScrolling = static_cast<enum cScrolling>(bar_->scrolling());
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Scrolling(enum cScrolling lScrolling) {
    return toHresult(bar_->setScrolling(static_cast<std::int32_t>(lScrolling)));
}

STDMETHODIMP XpProgressBar::get_ShowText(VARIANT_BOOL* bShowText) {
    if (!bShowText) return E_POINTER;
    *bShowText = bar_->showText();
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_ShowText(VARIANT_BOOL bShowText) {
    return toHresult(bar_->setShowText(bShowText));
}

STDMETHODIMP XpProgressBar::get_Value(LONG* cValue) {
    if (!cValue) return E_POINTER;
    std::int32_t value = 0;
    const Status status = bar_->value(value);
    if (status != Status::ok) return toHresult(status);
    *cValue = value;
    return S_OK;
}

STDMETHODIMP XpProgressBar::put_Value(LONG cValue) {
    const std::int32_t before = bar_->percent();
    const HRESULT hr = toHresult(bar_->setValue(cValue));
    announcePosition(before);
    return hr;
}

void XpProgressBar::announcePosition(std::int32_t before) {
    if (window_ && bar_->percent() != before)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window_, OBJID_CLIENT, CHILDID_SELF);
}

void XpProgressBar::forgetAccessible() {
    if (!accessible_) return;
    accessible_->detach();
    accessible_.reset();
}

Size XpProgressBar::clientSize(std::intptr_t window) {
    RECT r{};
    if (!window || !GetClientRect(reinterpret_cast<HWND>(window), &r)) return Size{};
    return Size{r.right, r.bottom};
}

std::unique_ptr<RasterSurface> XpProgressBar::createOffscreenSurface(Size size) {
    return DibSurface::create(size);
}

FontRef XpProgressBar::newStandardFont() {
    // The platform's default font object: MS Sans Serif, 8 points, regular.
    FONTDESC desc{sizeof(FONTDESC),
                  const_cast<LPOLESTR>(L"MS Sans Serif"),
                  {{80000, 0}},
                  FW_NORMAL,
                  ANSI_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    win::ComPtr<IFont> font;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(font.put()))))
        return nullptr;
    try {
        return std::make_shared<GdiFont>(font.get());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void XpProgressBar::propertyChanged(std::string_view name) {
    const struct {
        std::string_view name;
        DISPID id;
    } ids[] = {{"BrushStyle", kIdBrushStyle},
               {"Color", kIdColor},
               {"Font", kIdFont},
               {"hwnd", kIdHwnd},
               {"hdc", kIdHdc},
               {"Image", kIdImage},
               {"Min", kIdMin},
               {"Max", kIdMax},
               {"Orientation", kIdOrientation},
               {"Scrolling", kIdScrolling},
               {"ShowText", kIdShowText},
               {"Value", kIdValue}};
    DISPID id = DISPID_UNKNOWN;  // tells the container that anything may have changed
    for (const auto& entry : ids)
        if (entry.name == name) id = entry.id;
    for (const auto& sink : propertySinks_.sinks()) {
        win::ComPtr<IPropertyNotifySink> notify;
        if (SUCCEEDED(sink->QueryInterface(IID_IPropertyNotifySink,
                                           reinterpret_cast<void**>(notify.put()))))
            notify->OnChanged(id);
    }
}

}  // namespace gaugekit
