// The thumbnail handler: one object per file the shell asks about, with the
// two interfaces the shell uses, IInitializeWithStream (the file's stream,
// kept) and IThumbnailProvider (the picture, read from that stream then). It
// starts no process and writes no file: the stream's bytes are read into
// memory, at most kThumbnailMaxModelBytes of them.
//
// GetThumbnail's answers: S_OK with a 32-bit top-down DIB section of
// premultiplied BGRA and WTSAT_ARGB; WTS_E_FAILEDEXTRACTION for a file that
// gives no picture (not a model file, unreadable, nothing to draw);
// HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) past the size; E_OUTOFMEMORY;
// the stream's own error when reading it fails; E_UNEXPECTED before
// Initialize. No exception leaves any call.
#pragma once

#include <windows.h>

#include <objbase.h>

// A new handler, asked for by `iid` (IUnknown, IThumbnailProvider or
// IInitializeWithStream); it holds the server while it lives.
HRESULT CreateThumbnailHandler(REFIID iid, void** out) noexcept;
