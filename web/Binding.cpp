// The web page's converter: the plug-in linked in and started once, each
// call one import through the pipeline's entry point, as `ostrel` makes it
// for one model file. JavaScript hands over a model's bytes, its name, the
// format wanted and the user's edits, and gets back plain objects: the
// outcome and its one line of reason, the plug-in's statistics line, the
// counts, the panel as the plug-in built it and the output files' bytes.
//
// Text goes out as UTF-8: the plug-in's labels and items are Shift-JIS, its
// statistics line and the names follow the rule for names.
#include "pipeline/Pipeline.h" // and through it the panel model and the text codec

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <string>
#include <string_view>

using emscripten::val;

extern "C" const ModuleDescriptor _mod_descrip;

namespace {

const char* ResultName(ImportResult result) {
    switch (result) {
    case ImportResult::Loaded:
        return "loaded";
    case ImportResult::NotModelFile:
        return "not-model-file";
    case ImportResult::CannotRead:
        return "cannot-read";
    case ImportResult::Cancelled:
        return "cancelled";
    case ImportResult::Refused:
        return "refused";
    case ImportResult::HostRefused:
        return "host-refused";
    case ImportResult::NotConverted:
        return "not-converted";
    }
    return "refused";
}

const char* KindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Text:
        return "text";
    case ControlKind::Choice:
        return "choice";
    case ControlKind::Float:
        return "float";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::Bool:
        return "bool";
    case ControlKind::Other:
        break;
    }
    return "other";
}

val Bytes(const std::string& bytes) {
    // A copy: the view into the module's memory would move when it grows.
    return val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(bytes.size(),
                                            reinterpret_cast<const unsigned char*>(bytes.data())))
        .call<val>("slice");
}

val ControlValue(const ControlModel& control) {
    switch (control.value.type) {
    case PanelValueType::Int:
        return val(control.value.i);
    case PanelValueType::Float:
        return val(control.value.d);
    case PanelValueType::Text:
        break;
    }
    return val(NameAsUtf8(control.value.text, kShiftJisCodePage));
}

val PanelObject(PanelModel panel) {
    val out = val::object();
    out.set("title", ShiftJisToUtf8(panel.title));
    val controls = val::array();
    for (const ControlModel& control : panel.controls) {
        val c = val::object();
        c.set("number", control.number);
        c.set("kind", KindName(control.kind));
        c.set("kindName", control.kindName);
        c.set("label", ShiftJisToUtf8(control.label));
        val lines = val::array();
        for (const std::string& line : control.lines)
            lines.call<void>("push", ShiftJisToUtf8(line));
        c.set("lines", lines);
        c.set("value", ControlValue(control));
        c.set("text", ControlValueText(control));
        const std::optional<PanelRole> role = RoleOf(panel, control);
        c.set("role", role ? val(RoleKeyword(*role)) : val::null());
        controls.call<void>("push", c);
    }
    out.set("controls", controls);
    return out;
}

// The edits the page sends, by role keyword: {load: 2, scale: 0.5, ...};
// a key absent or null keeps the plug-in's proposal.
PanelEdits EditsFrom(const val& edits) {
    PanelEdits e;
    if (edits.isUndefined() || edits.isNull())
        return e;
    auto has = [&](const char* key) {
        const val v = edits[key];
        return !v.isUndefined() && !v.isNull();
    };
    if (has("load"))
        e.loadTarget = edits["load"].as<int32_t>();
    if (has("colour"))
        e.colourSet = edits["colour"].as<int32_t>();
    if (has("scale"))
        e.scale = edits["scale"].as<double>();
    if (has("name"))
        e.name = edits["name"].as<std::string>();
    if (has("smooth"))
        e.smooth = edits["smooth"].as<int32_t>();
    if (has("angle"))
        e.angle = edits["angle"].as<double>();
    if (has("double"))
        e.doubleSided = edits["double"].as<int32_t>();
    return e;
}

const LoadedModule* Module(std::string& error) {
    static LoadedModule module;
    static bool started = StartLinkedModule(&_mod_descrip, module, error);
    return started ? &module : nullptr;
}

// One import of the `size` bytes at `data` (put into the module's memory by
// convert() in Convert.js, which is faster than handing them over as a
// string): `format` "lwo", "obj", "glb" or "" (import only).
val ConvertAt(uintptr_t data, size_t size, const std::string& name, const std::string& format,
              const val& edits) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    val out = val::object();
    std::string error;
    const LoadedModule* module = Module(error);
    if (module == nullptr) {
        out.set("result", "refused");
        out.set("reason", error);
        return out;
    }
    ImportRequest request;
    request.module = module;
    request.modelName = name;
    request.modelBytes = bytes;
    request.panel.edits = EditsFrom(edits);
    request.codePage = kShiftJisCodePage;
    request.readWarnings = true;
    if (!format.empty()) {
        ExportFormat f;
        if (!ParseExportFormat(format, f)) {
            out.set("result", "refused");
            out.set("reason", "no format " + format);
            return out;
        }
        request.format = f;
    }
    const ImportOutcome outcome = RunImport(request);
    out.set("result", ResultName(outcome.result));
    out.set("reason", NameAsUtf8(outcome.reason, kShiftJisCodePage));
    out.set("statistics", outcome.statistics.empty()
                              ? val::null()
                              : val(NameAsUtf8(outcome.statistics, kShiftJisCodePage)));
    val counts = val::object();
    counts.set("points", static_cast<double>(outcome.counts.points));
    counts.set("polygons", static_cast<double>(outcome.counts.polygons));
    counts.set("dropped", static_cast<double>(outcome.counts.dropped));
    counts.set("surfaces", static_cast<double>(outcome.counts.surfaces));
    out.set("counts", counts);
    out.set("panel", outcome.panel ? PanelObject(*outcome.panel) : val::null());
    val files = val::array();
    for (const OutputFile& file : outcome.files) {
        val f = val::object();
        f.set("name", NameAsUtf8(file.name, kShiftJisCodePage));
        f.set("bytes", Bytes(file.bytes));
        files.call<void>("push", f);
    }
    out.set("files", files);
    val warnings = val::array();
    for (const std::string& warning : outcome.warnings)
        warnings.call<void>("push", NameAsUtf8(warning, kShiftJisCodePage));
    out.set("warnings", warnings);
    // What the reader left out or read as something else, in the command
    // line's words (it prefixes "ostrel: warning: ").
    val readWarnings = val::array();
    for (const std::string& line : WarningLines(outcome.readWarnings, name))
        readWarnings.call<void>("push", NameAsUtf8(line, kShiftJisCodePage));
    out.set("readWarnings", readWarnings);
    return out;
}

// Every output format, whether this build has it, and if not, why.
val Formats() {
    val out = val::array();
    for (const OutputFormat& f : OutputFormats()) {
        val entry = val::object();
        entry.set("name", FormatExtension(f.format));
        entry.set("builtIn", f.builtIn);
        entry.set("unavailable", f.unavailable != nullptr ? val(f.unavailable) : val::null());
        out.call<void>("push", entry);
    }
    return out;
}

} // namespace

EMSCRIPTEN_BINDINGS(ostrel) {
    emscripten::function("convertAt", &ConvertAt);
    emscripten::function("formats", &Formats);
}
