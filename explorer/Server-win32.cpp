// The DLL's entries, as COM and regsvr32 call them: the class object of the
// one class it serves, whether it may be unloaded, and its registration,
// always for the current user alone (DllRegisterServer and DllInstall alike:
// "regsvr32 /n /i:user" and plain "regsvr32" do the same). Exported by name
// through ostrel-thumbnails.def, nothing else.
#include "explorer/Handler.h"
#include "explorer/Module.h"
#include "explorer/Registration.h"

#include <olectl.h>

#include <cwchar>

// Declared by shlwapi.h, which this file needs nothing else of.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine);

namespace {

// The class factory lives as long as the DLL: its references are not
// counted, its locks hold the server.
HRESULT STDMETHODCALLTYPE FactoryQuery(IClassFactory* self, REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = self;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory*) {
    return 2;
}

ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory*) {
    return 1;
}

HRESULT STDMETHODCALLTYPE FactoryCreate(IClassFactory*, IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    return CreateThumbnailHandler(iid, out);
}

HRESULT STDMETHODCALLTYPE FactoryLock(IClassFactory*, BOOL lock) {
    if (lock)
        HoldServer();
    else
        ReleaseServer();
    return S_OK;
}

const IClassFactoryVtbl kFactoryTable = {FactoryQuery, FactoryAddRef, FactoryRelease, FactoryCreate,
                                         FactoryLock};
// (The record's table pointer is not const in the headers; nothing writes it.)
IClassFactory gFactory = {const_cast<IClassFactoryVtbl*>(&kFactoryTable)};

} // namespace

// Thread notifications stay on: the C++ runtime linked in may need them.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        SetThisModule(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kThumbnailHandlerClass))
        return CLASS_E_CLASSNOTAVAILABLE;
    return FactoryQuery(&gFactory, iid, out);
}

STDAPI DllCanUnloadNow() {
    return ServerInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return RegisterForUser();
}

STDAPI DllUnregisterServer() {
    return UnregisterForUser();
}

// regsvr32 /n /i:user (install) and /u /n /i:user (remove); no machine-wide
// registration, which would need an administrator.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
    if (commandLine != nullptr && commandLine[0] != L'\0' && _wcsicmp(commandLine, L"user") != 0)
        return E_INVALIDARG;
    return install ? RegisterForUser() : UnregisterForUser();
}
