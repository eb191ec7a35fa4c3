// XP_ProgressBar called by name through IDispatch, as a script host calls it: what each write
// stores and tells its container, the drawing members on a caller's context, and the calls
// hosts get wrong.
#include "com_support.h"

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
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    ULONG references = 1;  // on the test's stack: never deleted through Release
    std::vector<DISPID> changed;
};

win::ComPtr<IFontDisp> newFont() {
    FONTDESC desc{sizeof(FONTDESC),
                  const_cast<LPOLESTR>(L"Arial"),
                  {{120000, 0}},
                  FW_BOLD,
                  ANSI_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    win::ComPtr<IFontDisp> font;
    OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.put()));
    return font;
}

using Dispatch = Control;

TEST_F(Dispatch, NewInstanceDefaults) {
    for (const auto& [name, value] : {std::pair{L"Max", 100L},
                                      {L"Min", 0L},
                                      {L"Value", 0L},
                                      {L"Orientation", 0L},
                                      {L"Scrolling", 0L},
                                      {L"ShowText", 0L},
                                      {L"hwnd", 0L},
                                      {L"Color", static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT))}})
        EXPECT_EQ(get(name), value) << name;
    EXPECT_NE(get(L"hdc"), 0);  // the off-screen surface exists at the new instance's 200 x 66
    Var font, image;
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
    HFONT handle = nullptr;
    EXPECT_EQ(query<IFont>(font.pdispVal, IID_IFont)->get_hFont(&handle), S_OK);
    EXPECT_NE(handle, nullptr);
    ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &image), S_OK);
    EXPECT_EQ(image.pdispVal, nullptr);
    EXPECT_EQ(bar<IPersistStreamInit>(IID_IPersistStreamInit)->IsDirty(), S_FALSE);
}

