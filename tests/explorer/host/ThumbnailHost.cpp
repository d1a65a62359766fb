// A stand-in for the shell, for tools/check-thumbnails.sh under Wine: it
// creates the thumbnail handler as the shell does (the DLL loaded, its class
// object asked for, an instance made; or COM's own creation through the
// registration), hands it a stream over a model file and asks for a bitmap.
//
//   thumbnail_host picture DLL SIZE MODEL OUT   one thumbnail; its rows into OUT
//   thumbnail_host batch DLL SIZE MODEL...      each model with a handler of its
//                                               own; per model its answer, then
//                                               the time and memory figures
//   thumbnail_host registered SIZE MODEL        through the class the user's
//                                               .rk4 registration names
//   thumbnail_host contract DLL MODEL           the calls' answers out of order
//
// Exit 0 when every step answered as the shell expects (for batch: when
// every call returned), 1 otherwise, 2 on usage errors; a crash is Wine's
// own exit status.
#include "explorer/Module.h"
#include "explorer/Thumbnail.h"

#include <windows.h>

#include <objbase.h>
#include <propsys.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

struct Server {
    HMODULE dll = nullptr;
    GetClassObject get = nullptr;
    IClassFactory* factory = nullptr;
    CanUnloadNow canUnload = nullptr;
};

bool Load(const std::wstring& path, Server& server,
          const wchar_t* classText = kThumbnailHandlerClassText) {
    server.dll = LoadLibraryW(path.c_str());
    if (server.dll == nullptr) {
        std::printf("cannot load %s (error %lu)\n", Narrow(path).c_str(), GetLastError());
        return false;
    }
    server.get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(server.dll, "DllGetClassObject")));
    server.canUnload = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(server.dll, "DllCanUnloadNow")));
    CLSID clsid;
    if (server.get == nullptr || server.canUnload == nullptr ||
        FAILED(CLSIDFromString(classText, &clsid)))
        return false;
    const HRESULT hr =
        server.get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&server.factory));
    if (FAILED(hr))
        std::printf("DllGetClassObject: 0x%08lx\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

// The shell's steps with a made handler: the stream given, the picture asked
// for, the stream and the handler released. The bitmap is the caller's.
HRESULT Ask(IInitializeWithStream* init, IStream* stream, UINT size, HBITMAP& bitmap,
            WTS_ALPHATYPE& alpha) {
    HRESULT hr = init->lpVtbl->Initialize(init, stream, STGM_READ);
    IThumbnailProvider* provider = nullptr;
    if (SUCCEEDED(hr))
        hr = init->lpVtbl->QueryInterface(init, kThumbnailProviderIid,
                                          reinterpret_cast<void**>(&provider));
    if (SUCCEEDED(hr)) {
        hr = provider->lpVtbl->GetThumbnail(provider, size, &bitmap, &alpha);
        provider->lpVtbl->Release(provider);
    }
    init->lpVtbl->Release(init);
    return hr;
}

HRESULT FileStream(const std::wstring& path, IStream*& stream) {
    return SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, 0, FALSE,
                                  nullptr, &stream);
}

HRESULT Thumbnail(IClassFactory* factory, IStream* stream, UINT size, HBITMAP& bitmap,
                  WTS_ALPHATYPE& alpha) {
    IInitializeWithStream* init = nullptr;
    const HRESULT hr = factory->lpVtbl->CreateInstance(factory, nullptr, IID_IInitializeWithStream,
                                                       reinterpret_cast<void**>(&init));
    return FAILED(hr) ? hr : Ask(init, stream, size, bitmap, alpha);
}

// The bitmap's form in one line, and its rows as GDI reads them out, top
// row first, 4 bytes a pixel: what the shell draws.
bool WriteBitmap(HBITMAP bitmap, WTS_ALPHATYPE alpha, const std::wstring& out) {
    DIBSECTION dib{};
    if (GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBits == nullptr) {
        std::printf("not a DIB section\n");
        return false;
    }
    const LONG width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight;
    std::printf("%ldx%ld %u-bit alpha %d\n", width, height, dib.dsBm.bmBitsPixel,
                static_cast<int>(alpha));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, whatever the storage
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> rows(4 * static_cast<size_t>(width) * static_cast<size_t>(height));
    HDC screen = GetDC(nullptr);
    const int got =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), rows.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    FILE* file = _wfopen(out.c_str(), L"wb");
    if (got != height || file == nullptr)
        return false;
    std::fwrite(rows.data(), 1, rows.size(), file);
    return std::fclose(file) == 0;
}

