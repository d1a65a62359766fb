// The web page's converter: the plug-in linked in and started once, each
// call one import through the pipeline's entry point, as `ostrel` makes it
// for one model file. JavaScript hands over a model's bytes, its name, the
// format wanted and the user's edits, and gets back plain objects: the
// outcome and its one line of reason, the plug-in's statistics line, the
// counts, the panel (each control's value in effect beside the plug-in's
// proposal), and either the output files' bytes or, for the view, the
// object's arrays and dimensions (pipeline/View.h), so that the page draws
// without forming or reading a file.
//
// Text goes out as UTF-8: the plug-in's labels and items are Shift-JIS, its
// statistics line and the names follow the rule for names.
#include "pipeline/ModelFiles.h"
#include "pipeline/Pipeline.h" // and through it the panel model and the text codec
#include "render/Picture.h"
#include "standin/PanelRules.h"
#include "web/View.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using emscripten::val;

extern "C" const ModuleDescriptor ostrel_wide_descrip;

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
    case ImportResult::NothingImported:
        return "nothing-to-import";
    case ImportResult::Damaged:
        return "damaged";
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

val Uint8ArrayOf(const std::string& bytes) {
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

// The panel in effect: each control's value with the edits applied, and
// beside it the plug-in's proposal.
val PanelObject(PanelModel proposed, const PanelEdits& edits) {
    const PanelModel panel = PanelInEffect(proposed, edits);
    const PanelRoles roles = ResolvePanelRoles(panel);
    val out = val::object();
    out.set("title", ShiftJisToUtf8(panel.title));
    val controls = val::array();
    for (size_t i = 0; i < panel.controls.size(); ++i) {
        const ControlModel& control = panel.controls[i];
        val c = val::object();
        c.set("number", control.number);
        c.set("kind", KindName(control.kind));
        c.set("kindName", control.kindName);
        c.set("label", ShiftJisToUtf8(control.label));
        // The English beside the plug-in's Japanese, by the panel's rules.
        const std::optional<PanelRole> role = roles.ofControl[i].role;
        const ControlEnglish english = EnglishOf(control, role);
        c.set("english", english.label);
        val lines = val::array();
        val linesEnglish = val::array();
        for (size_t line = 0; line < control.lines.size(); ++line) {
            lines.call<void>("push", ShiftJisToUtf8(control.lines[line]));
            linesEnglish.call<void>("push", english.lines[line]);
        }
        c.set("lines", lines);
        c.set("linesEnglish", linesEnglish);
        c.set("value", ControlValue(control));
        c.set("text", ControlValueText(control));
        c.set("proposed", ControlValue(proposed.controls[i]));
        c.set("role", role ? val(RoleKeyword(*role)) : val::null());
        controls.call<void>("push", c);
    }
    out.set("controls", controls);
    return out;
}

// The edits the page sends, by role keyword: {load: 2, scale: "0.5", ...},
// a field's text as typed (or its bytes), a choice's item or a switch's 1/0
// as numbers;
// a key absent or null keeps the plug-in's proposal. Each is read and
// judged by the rulebook; the line saying why one is refused, or "".
std::string TakeEdits(const val& edits, PanelEdits& e) {
    if (edits.isUndefined() || edits.isNull())
        return "";
    for (PanelRole role : kPanelRoles) {
        const char* key = RoleKeyword(role);
        const val v = edits[key];
        if (v.isUndefined() || v.isNull())
            continue;
        const std::string refusal = v.isNumber()
                                        ? TakeChoiceNumber(role, v.as<double>(), key, e)
                                        : TakeChoiceText(role, v.as<std::string>(), key, e);
        if (!refusal.empty())
            return refusal;
    }
    return "";
}

// Why the text typed for the control of `role` (a role keyword) is refused,
// by the rules of every front end, or "" when it is taken: the page asks
// before it converts again.
std::string CheckChoice(const std::string& role, const std::string& text) {
    const std::optional<PanelRole> named = RoleNamed(role);
    PanelEdits scratch;
    return named ? TakeChoiceText(*named, text, role, scratch) : "no control " + role;
}

// The files a folder stands for, as the command line takes them: the
// indices into `paths` (each relative to the folder picked or dropped) of
// the model files directly inside it, or with `withSubfolders` in its
// sub-folders too, in order.
val ModelFiles(const val& paths, bool withSubfolders) {
    const std::vector<std::string> names = emscripten::vecFromJSArray<std::string>(paths);
    val out = val::array();
    for (size_t i : FolderModelFiles(names, withSubfolders))
        out.call<void>("push", static_cast<double>(i));
    return out;
}

const LoadedModule* StartedModule(std::string& error) {
    static LoadedModule module;
    static bool started = StartWideModule(&ostrel_wide_descrip, module, error);
    return started ? &module : nullptr;
}

template <typename T> val TypedArray(const char* type, const std::vector<T>& values) {
    // One copy out of the module's memory, which moves when it grows.
    return val::global(type).new_(emscripten::typed_memory_view(values.size(), values.data()));
}

val Triple(const double* v) {
    val out = val::array();
    for (int i = 0; i < 3; ++i)
        out.call<void>("push", v[i]);
    return out;
}

const char* PartKindName(ViewPartKind kind) {
    switch (kind) {
    case ViewPartKind::Triangles:
        break;
    case ViewPartKind::Lines:
        return "lines";
    case ViewPartKind::Points:
        return "points";
    }
    return "triangles";
}

// The view's arrays as typed arrays the worker hands on without copying.
val ViewObject(const ObjectView& view) {
    const ViewArrays& arrays = view.arrays;
    val out = val::object();
    out.set("positions", TypedArray("Float32Array", arrays.positions));
    out.set("normals", TypedArray("Float32Array", arrays.normals));
    out.set("triangleVertices", static_cast<double>(arrays.triangleVertices));
    val parts = val::array();
    for (size_t i = 0; i < arrays.parts.size(); ++i) {
        if (arrays.parts[i].indices.empty())
            continue;
        val part = val::object();
        part.set("surface", static_cast<double>(i / 3));
        part.set("kind", PartKindName(arrays.parts[i].kind));
        part.set("indices", TypedArray("Uint32Array", arrays.parts[i].indices));
        parts.call<void>("push", part);
    }
    out.set("parts", parts);
    val materials = val::array();
    for (const SurfaceMaterial& m : arrays.materials) {
        val material = val::object();
        val colour = val::array();
        for (double c : m.colour)
            colour.call<void>("push", c);
        material.set("colour", colour);
        material.set("roughness", m.roughness);
        material.set("specular", m.specular);
        material.set("metallic", m.metallic);
        material.set("doubleSided", m.doubleSided);
        material.set("blend", m.blend);
        materials.call<void>("push", material);
    }
    out.set("materials", materials);
    const ObjectDimensions& d = view.dimensions;
    val dimensions = val::object();
    dimensions.set("size", Triple(d.size));
    dimensions.set("scale", d.scale ? val(*d.scale) : val::null());
    dimensions.set("fileSize", d.scale ? Triple(d.fileSize) : val::null());
    out.set("dimensions", dimensions);
    return out;
}

// The pipeline's warning lines, in the command line's words (it prefixes
// "ostrel: warning: "): what the host noticed, and apart what the reader
// left out or read as something else.
void SetWarnings(const ImportOutcome& outcome, val& out) {
    const std::vector<std::string>& lines = outcome.warningLines;
    const size_t hostLines = lines.size() - outcome.readerWarningLines;
    val warnings = val::array();
    val readWarnings = val::array();
    for (size_t i = 0; i < lines.size(); ++i)
        (i < hostLines ? warnings : readWarnings)
            .call<void>("push", NameAsUtf8(lines[i], kShiftJisCodePage));
    out.set("warnings", warnings);
    out.set("readWarnings", readWarnings);
}

// What JavaScript is handed of an outcome: how it ended, its counts, the
// panel in effect, the files and the lines to show.
void SetOutcome(const ImportOutcome& outcome, const PanelEdits& edits, val& out) {
    out.set("result", ResultName(outcome.result));
    out.set("reason", NameAsUtf8(outcome.reason, kShiftJisCodePage));
    out.set("damage", outcome.damage.kind == DamageKind::None
                          ? val::null()
                          : val(NameAsUtf8(outcome.damage.cause, kShiftJisCodePage)));
    out.set("statistics", outcome.statistics.empty()
                              ? val::null()
                              : val(NameAsUtf8(outcome.statistics, kShiftJisCodePage)));
    val counts = val::object();
    counts.set("points", static_cast<double>(outcome.counts.points));
    counts.set("polygons", static_cast<double>(outcome.counts.polygons));
    counts.set("dropped", static_cast<double>(outcome.counts.dropped));
    counts.set("surfaces", static_cast<double>(outcome.counts.surfaces));
    out.set("counts", counts);
    out.set("panel", outcome.panel ? PanelObject(*outcome.panel, edits) : val::null());
    val files = val::array();
    for (const OutputFile& file : outcome.files) {
        val f = val::object();
        f.set("name", NameAsUtf8(file.name, kShiftJisCodePage));
        f.set("bytes", Uint8ArrayOf(file.bytes));
        files.call<void>("push", f);
    }
    out.set("files", files);
    out.set("solidLine", outcome.solidLine);
    SetWarnings(outcome, out);
}

// One import of the `size` bytes at `data` (put into the module's memory by
// convert() in Convert.js, which is faster than handing them over as a
// string): `format` "lwo", "obj", "glb", "png", ..., "view" (the arrays the
// view draws, and the object's picture as `ostrel -o NAME.png` draws it) or
// "" (import only). `withReadWarnings`: whether the reader's warnings are
// told too (by the import itself, which reads the model once; a
// re-conversion after an edit does without, since the edits do not change
// them). `pictureSize`: the picture's pixels along each side, for "png" and
// "view" (0: png's default). `salvage`: a damaged model is converted as far
// as it was read; either way `damage` says why it is damaged (null when
// sound).
val ConvertAt(uintptr_t data, size_t size, const std::string& name, const std::string& format,
              const val& edits, bool withReadWarnings, uint32_t pictureSize, bool salvage) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    val out = val::object();
    std::string error;
    const LoadedModule* module = StartedModule(error);
    if (module == nullptr) {
        out.set("result", "refused");
        out.set("reason", error);
        return out;
    }
    ImportRequest request;
    request.converter = module;
    request.modelName = name;
    request.modelBytes = bytes;
    if (const std::string refusal = TakeEdits(edits, request.panel.edits); !refusal.empty()) {
        out.set("result", "refused");
        out.set("reason", refusal);
        return out;
    }
    request.codePage = kShiftJisCodePage;
    request.readWarnings = withReadWarnings;
    request.salvage = salvage;
    const bool view = format == "view";
    request.keepReceived = view;
    if (pictureSize != 0)
        request.pictureSize = pictureSize;
    if (view) {
        request.format = ExportFormat::Png;
    } else if (!format.empty()) {
        ExportFormat f;
        if (!ParseExportFormat(format, f)) {
            out.set("result", "refused");
            out.set("reason", "no format " + format);
            return out;
        }
        request.format = f;
    }
    ImportOutcome outcome = RunImport(request);
    // A picture with nothing drawn in it is none; the view still shows the
    // object, which may be turned to its other side.
    if (view && outcome.result == ImportResult::NotConverted) {
        out.set("pictureNote", NameAsUtf8(outcome.reason, kShiftJisCodePage));
        outcome.result = ImportResult::Loaded;
        outcome.reason.clear();
        outcome.files.clear();
    }
    if (view && outcome.result == ImportResult::Loaded) {
        ObjectView objectView;
        if (FormObjectView(outcome, request.panel.edits, objectView, error)) {
            out.set("view", ViewObject(objectView));
            if (!outcome.files.empty())
                out.set("picture", Uint8ArrayOf(outcome.files.at(0).bytes));
            outcome.files.clear();
        } else {
            outcome.result = ImportResult::NotConverted;
            outcome.reason = error;
        }
    }
    SetOutcome(outcome, request.panel.edits, out);
    return out;
}