// Every write on a new instance: what reads back, whether the container is told (the member
// whose stored copy is now out of date), and whether a save is due.
TEST_F(Dispatch, EachWriteStoresNotifiesAndMarksDirty) {
    constexpr LONG kUnread = 0x7EADBEEF;
    const auto font = newFont();
    const auto picture = pictureFromPixels(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0});
    const struct {
        const wchar_t* name;
        LONG value;
        IUnknown* object;  // Font and Image: written by reference
        LONG read;         // kUnread: not read back
        bool notifies, dirty;
    } writes[] = {
        {L"BrushStyle", 3, nullptr, kUnread, true, true},
        {L"Color", static_cast<LONG>(0x80000005), nullptr,
         static_cast<LONG>(GetSysColor(COLOR_WINDOW)), false, true},
        {L"Color", static_cast<LONG>(0x8000000D), nullptr,
         static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT)), false, false},  // as it was
        {L"hwnd", 0x1234, nullptr, 0x1234, false, false},
        {L"hdc", 0, nullptr, kUnread, false, false},
        {L"Min", 1000, nullptr, 1000, true, true},
        {L"Max", -5, nullptr, -5, true, true},
        {L"Orientation", 7, nullptr, 7, true, true},
        {L"Scrolling", 42, nullptr, 42, true, true},
        {L"ShowText", -1, nullptr, -1, true, true},
        {L"Value", 20, nullptr, 20, false, true},
        {L"Value", 0, nullptr, 0, false, false},
        {L"Font", 0, font.get(), kUnread, false, true},
        {L"Image", 0, picture.get(), kUnread, true, true},
        {L"Image", 0, nullptr, kUnread, true, false},  // Nothing, as it was
    };
    for (const auto& w : writes) {
        bar_ = module_->create();
        RecordingSink sink;
        DWORD cookie = 0;
        win::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(bar<IConnectionPointContainer>(IID_IConnectionPointContainer)
                      ->FindConnectionPoint(IID_IPropertyNotifySink, point.put()),
                  S_OK);
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        const bool object = w.object || std::wstring(w.name) == L"Image";
        ASSERT_EQ(object ? putObject(bar_.get(), w.name, w.object) : put(w.name, w.value), S_OK);
        if (w.read != kUnread) {
            EXPECT_EQ(get(w.name), w.read) << w.name;
        }
        if (object) {
            Var read;
            ASSERT_EQ(call(w.name, DISPATCH_PROPERTYGET, {}, &read), S_OK);
            EXPECT_EQ(read.pdispVal, w.object) << w.name;  // the caller's object, not a copy
        }
        LPOLESTR name = const_cast<LPOLESTR>(w.name);
        DISPID id = 0;
        bar_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
        EXPECT_EQ(sink.changed, w.notifies ? std::vector<DISPID>{id} : std::vector<DISPID>{})
            << w.name;
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
    const auto font = newFont();
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
                    Var read;
                    ASSERT_EQ(call(name, DISPATCH_PROPERTYGET, {}, &read), S_OK);
                    EXPECT_EQ(read.pdispVal, right) << name << " form " << form;
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
    constexpr DWORD kUntouched = 0x010203;
    const COLORREF untouched = RGB(1, 2, 3), highlight = GetSysColor(COLOR_HIGHLIGHT);
    const auto gray = [](int v) { return RGB(v, v, v); };
    LONG end = 0, start = 0;
    VARIANT_BOOL horizontal = VARIANT_TRUE;
    const auto gradient = [&](LONG endColor, LONG startColor, LONG x2, LONG y2, bool byX, LONG dc) {
        end = endColor;
        start = startColor;
        std::vector<VARIANT> args = {borrowed(VT_I4 | VT_BYREF, &end),
                                     borrowed(VT_I4 | VT_BYREF, &start),
                                     number(0),
                                     number(0),
                                     number(x2),
                                     number(y2),
                                     number(dc)};
        if (byX) args.push_back(borrowed(VT_BOOL | VT_BYREF, &horizontal));
        return call(L"DrawGradient", DISPATCH_METHOD, args);
    };
    const struct {
        LONG end, start, x2, y2;
        bool byX;
        POINT at;
        COLORREF expected;
    } gradients[] = {
        {0, 0xFFFFFF, 10, 2, false, {3, 0}, gray(0)},    // black to white over rows 0 to 2,
        {0, 0xFFFFFF, 10, 2, false, {3, 1}, gray(128)},  // the middle a tie: 127.5 gives 128
        {0, 0xFFFFFF, 10, 2, false, {3, 2}, gray(255)},
        {0, 0xFFFFFF, 10, 2, false, {10, 1}, untouched},  // the end column is left out
        // From 5 to 0 over six rows: row 3 reads 2.50000006 in double precision, so 3; a float
        // product rounded to single precision reads 2.5 and gives 2.
        {0x050505, 0, 10, 6, false, {3, 3}, gray(3)},
        {static_cast<LONG>(0x8000000D), 0x00FF00, 2, 6, true, {0, 3}, highlight},
        // A count of two billion draws only what the context can show, and returns at once.
        {0x0000FF, 0x00FF00, 2147483647, 10, true, {19, 9}, RGB(255, 0, 0)},
    };
    for (const auto& g : gradients) {
        Canvas canvas(20, 10, kUntouched);
        ASSERT_EQ(gradient(g.end, g.start, g.x2, g.y2, g.byX, canvas.dc()), S_OK);
        EXPECT_EQ(canvas.pixel(g.at.x, g.at.y), g.expected) << g.end << " at " << g.at.y;
        if (g.end < 0) {
            EXPECT_EQ(end, static_cast<LONG>(highlight));  // resolved in place
        }
    }
    Canvas canvas(20, 10, kUntouched);
    ASSERT_EQ(call(L"DrawLine", DISPATCH_METHOD,
                   {number(2), number(4), number(8), number(4), number(canvas.dc()), number(0xFF)}),
              S_OK);
    for (const auto& [x, color] :
         {std::pair{1, untouched}, {2, RGB(255, 0, 0)}, {7, RGB(255, 0, 0)}, {8, untouched}})
        EXPECT_EQ(canvas.pixel(x, 4), color) << x;

    // pDraw copies the bar drawn for the window that hwnd names.
    const win::Window window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 66, nullptr,
                                             nullptr, nullptr, nullptr));
    ASSERT_EQ(put(L"hwnd", static_cast<LONG>(reinterpret_cast<INT_PTR>(window.get()))), S_OK);
    ASSERT_EQ(put(L"Scrolling", 1), S_OK);  // smooth: one solid bar
    ASSERT_EQ(put(L"Value", 50), S_OK);
    Canvas copy(200, 66, kUntouched);
    ASSERT_EQ(call(L"pDraw", DISPATCH_METHOD, {number(copy.dc())}), S_OK);
    EXPECT_EQ(copy.pixel(20, 33), highlight);
    EXPECT_EQ(copy.pixel(180, 33), gray(255));

    const win::Brush brush(CreateSolidBrush(0));
    const HDC metafile = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    for (const LONG dc : {0L, 6684673L, static_cast<LONG>(reinterpret_cast<INT_PTR>(brush.get())),
                          static_cast<LONG>(reinterpret_cast<INT_PTR>(window.get())),
                          static_cast<LONG>(reinterpret_cast<INT_PTR>(metafile))}) {
        EXPECT_EQ(call(L"DrawLine", DISPATCH_METHOD,
                       {number(0), number(0), number(10), number(0), number(dc), number(255)}),
                  CTL_E_ILLEGALFUNCTIONCALL)
            << dc;
        EXPECT_EQ(gradient(static_cast<LONG>(0x8000000D), 0, 10, 2, false, dc),
                  CTL_E_ILLEGALFUNCTIONCALL)
            << dc;
        EXPECT_EQ(end, static_cast<LONG>(0x8000000D)) << "colours left as they were";
        EXPECT_EQ(call(L"pDraw", DISPATCH_METHOD, {number(dc)}), CTL_E_ILLEGALFUNCTIONCALL) << dc;
    }
    DeleteEnhMetaFile(CloseEnhMetaFile(metafile));
}

