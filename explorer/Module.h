// What the parts of the thumbnail handler's COM server share: the handler's
// class, the DLL's own handle and path, and the count of what keeps the DLL
// loaded (live handlers and the class factory's locks), which
// DllCanUnloadNow reports.
//
// Every Windows header of this folder is read as C (CINTERFACE, set by the
// build): an interface is a record whose first field points at a table of
// functions, filled here with free functions.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <string>

// The thumbnail handler's class, and as the registry writes it.
extern const CLSID kThumbnailHandlerClass;
constexpr const wchar_t* kThumbnailHandlerClassText = L"{5B526045-6F46-45E9-8CF7-8209957544E3}";

// Set once, by DllMain, before any other call.
void SetThisModule(HMODULE module);
HMODULE ThisModule();
// The full path of this DLL, however long; false when the system gives none.
bool ThisModulePath(std::wstring& path);

void HoldServer();
void ReleaseServer();
bool ServerInUse();
