// XP_ProgressBar saved and loaded as containers keep it: in a property bag that keeps bytes
// only, as form designers do, and in a stream; across the two bitnesses; and from damaged bytes.
#include "com_support.h"

namespace gaugekit::testing {
namespace {

class Persistence : public Control {
  protected:
    HRESULT saveBag(IDispatch* bar, ByteBag& bag, BOOL all = FALSE) {
        return query<IPersistPropertyBag>(bar, IID_IPersistPropertyBag)->Save(&bag, TRUE, all);
    }
    HRESULT loadBag(IDispatch* bar, ByteBag& bag) {
        return query<IPersistPropertyBag>(bar, IID_IPersistPropertyBag)->Load(&bag, nullptr);
    }
};

TEST_F(Persistence, BagLeavesOutDefaultsAndKeepsTheOrder) {
    ByteBag changed, full;
    ASSERT_EQ(saveBag(bar_.get(), changed), S_OK);
    // A new instance differs from the stored defaults only in its font, BrushStyle 0 (the stored
    // default is 4) and its resolved colour.
    EXPECT_EQ(changed.names(), (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color"}));
    ASSERT_EQ(saveBag(bar_.get(), full, TRUE), S_OK);
    EXPECT_EQ(full.names(),
              (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color", L"Image", L"Max", L"Min",
                                         L"Orientation", L"Scrolling", L"ShowText", L"Value"}));

    // A bag holding only a font loads the stored defaults, BrushStyle 4 among them.
    Var font;
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
    ByteBag onlyFont;
    ASSERT_EQ(onlyFont.Write(L"Font", &font), S_OK);
    ASSERT_TRUE(changeEverything(bar_.get()));
    ASSERT_EQ(loadBag(bar_.get(), onlyFont), S_OK);
    const auto fresh = module_->create();
    ASSERT_EQ(putNumber(fresh.get(), L"BrushStyle", 4), S_OK);
    EXPECT_EQ(describe(bar_.get()), describe(fresh.get()));
}

// Everything a container saves comes back whole in a second instance, through either store.
TEST_F(Persistence, BagAndStreamCarryEveryPropertyToASecondInstance) {
    ASSERT_TRUE(changeEverything(bar_.get()));
    const std::string expected = describe(bar_.get());
    ByteBag bag;
    ASSERT_EQ(saveBag(bar_.get(), bag), S_OK);
    const auto fromBag = module_->create();
    ByteBag copy;  // as a file keeps it: bytes only
    ASSERT_TRUE(copy.assign(bag.bytes()));
    ASSERT_EQ(loadBag(fromBag.get(), copy), S_OK);
    EXPECT_EQ(describe(fromBag.get()), expected);

    ULARGE_INTEGER size{};
    ASSERT_EQ(bar<IPersistStreamInit>(IID_IPersistStreamInit)->GetSizeMax(&size), S_OK);
    const std::string stream = savedStream(bar_.get(), TRUE);
    EXPECT_EQ(size.QuadPart, stream.size());
    const auto fromStream = module_->create();
    ASSERT_EQ(loadStream(fromStream.get(), stream), S_OK);
    EXPECT_EQ(describe(fromStream.get()), expected);
    EXPECT_EQ(query<IPersistStreamInit>(fromStream.get(), IID_IPersistStreamInit)->IsDirty(),
              S_FALSE);
}

// What one bitness saves, the other loads with its font and picture intact, and back.
TEST_F(Persistence, ASaveInOneBitnessLoadsInTheOther) {
    if (!peerRuns()) GTEST_SKIP() << "no build of the other bitness that this machine runs";
    const std::wstring peer = L"\"" + besidePeer(L"gaugekit_test_peer.exe") + L"\" ";
    const std::wstring bagFile = tempPath(L"gaugekit_bag.bin");
    const std::wstring streamFile = tempPath(L"gaugekit_stream.bin");
    const std::wstring files = L" \"" + bagFile + L"\" \"" + streamFile + L"\"";

    ASSERT_TRUE(changeEverything(bar_.get()));
    const std::string mine = describe(bar_.get());
    ByteBag bag;
    ASSERT_EQ(saveBag(bar_.get(), bag), S_OK);
    ASSERT_TRUE(writeFile(bagFile, bag.bytes()));
    ASSERT_TRUE(writeFile(streamFile, savedStream(bar_.get())));
    const Outcome loaded = run(peer + L"load" + files);
    EXPECT_EQ(loaded.exitCode, 0u) << loaded.output;
    EXPECT_EQ(loaded.output, mine + "----\n" + mine);

    const Outcome saved = run(peer + L"save" + files);
    ASSERT_EQ(saved.exitCode, 0u) << saved.output;
    ByteBag theirs;
    ASSERT_TRUE(theirs.assign(readFile(bagFile)));
    const auto fromBag = module_->create();
    const auto fromStream = module_->create();
    ASSERT_EQ(loadBag(fromBag.get(), theirs), S_OK);
    ASSERT_EQ(loadStream(fromStream.get(), readFile(streamFile)), S_OK);
    EXPECT_EQ(describe(fromBag.get()), saved.output);
    EXPECT_EQ(describe(fromStream.get()), saved.output);
    DeleteFileW(bagFile.c_str());
    DeleteFileW(streamFile.c_str());
}

// The control's record as a damaged or hostile stream may hold it: "GKPB", the format, the
// entry count, then each entry's key and tagged value.
class Record {
  public:
    enum Tag : char { kInt32 = 1, kPicture = 6, kBitmap = 7 };
    Record& entry(const std::string& key, Tag tag, const std::string& value) {
        append(static_cast<std::uint32_t>(key.size()));
        bytes_ += key;
        bytes_ += tag;
        bytes_ += value;
        ++count_;
        return *this;
    }
    Record& number(const std::string& key, std::uint32_t value) {
        return entry(key, kInt32, std::string(reinterpret_cast<const char*>(&value), 4));
    }
    std::string bytes() const {
        Record header;
        header.bytes_ = "GKPB";
        header.append(1);
        header.append(count_);
        return header.bytes_ + bytes_;
    }
    // A standard picture's own bytes: its class, "lt", the byte count, the file image.
    static std::string picture(const std::string& file, REFCLSID clsid = CLSID_StdPicture) {
        Record r;
        r.bytes_.assign(reinterpret_cast<const char*>(&clsid), sizeof(clsid));
        r.append(0x746C);
        r.append(static_cast<std::uint32_t>(file.size()));
        return r.bytes_ + file;
    }
    // A bitmap file: its headers, then `pixelBytes` bytes of 24-bit pixels.
    static std::string bitmap(std::int32_t width, std::int32_t height, std::uint32_t pixelBytes) {
        Record r;
        r.bytes_ = "BM";
        for (const std::uint32_t v :
             {54 + pixelBytes, 0u, 54u, 40u, static_cast<std::uint32_t>(width),
              static_cast<std::uint32_t>(height), 0x00180001u, 0u, pixelBytes, 0u, 0u, 0u, 0u})
            r.append(v);
        return r.bytes_ + std::string(pixelBytes, '\x7F');
    }
    static std::string pixels(std::int32_t width, std::int32_t height, std::uint32_t bytes) {
        Record r;
        r.append(static_cast<std::uint32_t>(width));
        r.append(static_cast<std::uint32_t>(height));
        return r.bytes_ + std::string(bytes, '\0');
    }

  private:
    void append(std::uint32_t v) { bytes_.append(reinterpret_cast<const char*>(&v), 4); }
    std::string bytes_;
    std::uint32_t count_ = 0;
};

// Damaged bytes never reach the system's loaders: the load reports the error, a bad picture
// loads as none, entries before it are applied and those after it keep their values.
TEST_F(Persistence, DamagedStreamsFailTheirLoadAndCrashNothing) {
    const std::string good = savedStream(bar_.get());
    const struct {
        const char* what;
        Record::Tag tag;
        std::string image;   // the Image entry of a record that is whole otherwise
        std::string record;  // or the whole record, damaged
        HRESULT status;
    } cases[] = {
        {"a 2 x 2 bitmap", Record::kPicture, Record::picture(Record::bitmap(2, 2, 16)), "", S_OK},
        {"a height of 67,108,928", Record::kPicture,
         Record::picture(Record::bitmap(1, 67108928, 16)), "", CTL_E_INVALIDPICTURE},
        {"pixels cut short", Record::kPicture, Record::picture(Record::bitmap(8, 8, 100)), "",
         CTL_E_INVALIDPICTURE},
        {"a class that is no picture", Record::kPicture,
         Record::picture(Record::bitmap(2, 2, 16), CLSID_XP_ProgressBar), "", CTL_E_INVALIDPICTURE},
        {"kept pixels beyond the stream", Record::kBitmap, Record::pixels(1, 1 << 26, 16), "",
         CTL_E_INVALIDPICTURE},
        {"not a record", Record::kPicture, "", "not a progress bar at all", STG_E_READFAULT},
        {"a record cut in half", Record::kPicture, "", good.substr(0, good.size() / 2),
         STG_E_READFAULT},
    };
    for (const auto& c : cases) {
        bar_ = module_->create();
        ASSERT_EQ(put(L"Min", 7), S_OK);
        const bool whole = c.record.empty();
        const std::string bytes = whole ? Record()
                                              .number("Color", 0x0000FF)
                                              .entry("Image", c.tag, c.image)
                                              .number("Min", 3)
                                              .bytes()
                                        : c.record;
        EXPECT_EQ(loadStream(bar_.get(), bytes), c.status) << c.what;
        Var image;
        ASSERT_EQ(call(L"Image", DISPATCH_PROPERTYGET, {}, &image), S_OK);
        EXPECT_EQ(image.pdispVal != nullptr, c.status == S_OK) << c.what;
        EXPECT_EQ(get(L"Color"), whole ? 0x0000FF : static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT)))
            << c.what;
        EXPECT_EQ(get(L"Min"), c.status == S_OK ? 3 : 7) << c.what;
    }

    // A bag entry of the wrong type stops the load there, reported as such.
    ByteBag wrong;
    Var text(L"abc");
    wrong.Write(L"Max", &text);
    ASSERT_EQ(put(L"Min", 7), S_OK);
    EXPECT_EQ(loadBag(bar_.get(), wrong), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(get(L"Max"), 100);
    EXPECT_EQ(get(L"Min"), 7);
}

TEST_F(Persistence, SavingClearsDirtyOnlyWhenAsked) {
    const auto persist = bar<IPersistStreamInit>(IID_IPersistStreamInit);
    ASSERT_EQ(put(L"Max", 300), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    savedStream(bar_.get(), FALSE);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    savedStream(bar_.get(), TRUE);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

}  // namespace
}  // namespace gaugekit::testing