TEST_F(Dispatch, BadCallsAnswerWithAnErrorAndChangeNothing) {
    ASSERT_EQ(put(L"Value", 20), S_OK);
    const std::string before = saved();
    const struct {
        const wchar_t* member;
        WORD flags;
        std::vector<VARIANT> args;
        std::vector<DISPID> named;  // for a put: DISPID_PROPERTYPUT
        HRESULT status;
    } calls[] = {
        {L"DrawLine", DISPATCH_METHOD, {number(1), number(2)}, {}, DISP_E_BADPARAMCOUNT},
        {L"DrawProgressBar", DISPATCH_METHOD, {number(1)}, {}, DISP_E_BADPARAMCOUNT},
        {L"DrawProgressBar", DISPATCH_METHOD, {number(1)}, {0}, DISP_E_PARAMNOTFOUND},
        {L"pDraw", DISPATCH_METHOD, {number(1)}, {7}, DISP_E_PARAMNOTFOUND},
        {L"pDraw", DISPATCH_METHOD, {number(1)}, {-7}, DISP_E_PARAMNOTFOUND},
        {L"Max", DISPATCH_PROPERTYPUT, {number(1)}, {0}, DISP_E_PARAMNOTOPTIONAL},
        {L"Max",
         DISPATCH_PROPERTYPUT,
         {borrowed(VT_BSTR, const_cast<wchar_t*>(L"abc"))},
         {DISPID_PROPERTYPUT},
         DISP_E_TYPEMISMATCH},
        {L"Max",
         DISPATCH_PROPERTYPUT,
         {borrowed(VT_I4 | VT_BYREF, nullptr)},
         {DISPID_PROPERTYPUT},
         DISP_E_TYPEMISMATCH},
        {L"Value", DISPATCH_PROPERTYPUT, {number(21474837)}, {DISPID_PROPERTYPUT}, CTL_E_OVERFLOW},
        {L"BrushStyle", DISPATCH_PROPERTYGET, {}, {}, DISP_E_MEMBERNOTFOUND},
        {L"Image",
         DISPATCH_PROPERTYPUT,
         {borrowed(VT_DISPATCH, nullptr)},
         {DISPID_PROPERTYPUT},
         DISP_E_MEMBERNOTFOUND},
    };
    for (auto c : calls) {
        LPOLESTR name = const_cast<LPOLESTR>(c.member);
        DISPID id = 0;
        ASSERT_EQ(bar_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        DISPPARAMS params{c.args.data(), c.named.data(), static_cast<UINT>(c.args.size()),
                          static_cast<UINT>(c.named.size())};
        Var result;
        EXCEPINFO exception{};
        HRESULT hr = bar_->Invoke(id, IID_NULL, 0, c.flags, &params, &result, &exception, nullptr);
        if (hr == DISP_E_EXCEPTION) hr = exception.scode;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        EXPECT_EQ(hr, c.status) << c.member;
        EXPECT_EQ(saved(), before) << c.member;
    }
    // A division by zero when Max equals Min; the position stays.
    ASSERT_EQ(put(L"Max", 0), S_OK);
    EXPECT_EQ(put(L"Value", 5), CTL_E_DIVISIONBYZERO);
    ASSERT_EQ(put(L"Max", 100), S_OK);
    EXPECT_EQ(saved(), before);

    DISPPARAMS none{};
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID unknownId = 0;
    EXPECT_EQ(bar_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &unknownId), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(bar_->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(bar_->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(bar_->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              E_POINTER);
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

}  // namespace
}  // namespace gaugekit::testing
