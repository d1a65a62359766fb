// The handler object: two interface records (each a pointer to its table of
// functions) side by side, the reference count and the stream. The shell
// calls it from one thread (the class is registered as "Apartment"); the
// count is still changed atomically, as COM asks.
#include "explorer/Handler.h"

#include "explorer/Module.h"
#include "explorer/Thumbnail.h"

#include <propsys.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>
#include <string>

namespace {

// Not in the import libraries of every mingw-w64.
const IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

struct ThumbnailHandler {
    IThumbnailProvider provider; // first: its address is the object's IUnknown
    IInitializeWithStream initialize;
    LONG references = 1;
    IStream* stream = nullptr;
};

ThumbnailHandler* HandlerOf(IThumbnailProvider* provider) {
    return reinterpret_cast<ThumbnailHandler*>(provider);
}

ThumbnailHandler* HandlerOf(IInitializeWithStream* initialize) {
    return reinterpret_cast<ThumbnailHandler*>(reinterpret_cast<char*>(initialize) -
                                               offsetof(ThumbnailHandler, initialize));
}

HRESULT Query(ThumbnailHandler* handler, REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kThumbnailProviderIid))
        *out = &handler->provider;
    else if (IsEqualIID(iid, IID_IInitializeWithStream))
        *out = &handler->initialize;
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    InterlockedIncrement(&handler->references);
    return S_OK;
}

ULONG AddReference(ThumbnailHandler* handler) {
    return static_cast<ULONG>(InterlockedIncrement(&handler->references));
}

ULONG Release(ThumbnailHandler* handler) {
    const LONG left = InterlockedDecrement(&handler->references);
    if (left == 0) {
        if (handler->stream != nullptr)
            handler->stream->lpVtbl->Release(handler->stream);
        delete handler;
        ReleaseServer();
    }
    return static_cast<ULONG>(left);
}

// The stream's bytes from its start, in blocks; a stream that says (or
// turns out) to hold more than a thumbnail is drawn for is not read on.
HRESULT ReadStream(IStream* stream, std::string& bytes) {
    constexpr ULONG kBlock = 1u << 20;
    STATSTG stat{};
    if (SUCCEEDED(stream->lpVtbl->Stat(stream, &stat, STATFLAG_NONAME))) {
        if (stat.cbSize.QuadPart > kThumbnailMaxModelBytes)
            return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        // Room for the last block's read too, which finds the end.
        bytes.reserve(static_cast<size_t>(stat.cbSize.QuadPart) + kBlock);
    }
    // Wherever a caller left it; a stream that cannot seek is read as it is.
    LARGE_INTEGER start{};
    stream->lpVtbl->Seek(stream, start, STREAM_SEEK_SET, nullptr);
    for (;;) {
        const size_t had = bytes.size();
        bytes.resize(had + kBlock);
        ULONG got = 0;
        const HRESULT hr = stream->lpVtbl->Read(stream, bytes.data() + had, kBlock, &got);
        bytes.resize(had + std::min(got, kBlock));
        if (FAILED(hr))
            return hr;
        if (bytes.size() > kThumbnailMaxModelBytes)
            return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        if (got == 0 || hr == S_FALSE)
            return S_OK;
    }
}

HRESULT ResultOf(ThumbnailStatus status) {
    switch (status) {
    case ThumbnailStatus::Drawn:
        return S_OK;
    case ThumbnailStatus::TooLarge:
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    case ThumbnailStatus::OutOfMemory:
        return E_OUTOFMEMORY;
    case ThumbnailStatus::NoPicture:
        break;
    }
    return WTS_E_FAILEDEXTRACTION;
}

// A 32-bit DIB section, top-down (a negative height), holding the picture.
HBITMAP BitmapOf(const Picture& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(picture.size);
    info.bmiHeader.biHeight = -static_cast<LONG>(picture.size);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        return nullptr;
    }
    WritePremultipliedBgra(picture, static_cast<uint8_t*>(bits));
    return bitmap;
}

HRESULT ThumbnailBitmap(ThumbnailHandler* handler, UINT side, HBITMAP* bitmap,
                        WTS_ALPHATYPE* alpha) {
    std::string bytes;
    const HRESULT read = ReadStream(handler->stream, bytes);
    if (FAILED(read))
        return read;
    const Thumbnail thumbnail = DrawThumbnail(bytes, side);
    if (thumbnail.status != ThumbnailStatus::Drawn)
        return ResultOf(thumbnail.status);
    *bitmap = BitmapOf(thumbnail.picture);
    if (*bitmap == nullptr)
        return E_OUTOFMEMORY;
    *alpha = WTSAT_ARGB;
    return S_OK;
}

// ---- The two tables -------------------------------------------------------

// IUnknown's three calls, the same through either interface.
template <typename Interface>
HRESULT STDMETHODCALLTYPE QueryThrough(Interface* self, REFIID iid, void** out) {
    return Query(HandlerOf(self), iid, out);
}

template <typename Interface> ULONG STDMETHODCALLTYPE AddRefThrough(Interface* self) {
    return AddReference(HandlerOf(self));
}

template <typename Interface> ULONG STDMETHODCALLTYPE ReleaseThrough(Interface* self) {
    return Release(HandlerOf(self));
}

HRESULT STDMETHODCALLTYPE GetThumbnail(IThumbnailProvider* self, UINT side, HBITMAP* bitmap,
                                       WTS_ALPHATYPE* alpha) {
    if (bitmap == nullptr || alpha == nullptr)
        return E_POINTER;
    *bitmap = nullptr;
    *alpha = WTSAT_UNKNOWN;
    ThumbnailHandler* handler = HandlerOf(self);
    if (handler->stream == nullptr)
        return E_UNEXPECTED;
    try {
        return ThumbnailBitmap(handler, side, bitmap, alpha);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The stream is kept, not read: the shell may initialise a handler and
// never ask it for a picture.
HRESULT STDMETHODCALLTYPE Initialize(IInitializeWithStream* self, IStream* stream, DWORD) {
    if (stream == nullptr)
        return E_INVALIDARG;
    ThumbnailHandler* handler = HandlerOf(self);
    if (handler->stream != nullptr)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    stream->lpVtbl->AddRef(stream);
    handler->stream = stream;
    return S_OK;
}

const IThumbnailProviderVtbl kProviderTable = {QueryThrough<IThumbnailProvider>,
                                               AddRefThrough<IThumbnailProvider>,
                                               ReleaseThrough<IThumbnailProvider>, GetThumbnail};
const IInitializeWithStreamVtbl kInitializeTable = {
    QueryThrough<IInitializeWithStream>, AddRefThrough<IInitializeWithStream>,
    ReleaseThrough<IInitializeWithStream>, Initialize};

} // namespace

HRESULT CreateThumbnailHandler(REFIID iid, void** out) noexcept {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    ThumbnailHandler* handler = new (std::nothrow) ThumbnailHandler;
    if (handler == nullptr)
        return E_OUTOFMEMORY;
    // The headers' records point at tables they could write; no caller does.
    handler->provider.lpVtbl = const_cast<IThumbnailProviderVtbl*>(&kProviderTable);
    handler->initialize.lpVtbl = const_cast<IInitializeWithStreamVtbl*>(&kInitializeTable);
    HoldServer();
    // The creation's own reference, dropped once the caller holds its own
    // (or, for an interface not given, with the object).
    const HRESULT hr = Query(handler, iid, out);
    Release(handler);
    return hr;
}
