// XP_ProgressBar called by name through IDispatch, as a script host calls it: what each write
// stores and tells its container, the drawing members, and the calls hosts get wrong.
#include "com_support.h"
#include "fuzz.h"

namespace gaugekit::testing {
namespace {

// A container's sink that writes down which properties it was told about.
class RecordingSink final : public IPropertyNotifySink {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown || riid == IID_IPropertyNotifySink ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP OnChanged(DISPID id) override { return changed.push_back(id), S_OK; }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    ULONG references = 1;  // on the test's stack: never deleted through Release
    std::vector<DISPID> changed;
};

using Dispatch = Control;

// Every write on a new instance: what reads back, whether the container is told (the member
// whose stored copy is now out of date), whether it redraws, and whether a save is due.
TEST_F(Dispatch, EachWriteStoresNotifiesRedrawsAndMarksDirty) {
    constexpr LONG kUnread = 0x7EADBEEF, kTooBig = 21474837;  // x 100 leaves 32 bits
    const auto font = boldArial(120000);
    const auto picture = pictureFromPixels(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0});
    const LONG window = GetSysColor(COLOR_WINDOW), highlight = GetSysColor(COLOR_HIGHLIGHT);
    const win::Window shown(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 66, nullptr,
                                            nullptr, nullptr, nullptr));
    const struct {
        const wchar_t* name;
        LONG value, read;  // kUnread: not read back
        bool notifies, redraws, dirty;
        IUnknown* object = nullptr;  // Font and Image: written by reference
    } writes[] = {
        {L"BrushStyle", 3, kUnread, true, false, true},
        {L"Color", static_cast<LONG>(0x80000005), window, false, true, true},
        {L"Color", static_cast<LONG>(0x8000000D), highlight, false, true, false},  // as it was
        {L"hwnd", 0x1234, 0x1234, false, false, false},
        {L"hdc", 0, kUnread, false, false, false},
        {L"Min", 1000, 1000, true, false, true},
        {L"Max", -5, -5, true, false, true},
        {L"Orientation", 7, 7, true, true, true},
        {L"Scrolling", 42, 42, true, true, true},
        {L"ShowText", -1, -1, true, true, true},
        {L"Value", 20, 20, false, true, true},
        {L"Value", 0, 0, false, true, false},
        {L"Value", kTooBig, 0, false, false, false},  // fails
        {L"Font", 0, kUnread, false, false, true, font.get()},
        {L"Image", 0, kUnread, true, true, true, picture.get()},
        {L"Image", 0, kUnread, true, true, false},  // Nothing, as it was
    };
    for (const auto& w : writes) {
        bar_ = module_->create();
        ASSERT_EQ(put(L"hwnd", static_cast<LONG>(reinterpret_cast<INT_PTR>(shown.get()))), S_OK);
        // A mark on the control's picture, which only a redraw paints over.
        ASSERT_EQ(
            call(L"DrawLine", DISPATCH_METHOD,
                 {number(0), number(0), number(1), number(0), number(get(L"hdc")), number(0xFF)}),
            S_OK);
        RecordingSink sink;
        DWORD cookie = 0;
        win::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(bar<IConnectionPointContainer>(IID_IConnectionPointContainer)
                      ->FindConnectionPoint(IID_IPropertyNotifySink, point.put()),
                  S_OK);
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        const bool object = w.object || std::wstring(w.name) == L"Image";
        const HRESULT hr = object ? putObject(bar_.get(), w.name, w.object) : put(w.name, w.value);
        EXPECT_EQ(SUCCEEDED(hr), w.value != kTooBig) << w.name;
        if (object) {
            EXPECT_EQ(objectRead(w.name), w.object) << w.name;  // the caller's, not a copy
        } else if (w.read != kUnread) {
            EXPECT_EQ(get(w.name), w.read) << w.name;
        }
        EXPECT_EQ(sink.changed, w.notifies ? std::vector{id(w.name)} : std::vector<DISPID>{})
            << w.name;
        Canvas copy(1, 1);
        ASSERT_EQ(call(L"pDraw", DISPATCH_METHOD, {number(copy.dc())}), S_OK);
        EXPECT_EQ(copy.pixel(0, 0) != RGB(255, 0, 0), w.redraws) << w.name << " " << w.value;
        EXPECT_EQ(bar<IPersistStreamInit>(IID_IPersistStreamInit)->IsDirty(),
                  w.dirty ? S_OK : S_FALSE)
            << w.name << " " << w.value;
        ASSERT_EQ(point->Unadvise(cookie), S_OK);
        EXPECT_EQ(sink.references, 1u);
    }
}