// What the reader leaves out of the `size` bytes at `data` or reads as
// something else, in the command line's words: the lines convertAt gives
// with `withReadWarnings`, on their own, so that the page can show the
// object first and the warnings after. The page converts through the
// converter's build, which sends every face: none is told of for the host's
// point numbers.
val ReadWarningsAt(uintptr_t data, size_t size, const std::string& name) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    val lines = val::array();
    for (const std::string& line : WarningLines(CollectReadWarnings(bytes, true), name))
        lines.call<void>("push", NameAsUtf8(line, kShiftJisCodePage));
    return lines;
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

// How the view lights and frames an object: the pictures' own setup, so
// that the view and the gallery's pictures look alike.
val ViewSetupObject() {
    const auto triple = [](const double(&v)[3]) {
        val out = val::array();
        for (double c : v)
            out.call<void>("push", c);
        return out;
    };
    val lights = val::array();
    for (const ViewLight& light : kViewSetup.lights) {
        val l = val::object();
        l.set("from", triple(light.from));
        l.set("intensity", light.intensity);
        lights.call<void>("push", l);
    }
    val out = val::object();
    out.set("ambient", kViewSetup.ambient);
    out.set("lights", lights);
    out.set("cameraFrom", triple(kViewSetup.cameraFrom));
    out.set("fieldOfView", kViewSetup.fieldOfView);
    return out;
}

EMSCRIPTEN_BINDINGS(ostrel) {
    emscripten::function("convertAt", &ConvertAt);
    emscripten::function("formats", &Formats);
    emscripten::function("readWarningsAt", &ReadWarningsAt);
    emscripten::function("checkChoice", &CheckChoice);
    emscripten::function("modelFiles", &ModelFiles);
    emscripten::function("viewSetup", &ViewSetupObject);
}
