#include "standin/Trace.h"

#include "platform/NumberText.h"

#include <cstdio>

void TraceLine(Trace* trace, const std::string& line) noexcept {
    if (!TraceEnabled(trace))
        return;
    if (trace->out != nullptr &&
        (std::fwrite(line.data(), 1, line.size(), trace->out) != line.size() ||
         std::fputc('\n', trace->out) == EOF)) {
        trace->writeFailed = true;
    }
    if (trace->text != nullptr) {
        try {
            trace->text->append(line).push_back('\n');
        } catch (...) {
            trace->writeFailed = true; // out of memory: the trace is incomplete
        }
    }
}

void AppendQuotedBytes(std::string& line, const char* bytes, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    line += '"';
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += static_cast<char>(c);
        } else if (c >= 0x20 && c <= 0x7E) {
            line += static_cast<char>(c);
        } else {
            line += "\\x";
            line += kHex[c >> 4];
            line += kHex[c & 15];
        }
    }
    line += '"';
}

void AppendQuoted(std::string& line, const char* text) {
    if (text == nullptr) {
        line += "null";
        return;
    }
    AppendQuotedBytes(line, text, std::char_traits<char>::length(text));
}

void AppendInt(std::string& line, long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", value);
    line += buffer;
}

void AppendFloat9(std::string& line, float value) {
    AppendGeneral(line, static_cast<double>(value), 9);
}

void AppendDouble17(std::string& line, double value) {
    AppendGeneral(line, value, 17);
}

void AppendHexUpper(std::string& line, const void* bytes, size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    line.reserve(line.size() + 2 * size);
    for (size_t i = 0; i < size; ++i) {
        line += kHex[p[i] >> 4];
        line += kHex[p[i] & 15];
    }
}

void AppendValue(std::string& line, const PanelValue& value) {
    switch (value.type) {
    case PanelValueType::Int:
        AppendInt(line, value.i);
        return;
    case PanelValueType::Float:
        AppendDouble17(line, value.d);
        return;
    case PanelValueType::Text:
        AppendQuotedBytes(line, value.text.data(), value.text.size());
        return;
    }
}

namespace {

// "NAME TEXT" with the text quoted.
std::string Quoting(const char* call, const char* text) {
    std::string line = call;
    line += ' ';
    AppendQuoted(line, text);
    return line;
}

// "NAME N".
std::string Numbered(const char* call, long long n) {
    std::string line = call;
    line += ' ';
    AppendInt(line, n);
    return line;
}

template <typename PointNumber>
std::string PolygonLine(int32_t vertexCount, int32_t surface, const PointNumber* points) {
    std::string line = Numbered("addPolygon", vertexCount);
    line += ' ';
    AppendInt(line, surface);
    for (int32_t i = 0; points != nullptr && i < vertexCount; ++i) {
        line += ' ';
        AppendInt(line, points[i]);
    }
    return line;
}

// "NAME ATTRIBUTE", `between`, then the value or "null".
std::string PanelAttributeLine(const char* call, int32_t attribute, const char* between,
                               const int32_t* value) {
    std::string line = Numbered(call, attribute);
    line += between;
    if (value != nullptr)
        AppendInt(line, *value);
    else
        line += "null";
    return line;
}

// "#N" for a control the host knows, "#?" for one it does not.
std::string ControlRef(const char* call, const ControlModel* control, int32_t attribute) {
    std::string line = call;
    line += " #";
    if (control != nullptr)
        AppendInt(line, control->number);
    else
        line += '?';
    line += ' ';
    AppendInt(line, attribute);
    return line;
}

} // namespace

std::string StartObjectLine() {
    return "startObject";
}

std::string DeclarePointCountLine(int32_t count) {
    return Numbered("declarePointCount", count);
}

std::string AddPointsLine(int32_t count, const float* xyz) {
    std::string line = "addPoints";
    for (int32_t i = 0; xyz != nullptr && i < count; ++i) {
        for (int k = 0; k < 3; ++k) {
            line += ' ';
            AppendFloat9(line, xyz[3 * i + k]);
        }
    }
    return line;
}

