#include "fuzz.h"

#include <oleacc.h>

#include <deque>
#include <limits>
#include <sstream>

namespace gaugekit::testing {
namespace {

// splitmix64: a small generator whose every call number gives its own sequence.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = state_ += 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    template <typename T>
    T pick(std::initializer_list<T> items) {
        return items.begin()[below(static_cast<std::uint32_t>(items.size()))];
    }

  private:
    std::uint64_t state_;
};

// A container's bag holding variants, objects among them (each with a reference of its own).
class VariantBag final : public IPropertyBag {
  public:
    ~VariantBag() {
        for (auto& [name, value] : entries) VariantClear(&value);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = riid == IID_IUnknown || riid == IID_IPropertyBag ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        for (auto& [key, stored] : entries)
            if (key == name) return VariantCopy(value, &stored);
        return E_INVALIDARG;
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_FAIL; }
    std::vector<std::pair<std::wstring, VARIANT>> entries;
};

const wchar_t* const kNames[] = {L"DrawProgressBar",
                                 L"DrawLine",
                                 L"DrawGradient",
                                 L"pDraw",
                                 L"BrushStyle",
                                 L"Color",
                                 L"Font",
                                 L"hwnd",
                                 L"hdc",
                                 L"Image",
                                 L"Min",
                                 L"Max",
                                 L"Orientation",
                                 L"Scrolling",
                                 L"ShowText",
                                 L"Value"};

}  // namespace

struct Fuzzer::State {
    State(const Module& m, std::uint64_t s) : module(m), seed(s), canvas(64, 32) {}

    const Module& module;
    std::uint64_t seed;
    FuzzFigures figures;
    std::string what;
    std::vector<win::ComPtr<IDispatch>> targets;  // called, and passed to each other
    win::ComPtr<IDispatch> font;
    win::ComPtr<IDispatch> picture;
    win::ComPtr<IStream> stream;  // an object that is no dispatch at all
    Canvas canvas;
    win::Window window;

    // What every call's variants point at, freed when the call ends.
    std::deque<LONG> longs;
    std::deque<VARIANT_BOOL> bools;
    std::deque<IUnknown*> pointers;
    std::deque<VARIANT> inner;
    std::vector<BSTR> strings;

    void finding(long index, const std::string& what) {
        if (figures.findings.size() < 10)
            figures.findings.push_back("call " + std::to_string(index) + ": " + what);
    }

    // A 32-bit value a careless host might pass: limits, handles, sizes, plain noise.
    LONG number(Random& r) {
        switch (r.below(4)) {
            case 0:
                return static_cast<LONG>(r.below(601)) - 300;
            case 1:
                return static_cast<LONG>(r.next());
            case 2:
                return r.pick<LONG>(
                    {static_cast<LONG>(reinterpret_cast<INT_PTR>(window.get())), canvas.dc(), 0});
            default:
                return r.pick<LONG>({0,
                                     1,
                                     -1,
                                     2,
                                     6,
                                     7,
                                     9,
                                     10,
                                     50,
                                     99,
                                     100,
                                     101,
                                     150,
                                     255,
                                     32767,
                                     32768,
                                     40000,
                                     65535,
                                     0x7FFFFFFF,
                                     INT32_MIN,
                                     static_cast<LONG>(0x8000000D),
                                     static_cast<LONG>(0x80000005),
                                     21474836,
                                     21474837,
                                     -21474837,
                                     6684673});
        }
    }

    IUnknown* object(Random& r) {
        switch (r.below(5)) {
            case 0:
                return nullptr;
            case 1:
                return targets[r.below(static_cast<std::uint32_t>(targets.size()))].get();
            case 2:
                return font.get();
            case 3:
                return picture.get();
            default:
                return stream.get();
        }
    }