// Font and Image take a font or a picture however a script passes it, and refuse anything else
// with a type mismatch, keeping no reference to it: an instance passed by mistake must be able
// to go.
TEST_F(Dispatch, ObjectWritesTakeTheirKindInEveryFormAndKeepNothingElse) {
    const auto font = boldArial(120000);
    const auto picture = pictureFromPixels(1, 1, {0});
    font->AddRef();
    const ULONG fontReferences = font->Release();
    {
        const win::ComPtr<IDispatch> other = module_->create();
        for (const auto& [name, flags, right] :
             {std::tuple{L"Font", WORD(DISPATCH_PROPERTYPUT), static_cast<IUnknown*>(font.get())},
              {L"Font", WORD(DISPATCH_PROPERTYPUTREF), font.get()},
              {L"Image", WORD(DISPATCH_PROPERTYPUTREF), picture.get()}}) {
            for (const VARTYPE form :
                 std::initializer_list<VARTYPE>{VT_DISPATCH, VT_UNKNOWN, VT_DISPATCH | VT_BYREF,
                                                VT_UNKNOWN | VT_BYREF, VT_VARIANT | VT_BYREF}) {
                for (IUnknown* object : {right, static_cast<IUnknown*>(other.get())}) {
                    IUnknown* pointer = object;
                    VARIANT inner = borrowed(VT_UNKNOWN, object);
                    const VARIANT arg = form == (VT_VARIANT | VT_BYREF) ? borrowed(form, &inner)
                                        : form & VT_BYREF               ? borrowed(form, &pointer)
                                                                        : borrowed(form, object);
                    EXPECT_EQ(call(name, flags, {arg}),
                              object == right ? S_OK : DISP_E_TYPEMISMATCH)
                        << name << " form " << form;
                    EXPECT_EQ(objectRead(name), right) << name << " form " << form;
                }
            }
        }
        EXPECT_EQ(call(L"Font", DISPATCH_PROPERTYPUTREF, {number(5)}), DISP_E_TYPEMISMATCH);
    }
    bar_.reset();
    EXPECT_EQ(module_->canUnloadNow(), S_OK);  // no instance kept alive
    font->AddRef();
    EXPECT_EQ(font->Release(), fontReferences);
}

