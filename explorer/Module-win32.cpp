#include "explorer/Module.h"

#include <exception>

const CLSID kThumbnailHandlerClass = {
    0x5b526045, 0x6f46, 0x45e9, {0x8c, 0xf7, 0x82, 0x09, 0x95, 0x75, 0x44, 0xe3}};

namespace {

HMODULE gModule = nullptr;
LONG gHolds = 0;

} // namespace

void SetThisModule(HMODULE module) {
    gModule = module;
}

HMODULE ThisModule() {
    return gModule;
}

bool ThisModulePath(std::wstring& path) try {
    // GetModuleFileNameW cuts a path that does not fit and says so only by
    // filling the buffer: grow it until the path fits.
    for (DWORD room = MAX_PATH; room <= 32768 * 2; room *= 2) {
        path.assign(room, L'\0');
        const DWORD length = GetModuleFileNameW(gModule, path.data(), room);
        if (length == 0)
            return false;
        if (length < room) {
            path.resize(length);
            return true;
        }
    }
    return false;
} catch (const std::exception&) {
    return false;
}

void HoldServer() {
    InterlockedIncrement(&gHolds);
}

void ReleaseServer() {
    InterlockedDecrement(&gHolds);
}

bool ServerInUse() {
    return InterlockedCompareExchange(&gHolds, 0, 0) != 0;
}
