// The handler's registration for the current user alone, in
// HKEY_CURRENT_USER\Software\Classes, which needs no administrator:
//
//   CLSID\{5B526045-...}                    (default) "Ostrel model thumbnails"
//   CLSID\{5B526045-...}\InprocServer32     (default) this DLL's full path,
//                                           ThreadingModel "Apartment"
//   .rk4\ShellEx\{E357FCCD-...}             (default) "{5B526045-...}"
//
// ({E357FCCD-A995-4576-B01F-234630154E96} is IThumbnailProvider's interface
// number: the key the shell looks under for an extension's thumbnail
// handler.) No DisableProcessIsolation value: the shell runs the handler in
// a process of its own, apart from Explorer. The shell is told that file
// associations changed, so that open Explorer windows ask again.
#pragma once

#include <windows.h>

// S_OK, or the registry's error as an HRESULT.
HRESULT RegisterForUser() noexcept;
// Removes what RegisterForUser wrote: the class's key, the extension's
// handler entry when it names this class, and the extension's keys when
// nothing else is left in them. S_OK also when nothing was registered.
HRESULT UnregisterForUser() noexcept;