std::string LookupSurfaceLine(const char* name, int32_t value) {
    std::string line = Quoting("lookupSurface", name);
    line += " -> ";
    AppendInt(line, value);
    return line;
}

std::string AddPolygonLine(int32_t vertexCount, int32_t surface, const uint16_t* points) {
    return PolygonLine(vertexCount, surface, points);
}

std::string AddPolygonLine(int32_t vertexCount, int32_t surface, const uint32_t* points) {
    return PolygonLine(vertexCount, surface, points);
}

std::string StoreSurfaceDataLine(const char* name, int32_t byteCount, const void* block) {
    std::string line = Quoting("storeSurfaceData", name);
    line += ' ';
    AppendInt(line, byteCount);
    if (byteCount > 0 && block != nullptr) {
        line += ' ';
        AppendHexUpper(line, block, static_cast<size_t>(byteCount));
    }
    return line;
}

std::string GlobalLookupLine(const char* name, bool found) {
    return Quoting("globalLookup", name) + (found ? " -> found" : " -> null");
}

std::string StatusLine(int32_t status) {
    return Numbered("status", status);
}

std::string ResultLine(int32_t result) {
    return Numbered("result", result);
}

std::string CreatePanelLine(const char* title, bool created) {
    return Quoting("createPanel", title) + (created ? " -> panel" : " -> null");
}

std::string DestroyPanelLine() {
    return "destroyPanel";
}

std::string OpenPanelLine(int32_t flags, int32_t answer) {
    std::string line = Numbered("openPanel", flags);
    line += " -> ";
    AppendInt(line, answer);
    return line;
}

std::string GetPanelAttributeLine(int32_t attribute, const int32_t* value) {
    return PanelAttributeLine("getPanelAttribute", attribute, " -> ", value);
}

std::string SetPanelAttributeLine(int32_t attribute, const int32_t* value) {
    return PanelAttributeLine("setPanelAttribute", attribute, " ", value);
}

std::string CreateControlLine(const ControlModel& control) {
    std::string line = "createControl ";
    if (control.kind != ControlKind::Other)
        line += control.kindName;
    else
        AppendQuoted(line, control.kindNameIsNull ? nullptr : control.kindName.c_str());
    line += ' ';
    AppendQuoted(line, control.labelIsNull ? nullptr : control.label.c_str());
    if (control.kind == ControlKind::Text || control.kind == ControlKind::Choice) {
        for (const std::string& text : control.lines) {
            line += ' ';
            AppendQuoted(line, text.c_str());
        }
    } else if (control.kind == ControlKind::Edit) {
        line += ' ';
        AppendInt(line, control.fieldWidth);
    }
    line += " -> #";
    AppendInt(line, control.number);
    return line;
}

std::string GetControlAttributeLine(const ControlModel* control, int32_t attribute,
                                    const PanelValue* written, const ControlValue* record) {
    std::string line = ControlRef("getControlAttribute", control, attribute) + " -> ";
    if (written != nullptr) {
        AppendValue(line, *written);
    } else if (control == nullptr || record == nullptr || record->type == kValueText) {
        line += "null"; // no such control, or no buffer or room: nothing written
    } else {
        line += "?type=";
        AppendInt(line, record->type);
    }
    return line;
}

std::string SetControlAttributeLine(const ControlModel* control, int32_t attribute,
                                    const PanelValue* value, const ControlValue* record) {
    std::string line = ControlRef("setControlAttribute", control, attribute) + ' ';
    if (value != nullptr) {
        AppendValue(line, *value);
    } else if (record == nullptr) {
        line += "null";
    } else {
        line += "?type=";
        AppendInt(line, record->type);
    }
    return line;
}

std::string DisplayInfoLine(const DisplayInfo& display) {
    std::string line = "getDisplayInfo -> ";
    AppendInt(line, display.screenWidth);
    line += ' ';
    AppendInt(line, display.screenHeight);
    return line;
}