    // A random argument; what it points at lives until the call's end. An argument passed by
    // reference as a variant is the caller's variable, which owns what it holds: the control
    // may change it in place, as it does to DrawGradient's colours.
    VARIANT variant(Random& r, bool variable = false) {
        VARIANT v;
        VariantInit(&v);
        switch (r.below(variable ? 10 : 14)) {
            case 0:
                break;  // VT_EMPTY
            case 1:
                v.vt = r.pick<VARTYPE>({VT_NULL, VT_ERROR});
                v.scode = DISP_E_PARAMNOTFOUND;  // an omitted optional argument
                break;
            case 2:
                v.vt = VT_I2;
                v.iVal = static_cast<SHORT>(number(r));
                break;
            case 3:
            case 4:
                v.vt = VT_I4;
                v.lVal = number(r);
                break;
            case 5:
                v.vt = VT_R8;
                v.dblVal = r.pick<double>(
                    {0.5, 2.5, -0.5, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), static_cast<double>(number(r)) / 3});
                break;
            case 6:
                v.vt = VT_BOOL;
                v.boolVal = r.chance(50) ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case 7: {
                const std::wstring text = r.pick<std::wstring>(
                    {L"", L"42", L" -3 ", L"abc", L"1e10", L"True", L"0x10", L"99.5",
                     std::to_wstring(number(r)), std::wstring(300, L'9')});
                v.vt = VT_BSTR;
                v.bstrVal = SysAllocString(text.c_str());
                if (!variable) strings.push_back(v.bstrVal);
                break;
            }
            case 8:
            case 9:
                v.vt = r.pick<VARTYPE>({VT_DISPATCH, VT_UNKNOWN});
                v.punkVal = object(r);
                if (variable && v.punkVal) v.punkVal->AddRef();
                break;
            case 10:
                longs.push_back(number(r));
                v.vt = VT_I4 | VT_BYREF;
                v.plVal = &longs.back();
                break;
            case 11:
                bools.push_back(r.chance(50) ? VARIANT_TRUE : VARIANT_FALSE);
                v.vt = VT_BOOL | VT_BYREF;
                v.pboolVal = &bools.back();
                break;
            case 12:
                pointers.push_back(object(r));
                v.vt = r.pick<VARTYPE>({VT_DISPATCH, VT_UNKNOWN}) | VT_BYREF;
                v.ppunkVal = &pointers.back();
                break;
            default:
                inner.push_back(variant(r, true));
                v.vt = VT_VARIANT | VT_BYREF;
                v.pvarVal = &inner.back();
                break;
        }
        if ((v.vt & VT_BYREF) && r.chance(3)) v.byref = nullptr;  // a reference to nothing
        return v;
    }

    void endCall() {
        for (BSTR s : strings) SysFreeString(s);
        strings.clear();
        for (VARIANT& v : inner) VariantClear(&v);
        longs.clear();
        bools.clear();
        pointers.clear();
        inner.clear();
    }

    // What a failed write must leave alone: the saved bytes, the window and the dirty flag.
    std::string snapshot(IDispatch* bar) {
        HRESULT ignored;
        return savedStream(bar) + '|' + std::to_string(getNumber(bar, L"hwnd", &ignored)) + '|' +
               std::to_string(query<IPersistStreamInit>(bar, IID_IPersistStreamInit)->IsDirty());
    }

    void invoke(Random& r, long index, IDispatch* bar) {
        DISPID id = static_cast<DISPID>(r.below(16) + 1);
        if (r.chance(5))
            id = r.pick<DISPID>({0, -1, -3, -4, 17, 100, static_cast<DISPID>(r.next())});
        WORD flags = r.pick<WORD>({DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                                   DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF,
                                   DISPATCH_METHOD | DISPATCH_PROPERTYGET});
        if (r.chance(2)) flags = static_cast<WORD>(r.next());
        const bool write = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        std::vector<VARIANT> args;
        const std::uint32_t count = write && r.chance(90) ? 1 : r.below(10);
        for (std::uint32_t i = 0; i < count; ++i) args.push_back(variant(r));
        std::vector<DISPID> named;
        if (write && r.chance(95)) named.push_back(DISPID_PROPERTYPUT);
        if (r.chance(10))
            for (std::uint32_t i = r.below(count + 1); i > 0; --i)
                named.push_back(
                    r.pick<DISPID>({0, 1, 2, 6, 7, 9, -3, static_cast<DISPID>(r.next())}));
        if (named.size() > args.size()) named.resize(args.size());
        DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(named.size())};
        std::ostringstream text;
        text << "Invoke(" << id << ", flags " << flags << ", " << named.size() << " named of";
        for (const VARIANT& a : args) text << ' ' << a.vt;
        text << ')';
        what = text.str();
        Var result;
        EXCEPINFO exception{};
        UINT argError = 0;
        const std::string before = write ? snapshot(bar) : std::string();
        const HRESULT hr =
            bar->Invoke(id, r.chance(97) ? IID_NULL : IID_IDispatch, 0, flags, &params,
                        r.chance(80) ? &result : nullptr, r.chance(80) ? &exception : nullptr,
                        r.chance(80) ? &argError : nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (!write) return;
        ++figures.writes;
        if (SUCCEEDED(hr)) return;
        ++figures.failedWrites;
        if (snapshot(bar) == before) return;
        // A write that stored its value and whose redraw then failed reports the redraw's
        // error: the same redraw fails again.
        if (FAILED(invokeSimple(bar, L"DrawProgressBar"))) {
            ++figures.redrawFailures;
            return;
        }
        ++figures.stateChanges;
        std::ostringstream what;
        what << "write of member " << id << " (flags " << flags << ") failed with 0x" << std::hex
             << hr << " and changed the state";
        finding(index, what.str());
    }

    static HRESULT invokeSimple(IDispatch* bar, const wchar_t* name) {
        return gaugekit::testing::invoke(bar, name, DISPATCH_METHOD, {});
    }

    void container(Random& r, IDispatch* bar) {
        const std::uint32_t kind = r.below(9);
        what = "container call of kind " + std::to_string(kind);
        switch (kind) {
            case 0: {
                const IID iids[] = {IID_IUnknown,
                                    IID_IDispatch,
                                    IID__XP_ProgressBar,
                                    IID_IPersistStreamInit,
                                    IID_IPersistPropertyBag,
                                    IID_IOleObject,
                                    IID_IViewObject2,
                                    IID_IOleInPlaceObject,
                                    IID_IOleControl,
                                    IID_IConnectionPointContainer,
                                    IID_IProvideClassInfo2,
                                    IID_IClassFactory,
                                    IID_IMarshal,
                                    IID_IStream,
                                    IID_IAccessible};
                IID iid = iids[r.below(sizeof(iids) / sizeof(iids[0]))];
                if (r.chance(20)) iid.Data1 ^= static_cast<DWORD>(r.next());
                IUnknown* out = nullptr;
                if (SUCCEEDED(bar->QueryInterface(iid, reinterpret_cast<void**>(&out))) && out)
                    out->Release();
                bar->QueryInterface(iid, nullptr);
                break;
            }
            case 1: {  // a saved stream, damaged
                std::string bytes =
                    savedStream(targets[r.below(static_cast<std::uint32_t>(targets.size()))].get());
                for (std::uint32_t i = r.below(4); i > 0 && !bytes.empty(); --i) {
                    const size_t at = r.below(static_cast<std::uint32_t>(bytes.size()));
                    switch (r.below(3)) {
                        case 0:
                            bytes[at] = static_cast<char>(r.next());
                            break;
                        case 1:
                            bytes.resize(at);
                            break;
                        default:
                            bytes.insert(at,
                                         std::string(r.below(8) + 1, static_cast<char>(r.next())));
                    }
                }
                loadStream(bar, bytes);
                break;
            }
            case 2: {
                VariantBag bag;
                for (std::uint32_t i = r.below(12); i > 0; --i) {
                    VARIANT stored;
                    VariantInit(&stored);
                    VARIANT v = variant(r, true);
                    if (SUCCEEDED(VariantCopy(&stored, &v)))
                        bag.entries.emplace_back(kNames[r.below(16)], stored);
                    VariantClear(&v);
                }
                query<IPersistPropertyBag>(bar, IID_IPersistPropertyBag)->Load(&bag, nullptr);
                break;
            }
            case 3: {
                const auto object = query<IOleObject>(bar, IID_IOleObject);
                SIZEL size{extent(r), extent(r)};
                object->SetExtent(r.pick<DWORD>({DVASPECT_CONTENT, DVASPECT_ICON}), &size);
                object->GetExtent(DVASPECT_CONTENT, &size);
                object->DoVerb(
                    r.pick<LONG>({OLEIVERB_PRIMARY, OLEIVERB_SHOW, OLEIVERB_HIDE, 7, -9}), nullptr,
                    nullptr, 0, nullptr, nullptr);
                object->SetClientSite(nullptr);
                break;
            }
            case 4: {  // drawn by a view onto odd contexts at odd places
                const LONG left = r.chance(95) ? static_cast<LONG>(r.below(200)) - 100 : number(r);
                const LONG top = r.chance(95) ? static_cast<LONG>(r.below(100)) - 50 : number(r);
                const bool huge = r.chance(3);
                const RECTL bounds{left, top, left + (huge ? INT32_MAX : extent(r) / 40),
                                   top + (huge ? INT32_MAX : extent(r) / 40)};
                const LONG dc = r.chance(70) ? canvas.dc() : number(r);
                drawView(bar, reinterpret_cast<HDC>(static_cast<INT_PTR>(dc)), bounds);
                break;
            }
            case 5: {
                const RECT rect{static_cast<LONG>(r.below(50)), static_cast<LONG>(r.below(50)),
                                extent(r) / 40, extent(r) / 40};
                const auto place = query<IOleInPlaceObject>(bar, IID_IOleInPlaceObject);
                place->SetObjectRects(&rect, &rect);
                HWND window = nullptr;
                place->GetWindow(&window);
                break;
            }
            case 6: {
                const auto points =
                    query<IConnectionPointContainer>(bar, IID_IConnectionPointContainer);
                win::ComPtr<IConnectionPoint> point;
                const IID iid =
                    r.pick<IID>({IID_IPropertyNotifySink, DIID___XP_ProgressBar, IID_IDispatch});
                if (FAILED(points->FindConnectionPoint(iid, point.put()))) break;
                DWORD cookie = 0;
                if (SUCCEEDED(point->Advise(object(r), &cookie))) point->Unadvise(cookie);
                point->Unadvise(static_cast<DWORD>(r.next()));
                break;
            }
            case 7: {
                LPOLESTR names[2] = {const_cast<LPOLESTR>(kNames[r.below(16)]),
                                     const_cast<LPOLESTR>(r.chance(50) ? L"" : L"bH")};
                DISPID ids[2] = {};
                bar->GetIDsOfNames(IID_NULL, names, r.below(3), 0, ids);
                GUID guid{};
                query<IProvideClassInfo2>(bar, IID_IProvideClassInfo2)->GetGUID(r.below(3), &guid);
                break;
            }
            default:  // a new instance in place of one of the targets
                if (r.chance(10)) replace(r.below(static_cast<std::uint32_t>(targets.size())));
                break;
        }
    }

    // Sizes in HIMETRIC (0.01 mm): mostly those of real windows, now and then absurd ones.
    LONG extent(Random& r) {
        return r.chance(97) ? static_cast<LONG>(r.below(30000)) - 500
                            : r.pick<LONG>({INT32_MAX, INT32_MIN, -1});
    }

    // Lets go of a target, counting it as leaked when something else still holds it.
    void release(win::ComPtr<IDispatch>& target) {
        target->AddRef();
        if (target->Release() > 1) ++figures.leakedInstances;
        target.reset();
    }
    void replace(std::uint32_t at) {
        release(targets[at]);
        targets[at] = module.create();
    }
};

