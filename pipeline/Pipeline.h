// The one entry point of every front end (the command line, the web page,
// the Blender add-on): a model file, by its bytes or by its path, and the
// user's choices in; the import through the plug-in's descriptor, exactly as
// the host runs it, then the conversion; the outcome and the output files,
// as bytes, out. No terminal and no output file is touched here: the caller
// shows and writes what comes back.
//
//     LoadedModule module;                      // once, for many imports
//     StartLinkedModule(&_mod_descrip, module, error);   // or LoadModule(path, ...)
//     ImportRequest request;
//     request.module = &module;
//     request.modelName = "cube.rk4";
//     request.modelBytes = bytes;               // std::string_view
//     request.panel.edits.scale = 1;
//     request.format = ExportFormat::Glb;
//     const ImportOutcome outcome = RunImport(request);
//     // outcome.result, outcome.reason, outcome.files[0].bytes ...
//     UnloadModule(module);
#pragma once

#include "convert/Formats.h"
#include "geometry/FacesAndEdges.h"
#include "pipeline/ReadWarnings.h"
#include "platform/TextCodec.h"
#include "standin/ModuleLoader.h"
#include "standin/PanelServices.h"
#include "standin/Received.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How an import ended, in the order a front end reports them.
enum class ImportResult {
    Loaded,       // the object was received (and converted, when asked)
    NotModelFile, // the plug-in found no model file
    CannotRead,   // the model file could not be opened or read
    Cancelled,    // the user cancelled the options panel
    Refused,      // the plug-in refused (activation version, missing global),
                  // answered what no host expects, or a host call failed
    HostRefused,  // the host refused a call the plug-in made (Received.h)
    NotConverted, // the output format cannot hold the object
    // The plug-in loaded a model with nothing in it (the magic alone, or
    // nothing the load target keeps): no point reached the host, so no
    // polygon did either. Nothing is converted.
    NothingImported,
    // The reader lost the file's structure (pipeline/Damage.h): the host got
    // what was read, but the file is not sound. Nothing is converted unless
    // the request salvages.
    Damaged,
};

struct ImportRequest {
    const LoadedModule* module = nullptr; // started, from a file or linked in
    // The converter's own build of the plug-in (StartWideModule with
    // `&ostrel_wide_descrip`), or null. An import whose object is wanted (a
    // format, keepReceived, shading) runs through it, so that a model of any
    // size arrives whole: the host's module names points in 16 bits and sends
    // no face past the 65,536th point. The trace, and an import for no
    // object, stay what the host receives. Either module may be null, not
    // both.
    const LoadedModule* converter = nullptr;
    // The model file's name, or its path when `modelBytes` is absent and the
    // plug-in is to open it itself. Its base name makes the surface names.
    std::string modelName;
    std::optional<std::string_view> modelBytes;
    // How the warning lines name the model (the command line: as the user
    // gave it, "-" for standard input); empty: `modelName`.
    std::string shownName;
    int32_t activationVersion = 1;
    PanelBehaviour panel; // the panel services' answers, the edits, a handler
    // The trace: written to `traceStream` as the calls come (null: not), and
    // kept in the outcome when `traceText`.
    std::FILE* traceStream = nullptr;
    bool traceText = false;
    // The output: none for an import only. `outputName` is the file's name
    // (no folder); empty: the model's base name with the format's extension.
    std::optional<ExportFormat> format;
    std::string outputName;
    uint32_t pictureSize = kPictureDefaultSize; // png: pixels along each side
    // The code page of names that are not UTF-8 (for the formats read as
    // UTF-8): the model file's system's, SystemCodePage() where it is this one.
    unsigned codePage = kShiftJisCodePage;
    // Whether the warnings about what the reader left out are among the
    // outcome's warning lines. The reader's notices are read either way: the
    // verdict on a damaged file needs them.
    bool readWarnings = false;
    // Whether this import may use more than one core (where the build has
    // threads): the second read of a model imported through the host's module
    // (which takes no observer) runs beside the import, and the shading is
    // spread over the cores. A caller that already keeps every core busy
    // with other imports says no.
    bool moreCores = true;
    // A damaged model file (Damage.h) is imported and converted as far as it
    // was read, rather than refused. The outcome's damage says it is damaged
    // either way.
    bool salvage = false;
    // Whether points and polygons are kept in outcome.received when no
    // format is asked for (otherwise they are only counted).
    bool keepReceived = false;
    // Whether the host's shading is worked out too (outcome.cornerNormals
    // and outcome.triangles), for front ends that build their own meshes;
    // implies keepReceived.
    bool shading = false;
    // Whether the object is also laid out as faces and edges
    // (outcome.facesAndEdges), for front ends that keep meshes of edges; implies
    // keepReceived.
    bool facesAndEdges = false;
    // The convention of the shading and the edge mesh: the host's, or the
    // writers' (right-handed: loops reversed, Z negated).
    Handedness handedness = Handedness::Host;
};

// What the host received, counted as every status line counts it.
struct ReceivedCounts {
    size_t points = 0;
    size_t polygons = 0;   // polygons with vertices
    size_t dropped = 0;    // polygons without, which no format keeps
    size_t surfaces = 0;   // surfaces looked up
    size_t revisiting = 0; // polygons whose chain runs through a point more than once
};

struct ImportOutcome {
    ImportResult result = ImportResult::Loaded;
    std::string reason; // one line saying why, when not Loaded
    int32_t activationResult = 0;
    std::optional<int32_t> status; // as the plug-in wrote it
    ReceivedCounts counts;
    std::string statistics; // the plug-in's statistics line; empty: none
    std::string trace;      // with traceText
    bool traceWriteFailed = false;
    std::vector<OutputFile> files; // with a format, when Loaded; in writing order
    // With a format a slicer prints from (FormatChecksSolid), once its files
    // are formed: whether the object is a closed solid, and what the file
    // leaves out, in one line for every front end (geometry/ClosedSolid.h).
    // Empty otherwise.
    std::string solidLine;
    // The first panel the plug-in opened, as it built it: controls in order
    // with kind, label bytes, items and the values it proposed.
    std::optional<PanelModel> panel;
    std::vector<PanelRole> editsWithoutControl; // edits given for controls the panel lacks
    bool panelLeftOpen = false;                 // the plug-in did not destroy its panel
    std::vector<std::string> warnings;          // panel calls the host could not place
    ReadWarnings readWarnings;                  // with readWarnings, when Loaded
    // Every warning, worded once for every front end (the command line puts
    // "ostrel: warning: " before each): what the host noticed of the panel
    // and of the object, then the reader's lines (WarningLines), the last
    // `readerWarningLines` of them.
    std::vector<std::string> warningLines;
    size_t readerWarningLines = 0;
    // Whether the model file is damaged, and why, when the plug-in loaded it.
    Damage damage;
    ReceivedModel received;
    // With `shading`, when Loaded: per corner of received.polygons (their
    // points in order, polygon after polygon, in `handedness`: with the
    // writers', each loop of three or more reversed from its first corner)
    // the normal the host shades it with, x y z (zero for polygons of fewer
    // than three points); and three corner numbers per triangle of those
    // polygons, turning as the front faces do.
    std::vector<float> cornerNormals;
    std::vector<uint32_t> triangles;
    // With `facesAndEdges`, when Loaded.
    FacesAndEdges facesAndEdges;
};

ImportOutcome RunImport(const ImportRequest& request);

ReceivedCounts CountReceived(const ReceivedModel& received);