// The drawing members paint on the caller's context, and refuse a handle that is none before
// drawing anything: the system's drawing code can crash on one.
TEST_F(Dispatch, DrawingMembersPaintTheCallersContextOrRefuseAHandleThatIsNone) {
    const COLORREF untouched = RGB(1, 2, 3), red = RGB(255, 0, 0),
                   shown = GetSysColor(COLOR_HIGHLIGHT);
    const LONG highlight = static_cast<LONG>(0x8000000D);
    LONG end = 0, start = 0;
    VARIANT_BOOL horizontal = VARIANT_TRUE;
    const auto gradient = [&](LONG endColor, LONG x2, LONG y2, bool byX, LONG dc) {
        end = endColor;
        start = 0xFFFFFF;
        std::vector<VARIANT> args{borrowed(VT_I4 | VT_BYREF, &end),
                                  borrowed(VT_I4 | VT_BYREF, &start)};
        for (const LONG n : {0L, 0L, x2, y2, dc}) args.push_back(number(n));
        if (byX) args.push_back(borrowed(VT_BOOL | VT_BYREF, &horizontal));
        return call(L"DrawGradient", DISPATCH_METHOD, args);
    };
    const struct {
        const char* what;
        LONG end, x2, y2;
        bool byX;
        int x, y;
        COLORREF expected;
    } gradients[] = {
        {"rows without bH, the middle a tie: 127.5 gives 128", 0, 10, 2, false, 3, 1, 0x808080},
        {"a system colour, resolved in place", highlight, 2, 6, true, 0, 3, shown},
        // A count of two billion draws only what the context can show, and returns at once.
        {"two billion columns", 0x0000FF, 2147483647, 10, true, 19, 9, red},
    };
    for (const auto& g : gradients) {
        Canvas canvas(20, 10, 0x010203);
        ASSERT_EQ(gradient(g.end, g.x2, g.y2, g.byX, canvas.dc()), S_OK) << g.what;
        EXPECT_EQ(canvas.pixel(g.x, g.y), g.expected) << g.what;
        EXPECT_EQ(end, g.end < 0 ? static_cast<LONG>(shown) : g.end) << g.what;
    }
    Canvas canvas(20, 10, 0x010203);
    ASSERT_EQ(call(L"DrawLine", DISPATCH_METHOD,
                   {number(2), number(4), number(8), number(4), number(canvas.dc()), number(0xFF)}),
              S_OK);
    for (const auto& [x, color] : {std::pair{1, untouched}, {2, red}, {7, red}, {8, untouched}})
        EXPECT_EQ(canvas.pixel(x, 4), color) << x;

    // Handles that are no device context, or one that records rather than paints.
    const win::Window window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 10, nullptr,
                                             nullptr, nullptr, nullptr));
    const win::Brush brush(CreateSolidBrush(0));
    const HDC metafile = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    for (const HANDLE handle : {HANDLE(nullptr), HANDLE(6684673), HANDLE(brush.get()),
                                HANDLE(window.get()), HANDLE(metafile)}) {
        const LONG dc = static_cast<LONG>(reinterpret_cast<INT_PTR>(handle));
        EXPECT_EQ(call(L"DrawLine", DISPATCH_METHOD,
                       {number(0), number(0), number(10), number(0), number(dc), number(255)}),
                  CTL_E_ILLEGALFUNCTIONCALL)
            << dc;
        EXPECT_EQ(gradient(highlight, 10, 2, false, dc), CTL_E_ILLEGALFUNCTIONCALL) << dc;
        EXPECT_EQ(end, highlight) << "colours left as they were";
        EXPECT_EQ(call(L"pDraw", DISPATCH_METHOD, {number(dc)}), CTL_E_ILLEGALFUNCTIONCALL) << dc;
    }
    DeleteEnhMetaFile(CloseEnhMetaFile(metafile));
}