Fuzzer::Fuzzer(const Module& module, std::uint64_t seed)
    : state_(std::make_unique<State>(module, seed)) {
    State& s = *state_;
    for (int i = 0; i < 4; ++i) s.targets.push_back(module.create());
    s.window.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 120, 40, nullptr, nullptr,
                                   nullptr, nullptr));
    FONTDESC desc{sizeof(FONTDESC),
                  const_cast<LPOLESTR>(L"Arial"),
                  {{90000, 0}},
                  FW_BOLD,
                  ANSI_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    OleCreateFontIndirect(&desc, IID_IDispatch, reinterpret_cast<void**>(s.font.put()));
    const auto picture =
        pictureFromPixels(3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0, 0x808080, 0xFFFFFF});
    if (picture) picture->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(s.picture.put()));
    CreateStreamOnHGlobal(nullptr, TRUE, s.stream.put());
}

Fuzzer::~Fuzzer() = default;

void Fuzzer::call(long index) {
    State& s = *state_;
    Random r(s.seed ^ (static_cast<std::uint64_t>(index) * 0xD1B54A32D192ED03ull));
    IDispatch* bar = s.targets[r.below(static_cast<std::uint32_t>(s.targets.size()))].get();
    if (r.chance(80))
        s.invoke(r, index, bar);
    else
        s.container(r, bar);
    s.endCall();
    ++s.figures.calls;
}

const FuzzFigures& Fuzzer::figures() const {
    return state_->figures;
}

const std::string& Fuzzer::what() const {
    return state_->what;
}

FuzzFigures Fuzzer::finish() {
    State& s = *state_;
    for (auto& target : s.targets) s.release(target);
    s.targets.clear();
    s.font.reset();
    s.picture.reset();
    s.stream.reset();
    s.figures.canUnload = s.module.canUnloadNow() == S_OK;
    return s.figures;
}

}  // namespace gaugekit::testing