int OnePicture(const std::vector<std::wstring>& args) {
    Server server;
    if (!Load(args[2], server))
        return 1;
    IStream* stream = nullptr;
    HRESULT hr = FileStream(args[4], stream);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    if (SUCCEEDED(hr)) {
        hr = Thumbnail(server.factory, stream, static_cast<UINT>(_wtoi(args[3].c_str())), bitmap,
                       alpha);
        stream->lpVtbl->Release(stream);
    }
    if (FAILED(hr)) {
        std::printf("0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    const bool written = WriteBitmap(bitmap, alpha, args[5]);
    DeleteObject(bitmap);
    return written ? 0 : 1;
}

// The process's private bytes (the commit charge, which Windows reports as
// PagefileUsage and PrivateUsage alike, Wine as PagefileUsage alone: its
// resident anonymous memory) and its working set.
struct Memory {
    size_t privateBytes = 0, workingSet = 0;
};

Memory MemoryNow() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {counters.PagefileUsage, counters.WorkingSetSize};
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Batch(const std::vector<std::wstring>& args) {
    Server server;
    if (!Load(args[2], server))
        return 1;
    const UINT size = static_cast<UINT>(_wtoi(args[3].c_str()));
    const size_t count = args.size() - 4;
    std::vector<Memory> memory;
    size_t drawn = 0;
    double drawing = 0;
    const double start = Seconds();
    for (size_t i = 0; i < count; ++i) {
        const double begun = Seconds();
        IStream* stream = nullptr;
        HRESULT hr = FileStream(args[4 + i], stream);
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        if (SUCCEEDED(hr)) {
            hr = Thumbnail(server.factory, stream, size, bitmap, alpha);
            stream->lpVtbl->Release(stream);
        }
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        if (hr == S_OK) {
            ++drawn;
            drawing += Seconds() - begun;
        }
        std::printf("%s: 0x%08lx\n", Narrow(args[4 + i]).c_str(), static_cast<unsigned long>(hr));
        memory.push_back(MemoryNow());
    }
    const double total = Seconds() - start;
    const size_t settled = std::min<size_t>(count, 20) - 1;
    std::printf("thumbnails: %zu, drawn %zu, refused %zu\n", count, drawn, count - drawn);
    std::printf("time: %.2f ms per thumbnail, %.2f ms per drawn one\n",
                1000 * total / static_cast<double>(count),
                drawn == 0 ? 0.0 : 1000 * drawing / static_cast<double>(drawn));
    const auto line = [&](const char* what, size_t Memory::*figure) {
        size_t most = 0;
        for (const Memory& m : memory)
            most = std::max(most, m.*figure);
        std::printf("%s KiB: after 1 %zu, after %zu %zu, after %zu %zu, most %zu\n", what,
                    memory.front().*figure >> 10, settled + 1, memory[settled].*figure >> 10, count,
                    memory.back().*figure >> 10, most >> 10);
    };
    line("private bytes", &Memory::privateBytes);
    line("working set", &Memory::workingSet);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    std::printf("peak working set KiB: %zu\n", counters.PeakWorkingSetSize >> 10);
    // The private bytes' growth once the heaps have settled.
    std::printf("growth KiB after %zu: %lld\n", settled + 1,
                (static_cast<long long>(memory.back().privateBytes) -
                 static_cast<long long>(memory[settled].privateBytes)) /
                    1024);
    return 0;
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return bytes;
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.append(block, got);
    std::fclose(file);
    return bytes;
}

IStream* MemoryStream(const std::string& bytes) {
    return SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<UINT>(bytes.size()));
}

// A value of the user's classes, HKEY_CURRENT_USER\Software\Classes.
std::wstring UserClassesText(const std::wstring& key, const wchar_t* name) {
    wchar_t text[1024] = L"";
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), name, RRF_RT_REG_SZ,
                     nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"";
    return text;
}

// As the shell finds an extension's thumbnail handler: the class named under
// the extension's ShellEx key for IThumbnailProvider, here in the user's
// classes, and made by COM from its registration. Windows' HKEY_CLASSES_ROOT
// shows the user's classes over the machine's; Wine's shows the machine's
// alone, so that COM finds no class registered for one user: then the
// server the registration names is loaded as COM would load it, and asked
// for the class the extension names.
int Registered(const std::vector<std::wstring>& args) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring handler =
        UserClassesText(L".rk4\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}", nullptr);
    CLSID clsid;
    if (handler.empty() || FAILED(CLSIDFromString(handler.c_str(), &clsid))) {
        std::printf("not registered\n");
        return 1;
    }
    const std::wstring key = L"CLSID\\" + handler + L"\\InprocServer32";
    const std::wstring path = UserClassesText(key, nullptr);
    std::printf("handler %s\nserver %s\nthreading %s\n", Narrow(handler).c_str(),
                Narrow(path).c_str(), Narrow(UserClassesText(key, L"ThreadingModel")).c_str());
    IInitializeWithStream* init = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                                  reinterpret_cast<void**>(&init));
    std::printf("CoCreateInstance 0x%08lx\n", static_cast<unsigned long>(hr));
    Server server;
    if (FAILED(hr) && Load(path, server, handler.c_str()))
        hr = server.factory->lpVtbl->CreateInstance(
            server.factory, nullptr, IID_IInitializeWithStream, reinterpret_cast<void**>(&init));
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    if (SUCCEEDED(hr)) {
        IStream* stream = MemoryStream(FileBytes(args[3]));
        hr = Ask(init, stream, static_cast<UINT>(_wtoi(args[2].c_str())), bitmap, alpha);
        stream->lpVtbl->Release(stream);
    }
    std::printf("thumbnail 0x%08lx\n", static_cast<unsigned long>(hr));
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    CoUninitialize();
    return hr == S_OK ? 0 : 1;
}