TEST_F(Dispatch, BadCallsAnswerWithAnErrorAndChangeNothing) {
    ASSERT_EQ(put(L"Value", 20), S_OK);
    const std::string before = savedStream(bar_.get());
    const Var abc(L"abc");  // a real string: the conversion reads its length before it
    const VARIANT one = number(1), text = abc, noNumber = borrowed(VT_I4 | VT_BYREF, nullptr),
                  nothing = borrowed(VT_DISPATCH, nullptr), tooBig = number(21474837);
    constexpr WORD method = DISPATCH_METHOD, write = DISPATCH_PROPERTYPUT;
    constexpr DISPID value = DISPID_PROPERTYPUT;
    const struct {
        const wchar_t* member;
        WORD flags;
        std::vector<VARIANT> args;
        std::vector<DISPID> named;
        HRESULT status;
    } calls[] = {
        {L"DrawLine", method, {one, one}, {}, DISP_E_BADPARAMCOUNT},
        {L"DrawProgressBar", method, {one}, {}, DISP_E_BADPARAMCOUNT},
        {L"DrawProgressBar", method, {one}, {0}, DISP_E_PARAMNOTFOUND},
        {L"pDraw", method, {one}, {7}, DISP_E_PARAMNOTFOUND},
        {L"pDraw", method, {one}, {-7}, DISP_E_PARAMNOTFOUND},
        {L"Max", write, {one}, {0}, DISP_E_PARAMNOTOPTIONAL},
        {L"Max", write, {text}, {value}, DISP_E_TYPEMISMATCH},
        {L"Max", write, {noNumber}, {value}, DISP_E_TYPEMISMATCH},
        {L"Value", write, {tooBig}, {value}, CTL_E_OVERFLOW},
        {L"BrushStyle", DISPATCH_PROPERTYGET, {}, {}, DISP_E_MEMBERNOTFOUND},
        {L"Image", write, {nothing}, {value}, DISP_E_MEMBERNOTFOUND},
    };
    for (auto c : calls) {
        DISPPARAMS params{c.args.data(), c.named.data(), static_cast<UINT>(c.args.size()),
                          static_cast<UINT>(c.named.size())};
        Var result;
        EXCEPINFO exception{};
        HRESULT hr =
            bar_->Invoke(id(c.member), IID_NULL, 0, c.flags, &params, &result, &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) hr = exception.scode;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        EXPECT_EQ(hr, c.status) << c.member;
        EXPECT_EQ(savedStream(bar_.get()), before) << c.member;
    }

    DISPPARAMS none{};
    EXPECT_EQ(call(L"NoSuchMember", method), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(bar_->Invoke(999, IID_NULL, 0, method, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(bar_->Invoke(1, IID_IDispatch, 0, method, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(bar_->Invoke(1, IID_NULL, 0, method, nullptr, nullptr, nullptr, nullptr), E_POINTER);
    const auto bar = this->bar<_XP_ProgressBar>(IID__XP_ProgressBar);
    EXPECT_EQ(bar->get_Color(nullptr), E_POINTER);
    EXPECT_EQ(bar->DrawGradient(nullptr, nullptr, 0, 0, 1, 1, 0, nullptr), E_POINTER);
    win::ComPtr<ITypeInfo> info;
    EXPECT_EQ(bar->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);

    // One identity, and no interfaces or classes the module does not have.
    EXPECT_EQ(this->bar<IUnknown>(IID_IUnknown).get(),
              query<IUnknown>(this->bar<IViewObject2>(IID_IViewObject2).get(), IID_IUnknown).get());
    win::ComPtr<IUnknown> other;
    EXPECT_EQ(bar_->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(other.put())),
              E_NOINTERFACE);
    EXPECT_EQ(module_->factory->CreateInstance(bar.get(), IID_IUnknown,
                                               reinterpret_cast<void**>(other.put())),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(module_->getClassObject(IID_IDispatch, IID_IClassFactory,
                                      reinterpret_cast<void**>(other.put())),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(Dispatch, ConnectionPointsClassInfoAndUnloading) {
    win::ComPtr<IEnumConnectionPoints> points;
    {
        const auto container = bar<IConnectionPointContainer>(IID_IConnectionPointContainer);
        win::ComPtr<IConnectionPoint> point;
        EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()),
                  CONNECT_E_NOCONNECTION);
        ASSERT_EQ(container->FindConnectionPoint(DIID___XP_ProgressBar, point.put()), S_OK);
        RecordingSink notADispatch;
        DWORD cookie = 5;
        EXPECT_EQ(point->Advise(&notADispatch, &cookie), CONNECT_E_CANNOTCONNECT);
        EXPECT_EQ(point->Unadvise(1), CONNECT_E_NOCONNECTION);
        GUID source{};
        ASSERT_EQ(bar<IProvideClassInfo2>(IID_IProvideClassInfo2)
                      ->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source),
                  S_OK);
        EXPECT_TRUE(IsEqualIID(source, DIID___XP_ProgressBar));
        ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
        IConnectionPoint* found[3] = {};
        ULONG fetched = 0;
        EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
        ASSERT_EQ(fetched, 2u);
        for (ULONG i = 0; i < fetched; ++i) found[i]->Release();
    }
    // An enumerator keeps its instance, and a lock the module.
    bar_.reset();
    EXPECT_EQ(module_->canUnloadNow(), S_FALSE);
    points.reset();
    EXPECT_EQ(module_->canUnloadNow(), S_OK);
    ASSERT_EQ(module_->factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(module_->canUnloadNow(), S_FALSE);
    ASSERT_EQ(module_->factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(module_->canUnloadNow(), S_OK);
}

// The fuzzer's kind of check in small form: a few thousand seeded calls of every kind.
TEST_F(Com, ThousandsOfOddCallsChangeNothingOnFailureAndKeepNothingAlive) {
    const Module module;
    ASSERT_TRUE(module);
    FuzzFigures figures;
    {
        Fuzzer fuzzer(module, 20240611);
        for (long i = 0; i < 3000; ++i) fuzzer.call(i);
        figures = fuzzer.finish();
    }
    std::string findings;
    for (const auto& f : figures.findings) findings += f + "\n";
    EXPECT_EQ(figures.stateChanges, 0) << findings;
    EXPECT_EQ(figures.leakedInstances, 0);
    EXPECT_TRUE(figures.canUnload);
    // The calls reached both kinds of write.
    EXPECT_GT(figures.failedWrites, 100);
    EXPECT_GT(figures.writes - figures.failedWrites, 100);
}

}  // namespace
}  // namespace gaugekit::testing
