// The stand-in host's call trace (--trace), in its fixed format. It has one
// line per call the plug-in makes to the host, in call order. It ends with a
// `result` line.
//
// Each kind of call has one function below that forms its line. The callbacks
// trace with them. Tests that compare lines form theirs with them too. The
// Append* helpers form the lines' parts.
// TraceLine writes lines whole: to a stream as they come, to a string, or both.
// With a stream, a large trace need not fit in memory. A Trace with neither
// traces nothing. Callers that test TraceEnabled then skip the formatting.
#pragma once

#include "host/HostApi.h"
#include "standin/PanelModel.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct Trace {
    std::FILE* out = nullptr;
    std::string* text = nullptr;
    bool writeFailed = false; // a write to `out` failed (reported at the end)
};

inline bool TraceEnabled(const Trace* trace) {
    return trace != nullptr && (trace->out != nullptr || trace->text != nullptr);
}

// Writes `line` and a line feed. Never throws.
void TraceLine(Trace* trace, const std::string& line) noexcept;

// A text argument in double quotes. Bytes 0x20..0x7E other than '"' and '\'
// stay as they are. Those two become '\"' and '\\'. Every other byte becomes
// \xHH, in lowercase hex. A null pointer is written as the bare word `null`.
void AppendQuoted(std::string& line, const char* text);
// The same for `size` bytes (NUL bytes included, escaped as \x00).
void AppendQuotedBytes(std::string& line, const char* bytes, size_t size);

void AppendInt(std::string& line, long long value);
// A 32-bit float with "%.9g" (so -0 prints as -0).
void AppendFloat9(std::string& line, float value);
// A double with "%.17g".
void AppendDouble17(std::string& line, double value);
// Bytes as uppercase hex, no separators.
void AppendHexUpper(std::string& line, const void* bytes, size_t size);
// A panel value: decimal, %.17g or quoted text.
void AppendValue(std::string& line, const PanelValue& value);

// ----------------------------------------------------- the import calls ---

std::string StartObjectLine();
std::string DeclarePointCountLine(int32_t count);
// Every coordinate of the `count` points (none for a null array).
std::string AddPointsLine(int32_t count, const float* xyz);
std::string LookupSurfaceLine(const char* name, int32_t value);
// The host's 16-bit point numbers or the converter's 32-bit ones (none for
// a null array).
std::string AddPolygonLine(int32_t vertexCount, int32_t surface, const uint16_t* points);
std::string AddPolygonLine(int32_t vertexCount, int32_t surface, const uint32_t* points);
// The block's bytes in hex when there are any.
std::string StoreSurfaceDataLine(const char* name, int32_t byteCount, const void* block);
std::string GlobalLookupLine(const char* name, bool found);
// The activation's outcome: the status word when written, then the result.
std::string StatusLine(int32_t status);
std::string ResultLine(int32_t result);

// ------------------------------------------------------ the panel calls ---

std::string CreatePanelLine(const char* title, bool created);
std::string DestroyPanelLine();
std::string OpenPanelLine(int32_t flags, int32_t answer);
// `value` null: the host wrote nothing (no such panel, or no word to write).
std::string GetPanelAttributeLine(int32_t attribute, const int32_t* value);
std::string SetPanelAttributeLine(int32_t attribute, const int32_t* value);
// The control as created: its kind, label, lines or field width, number.
std::string CreateControlLine(const ControlModel& control);
// `control` is null for a control the host does not know (#?). `written` is the
// value written into `record`, or null when nothing was written.
std::string GetControlAttributeLine(const ControlModel* control, int32_t attribute,
                                    const PanelValue* written, const ControlValue* record);
// `value`: what `record` carries; null when it holds nothing readable.
std::string SetControlAttributeLine(const ControlModel* control, int32_t attribute,
                                    const PanelValue* value, const ControlValue* record);
std::string DisplayInfoLine(const DisplayInfo& display);