int failures = 0;

void Expect(const char* what, HRESULT got, HRESULT wanted) {
    std::printf("%s: 0x%08lx", what, static_cast<unsigned long>(got));
    if (got != wanted) {
        std::printf(", expected 0x%08lx", static_cast<unsigned long>(wanted));
        ++failures;
    }
    std::printf("\n");
}

// The thumbnail of `bytes` from a handler of its own, over a memory stream.
HRESULT FromMemory(IClassFactory* factory, const std::string& bytes) {
    IStream* stream = MemoryStream(bytes);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    const HRESULT hr = Thumbnail(factory, stream, 256, bitmap, alpha);
    stream->lpVtbl->Release(stream);
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    return hr;
}

// One handler through its life, each call out of order on the way.
void HandlerLife(const Server& server, const std::string& model) {
    IClassFactory* factory = server.factory;
    IThumbnailProvider* provider = nullptr;
    Expect("CreateInstance",
           factory->lpVtbl->CreateInstance(factory, nullptr, kThumbnailProviderIid,
                                           reinterpret_cast<void**>(&provider)),
           S_OK);
    if (provider == nullptr)
        return;
    Expect("DllCanUnloadNow, a handler alive", server.canUnload(), S_FALSE);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    Expect("GetThumbnail before Initialize",
           provider->lpVtbl->GetThumbnail(provider, 256, &bitmap, &alpha), E_UNEXPECTED);
    IInitializeWithStream* init = nullptr;
    provider->lpVtbl->QueryInterface(provider, IID_IInitializeWithStream,
                                     reinterpret_cast<void**>(&init));
    Expect("Initialize without a stream", init->lpVtbl->Initialize(init, nullptr, STGM_READ),
           E_INVALIDARG);
    IStream* stream = MemoryStream(model);
    Expect("Initialize", init->lpVtbl->Initialize(init, stream, STGM_READ), S_OK);
    Expect("Initialize again", init->lpVtbl->Initialize(init, stream, STGM_READ),
           HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
    stream->lpVtbl->Release(stream);
    init->lpVtbl->Release(init);
    for (const char* what :
         {"GetThumbnail", "GetThumbnail again, the stream read from its start"}) {
        Expect(what, provider->lpVtbl->GetThumbnail(provider, 256, &bitmap, &alpha), S_OK);
        if (bitmap != nullptr)
            DeleteObject(bitmap);
    }
    provider->lpVtbl->Release(provider);
    Expect("DllCanUnloadNow, none left", server.canUnload(), S_OK);
}

int Contract(const std::vector<std::wstring>& args) {
    Server server;
    if (!Load(args[2], server))
        return 1;
    IClassFactory* factory = server.factory;
    void* object = nullptr;
    Expect("DllGetClassObject, another class",
           server.get(kThumbnailProviderIid, IID_IClassFactory, &object),
           CLASS_E_CLASSNOTAVAILABLE);
    Expect("CreateInstance inside another object",
           factory->lpVtbl->CreateInstance(factory, reinterpret_cast<IUnknown*>(factory),
                                           IID_IUnknown, &object),
           CLASS_E_NOAGGREGATION);
    Expect("CreateInstance, an interface it has not",
           factory->lpVtbl->CreateInstance(factory, nullptr, IID_IClassFactory, &object),
           E_NOINTERFACE);
    const std::string model = FileBytes(args[3]);
    HandlerLife(server, model);
    Expect("a stream past the size bound",
           FromMemory(factory, std::string(kThumbnailMaxModelBytes + 1, '\n')),
           HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    Expect("no model file", FromMemory(factory, "no model\n"), WTS_E_FAILEDEXTRACTION);
    Expect("an empty stream", FromMemory(factory, ""), WTS_E_FAILEDEXTRACTION);
    Expect("the model over a memory stream", FromMemory(factory, model), S_OK);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::vector<std::wstring> args(argv, argv + argc);
    LocalFree(argv);
    const std::wstring mode = args.size() > 1 ? args[1] : L"";
    if (mode == L"picture" && args.size() == 6)
        return OnePicture(args);
    if (mode == L"batch" && args.size() >= 5)
        return Batch(args);
    if (mode == L"registered" && args.size() == 4)
        return Registered(args);
    if (mode == L"contract" && args.size() == 4)
        return Contract(args);
    std::fprintf(stderr, "usage: thumbnail_host picture DLL SIZE MODEL OUT | batch DLL SIZE "
                         "MODEL... | registered SIZE MODEL | contract DLL MODEL\n");
    return 2;
}
