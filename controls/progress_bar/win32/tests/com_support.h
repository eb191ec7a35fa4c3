// What the tests of gaugekit.dll share beyond the client: COM for each test, machine-wide
// registration for one test, and one instance from the module's class factory.
#pragma once

#include <gtest/gtest.h>

#include "client.h"

namespace gaugekit::testing {

inline DWORD regsvr32(const std::wstring& options, const std::wstring& dll = dllPath()) {
    return run(L"regsvr32.exe /s " + options + L" \"" + dll + L"\"").exitCode;
}

// Registered machine-wide for one test, and unregistered again however the test ends.
class Registration {
  public:
    Registration() : registered_(regsvr32(L"") == 0) {}
    ~Registration() {
        if (registered_) regsvr32(L"/u");
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    bool registered() const { return registered_; }

  private:
    bool registered_;
};

// Whether this machine runs programs of the other bitness, whose build lies beside this one.
inline bool peerRuns() {
    return !besidePeer(L"gaugekit.dll").empty() && !besidePeer(L"gaugekit_test_peer.exe").empty() &&
           run(L"\"" + systemProgram(!k64Bit, L"cmd.exe") + L"\" /c exit 7").exitCode == 7;
}

class Com : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// One instance created through the module's own class factory, called by name.
class Control : public Com {
  protected:
    void SetUp() override {
        Com::SetUp();
        module_ = std::make_unique<Module>();
        ASSERT_TRUE(*module_);
        bar_ = module_->create();
        ASSERT_TRUE(bar_);
    }
    void TearDown() override {
        bar_.reset();
        module_.reset();
        Com::TearDown();
    }

    HRESULT call(const wchar_t* name, WORD flags, std::vector<VARIANT> args = {},
                 VARIANT* result = nullptr) {
        return invoke(bar_.get(), name, flags, std::move(args), result);
    }
    LONG get(const wchar_t* name) {
        HRESULT hr = S_OK;
        const LONG value = getNumber(bar_.get(), name, &hr);
        EXPECT_EQ(hr, S_OK) << name;
        return value;
    }
    HRESULT put(const wchar_t* name, LONG value) { return putNumber(bar_.get(), name, value); }
    // An object property's identity as read (the control keeps the object alive).
    IUnknown* objectRead(const wchar_t* name) {
        Var read;
        EXPECT_EQ(call(name, DISPATCH_PROPERTYGET, {}, &read), S_OK) << name;
        return read.punkVal;
    }
    DISPID id(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(bar_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
        return id;
    }
    template <typename I>
    win::ComPtr<I> bar(REFIID iid) {
        return query<I>(bar_.get(), iid);
    }
    std::unique_ptr<Module> module_;
    win::ComPtr<IDispatch> bar_;
};

}  // namespace gaugekit::testing
