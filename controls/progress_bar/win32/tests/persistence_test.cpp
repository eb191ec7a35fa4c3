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

// A bag leaves out defaults and keeps the order; everything a container saves comes back whole
// in a second instance through either store; a bag of a font only loads the stored defaults.
TEST_F(Persistence, BagLeavesOutDefaultsAndBothStoresCarryEveryPropertyToASecondInstance) {
    ByteBag changed, full, onlyFont;
    ASSERT_EQ(saveBag(bar_.get(), changed), S_OK);
    // A new instance differs from the stored defaults only in its font, BrushStyle 0 (the stored
    // default is 4) and its resolved colour.
    EXPECT_EQ(changed.names(), (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color"}));
    ASSERT_EQ(saveBag(bar_.get(), full, TRUE), S_OK);
    EXPECT_EQ(full.names(),
              (std::vector<std::wstring>{L"Font", L"BrushStyle", L"Color", L"Image", L"Max", L"Min",
                                         L"Orientation", L"Scrolling", L"ShowText", L"Value"}));
    Var font;
    ASSERT_EQ(call(L"Font", DISPATCH_PROPERTYGET, {}, &font), S_OK);
    ASSERT_EQ(onlyFont.Write(L"Font", &font), S_OK);

    ASSERT_TRUE(changeEverything(bar_.get()));
    const std::string expected = describe(bar_.get());
    const auto persist = bar<IPersistStreamInit>(IID_IPersistStreamInit);
    ULARGE_INTEGER size{};
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(savedStream(bar_.get(), FALSE).size(), size.QuadPart);
    EXPECT_EQ(persist->IsDirty(), S_OK);  // a save clears the dirty mark only when asked to
    const std::string stream = savedStream(bar_.get(), TRUE);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    const auto fromStream = module_->create();
    ASSERT_EQ(loadStream(fromStream.get(), stream), S_OK);
    EXPECT_EQ(describe(fromStream.get()), expected);
    EXPECT_EQ(query<IPersistStreamInit>(fromStream.get(), IID_IPersistStreamInit)->IsDirty(),
              S_FALSE);

    ByteBag bag, copy;  // the copy as a file keeps it: bytes only
    ASSERT_EQ(saveBag(bar_.get(), bag), S_OK);
    ASSERT_TRUE(copy.assign(bag.bytes()));
    const auto fromBag = module_->create();
    ASSERT_EQ(loadBag(fromBag.get(), copy), S_OK);
    EXPECT_EQ(describe(fromBag.get()), expected);

    ASSERT_EQ(loadBag(bar_.get(), onlyFont), S_OK);
    const auto fresh = module_->create();
    ASSERT_EQ(putNumber(fresh.get(), L"BrushStyle", 4), S_OK);
    EXPECT_EQ(describe(bar_.get()), describe(fresh.get()));
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

std::string le32(std::uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

// The control's record as a damaged or hostile stream may hold it: "GKPB", the format, the
// entry count, then each entry's key and tagged value.
std::string record(std::initializer_list<std::pair<std::string, std::string>> entries) {
    std::string out = "GKPB" + le32(1) + le32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& [key, tagged] : entries)
        out += le32(static_cast<std::uint32_t>(key.size())) + key + tagged;
    return out;
}
std::string int32(std::uint32_t value) {
    return '\1' + le32(value);
}
// A standard picture's own bytes: its class, "lt", the byte count, the file image.
std::string picture(const std::string& file, REFCLSID clsid = CLSID_StdPicture) {
    return '\6' + std::string(reinterpret_cast<const char*>(&clsid), sizeof(clsid)) + le32(0x746C) +
           le32(static_cast<std::uint32_t>(file.size())) + file;
}
// A bitmap file: its headers, then `pixelBytes` bytes of 24-bit pixels.
std::string bitmap(std::int32_t width, std::int32_t height, std::uint32_t pixelBytes) {
    std::string out = "BM";
    for (const std::uint32_t v :
         {54 + pixelBytes, 0u, 54u, 40u, static_cast<std::uint32_t>(width),
          static_cast<std::uint32_t>(height), 0x00180001u, 0u, pixelBytes, 0u, 0u, 0u, 0u})
        out += le32(v);
    return out + std::string(pixelBytes, '\x7F');
}
// A bitmap kept as its pixels: width, height, then the pixels' bytes.
std::string pixels(std::int32_t width, std::int32_t height, std::uint32_t bytes) {
    return '\7' + le32(static_cast<std::uint32_t>(width)) +
           le32(static_cast<std::uint32_t>(height)) + std::string(bytes, '\0');
}

// Damaged bytes never reach the system's loaders: the load reports the error, a bad picture
// loads as none, entries before it are applied and those after it keep their values.
TEST_F(Persistence, DamagedStreamsFailTheirLoadAndCrashNothing) {
    const std::string good = savedStream(bar_.get());
    const struct {
        const char* what;
        std::string image;   // the Image entry of a record that is whole otherwise
        std::string record;  // or the whole record, damaged
        HRESULT status;
    } cases[] = {
        {"a 2 x 2 bitmap", picture(bitmap(2, 2, 16)), "", S_OK},
        {"a height of 67,108,928", picture(bitmap(1, 67108928, 16)), "", CTL_E_INVALIDPICTURE},
        // Wine's loader reads this one as a picture: only the header check refuses it.
        {"pixels cut short", picture(bitmap(8, 8, 100)), "", CTL_E_INVALIDPICTURE},
        {"a class that is no picture", picture(bitmap(2, 2, 16), CLSID_XP_ProgressBar), "",
         CTL_E_INVALIDPICTURE},
        {"kept pixels beyond the stream", pixels(1, 1 << 26, 16), "", CTL_E_INVALIDPICTURE},
        {"not a record", "", "not a progress bar at all", STG_E_READFAULT},
        {"a record cut in half", "", good.substr(0, good.size() / 2), STG_E_READFAULT},
    };
    for (const auto& c : cases) {
        bar_ = module_->create();
        ASSERT_EQ(put(L"Min", 7), S_OK);
        const bool whole = c.record.empty();
        const std::string bytes =
            whole ? record({{"Color", int32(0x0000FF)}, {"Image", c.image}, {"Min", int32(3)}})
                  : c.record;
        EXPECT_EQ(loadStream(bar_.get(), bytes), c.status) << c.what;
        EXPECT_EQ(objectRead(L"Image") != nullptr, c.status == S_OK) << c.what;
        EXPECT_EQ(get(L"Color"), whole ? 0x0000FF : static_cast<LONG>(GetSysColor(COLOR_HIGHLIGHT)))
            << c.what;
        EXPECT_EQ(get(L"Min"), c.status == S_OK ? 3 : 7) << c.what;
    }
    EXPECT_EQ(bar<IPersistStreamInit>(IID_IPersistStreamInit)->Load(nullptr), E_POINTER);

    // A bag entry of the wrong type stops the load there, reported as such.
    ByteBag wrong;
    Var text(L"abc");
    wrong.Write(L"Max", &text);
    EXPECT_EQ(loadBag(bar_.get(), wrong), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(get(L"Max"), 100);
    EXPECT_EQ(get(L"Min"), 7);
}

}  // namespace
}  // namespace gaugekit::testing
