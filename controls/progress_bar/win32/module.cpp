// gaugekit.dll's entry points: the class factory of XP_ProgressBar, the unload answer, and the
// registration, machine-wide (regsvr32) or for the current user (regsvr32 /n /i:user).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "registration.h"
#include "xp_progress_bar.h"

namespace gaugekit {
namespace {

class ClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The factory is a static object: it lives as long as the module, and a container that holds
    // it keeps the module through LockServer, not through these counts.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return XpProgressBar::create(riid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ++ModuleCounts::locks;
        else if (ModuleCounts::locks > 0)
            --ModuleCounts::locks;
        return S_OK;
    }
};

ClassFactory factory;

}  // namespace
}  // namespace gaugekit

using namespace gaugekit;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    // A class left registered would point at this module's code after it is gone.
    if (reason == DLL_PROCESS_DETACH) unregisterWindowClass(module);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_XP_ProgressBar) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return ModuleCounts::objects == 0 && ModuleCounts::locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return registerServer(RegistrationScope::machine);
}

STDAPI DllUnregisterServer() {
    return unregisterServer(RegistrationScope::machine);
}

// regsvr32 /n /i:user registers for the current user alone, no administrator needed, and
// regsvr32 /u /n /i:user removes that again; an empty command line means the whole machine.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    RegistrationScope scope = RegistrationScope::machine;
    if (commandLine && *commandLine) {
        if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL)
            scope = RegistrationScope::user;
        else if (CompareStringOrdinal(commandLine, -1, L"machine", -1, TRUE) != CSTR_EQUAL)
            return E_INVALIDARG;
    }
    return install ? registerServer(scope) : unregisterServer(scope);
}
