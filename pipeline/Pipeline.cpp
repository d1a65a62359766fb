#include "pipeline/Pipeline.h"

#include "geometry/ClosedSolid.h"
#include "geometry/Shading.h"
#include "platform/FileSystem.h"
#include "platform/Processors.h"
#include "standin/Activation.h"
#include "standin/ImportHost.h"

#include <cstdio>
#include <exception>
#include <new>
#if OSTREL_THREADS
#include <map>
#include <mutex>
#include <thread>
#endif

namespace {

struct Verdict {
    ImportResult result;
    std::string reason;
};

// What the host makes of the activation, in order of precedence: a host
// call that failed, a call the host refused, the activation's result, then
// the status the plug-in wrote.
Verdict VerdictOfActivation(const ActivationOutcome& a, int32_t version) {
    if (!a.stagingFailure.empty())
        return {ImportResult::CannotRead, a.stagingFailure};
    if (!a.hostFailure.empty())
        return {ImportResult::Refused, "the host failed during " + a.hostFailure};
    if (!a.received.refusal.empty())
        return {ImportResult::HostRefused, "refused by the host: " + a.received.refusal};
    switch (a.result) {
    case kActivateHandled:
        break;
    case kActivateWrongVersion:
        return {ImportResult::Refused, "refused by the plug-in: activation version " +
                                           std::to_string(version) + " not accepted (result 1)"};
    case kActivateMissingGlobal:
        return {ImportResult::Refused,
                "refused by the plug-in: host global \"LWPanelServices\" missing (result 2)"};
    default:
        return {ImportResult::Refused,
                "the plug-in returned an unknown result " + std::to_string(a.result)};
    }
    switch (a.status) {
    case kImportLoaded:
        return {ImportResult::Loaded, ""};
    case kImportNotModelFile:
        return {ImportResult::NotModelFile,
                std::string("not a model file (no \"") + kModelMagic + "\" magic)"};
    case kImportOpenFailed:
        if (a.outOfMemory)
            return {ImportResult::CannotRead, "not enough memory to import it"};
        return {ImportResult::CannotRead, "cannot open or read (" + a.readFailure + ")"};
    case kImportCancelled:
        return {ImportResult::Cancelled, "cancelled in the options panel"};
    case kStatusUnwritten:
        return {ImportResult::Refused, "the plug-in returned 0 without writing a status"};
    default:
        return {ImportResult::Refused,
                "the plug-in wrote an unknown status " + std::to_string(a.status)};
    }
}

// The model's base name without its extension.
std::string ModelStem(const std::string& model) {
    std::string name = model.substr(NameStart(model));
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0)
        name.resize(dot);
    return name;
}

// The threads the shading may spread over: two where the request may use
// more than one core and the machine has them. More would wait on the
// merging of the vertices, which takes one.
unsigned ShadingWorkers(const ImportRequest& request) {
    return request.moreCores && UsableProcessors() >= 2 ? 2 : 1;
}

// The files of the request's format; a failure of any kind, memory
// included, is an object not converted.
void FormOutputFiles(const ImportRequest& request, ImportOutcome& outcome) try {
    const std::string name = !request.outputName.empty() ? request.outputName
                                                         : ModelStem(request.modelName) + "." +
                                                               FormatExtension(*request.format);
    std::string error;
    // The object is named after the model, as its surfaces are.
    // Windows spells file names in the ANSI code page and shows them by
    // their Unicode names; elsewhere a name is its bytes.
#ifdef _WIN32
    const unsigned fileNameCodePage = request.codePage;
#else
    const unsigned fileNameCodePage = 0;
#endif
    if (!FormFiles(outcome.received, *request.format, name, request.codePage, outcome.files, error,
                   ModelStem(request.modelName), fileNameCodePage, request.pictureSize,
                   ShadingWorkers(request))) {
        outcome.files.clear();
        outcome.result = ImportResult::NotConverted;
        outcome.reason = error;
    } else if (FormatChecksSolid(*request.format)) {
        outcome.solidLine = ClosedSolidLine(CheckClosedSolid(outcome.received));
    }
} catch (const std::bad_alloc&) {
    outcome.files.clear();
    outcome.result = ImportResult::NotConverted;
    outcome.reason = "not enough memory to form the file";
} catch (const std::exception& e) {
    outcome.files.clear();
    outcome.result = ImportResult::NotConverted;
    outcome.reason = e.what();
}

// What the reader left out. Through the converter's build the import tells
// it itself, to a collector set as its reader's observer: the model is read
// once. The host's module takes no observer: the model is read a second
// time, by the same reader checking only. Where the build has threads, that
// read runs on a thread of its own while the plug-in imports, so that on two
// cores the warnings cost next to nothing; the web build (no threads) reads
// after the import. Either way the lines are the same; a read that cannot be
// made says why.
struct WarningsRead {
    bool widePoints = false; // the object goes out through the converter's build
    bool observed = false;   // the import itself tells the notices
    NoticeCollector notices; // ... to this collector
    ReadWarnings warnings;   // of the second read, when done
    bool done = false;
#if OSTREL_THREADS
    std::jthread thread; // joined on every way out
#endif
};

// Whether the model can be read again, beside or after the import: its
// bytes, or a regular file. A FIFO or a pipe (a shell's "<(...)") gives its
// bytes once: a second reader would take them from the import, or wait for
// a writer that never comes.
bool CanReadAgain(const ImportRequest& request) {
    if (request.modelBytes)
        return true;
    std::string target;
    std::string error;
    return FollowLinks(request.modelName, target, error) && PathKindOf(target) == PathKind::Regular;
}

void ReadWarningsNow(const ImportRequest& request, WarningsRead& read) {
    try {
        read.warnings = request.modelBytes
                            ? CollectReadWarnings(*request.modelBytes, read.widePoints)
                            : CollectReadWarningsFromFile(request.modelName, read.widePoints);
    } catch (const std::exception&) {
        read.warnings = {};
        read.warnings.notRead = "not enough memory to read it again";
    }
    read.done = true;
}

// Starts the read beside the import where threads exist. Returns whether it
// was started.
bool StartWarningsRead(const ImportRequest& request, WarningsRead& read) {
#if OSTREL_THREADS
    // On one processor the two reads would only take turns, each evicting
    // the other's tables from the caches: one after the other is cheaper.
    if (read.observed || !request.moreCores || UsableProcessors() < 2 || !CanReadAgain(request))
        return false;
    try {
        read.thread = std::jthread([&request, &read] { ReadWarningsNow(request, read); });
        return true;
    } catch (const std::exception&) {
        // No thread to be had: read after the import.
    }
#else
    (void)request;
    (void)read;
#endif
    return false;
}

// What the reader told of the model, once the import has loaded it: from
// the import itself, or from the read beside it (awaited), or from a read
// made now. Memory running out loses the warnings, and the outcome says so.
void TakeReadWarnings(const ImportRequest& request, bool started, WarningsRead& read,
                      ImportOutcome& outcome) try {
#if OSTREL_THREADS
    if (started)
        read.thread.join();
#endif
    if (read.observed)
        outcome.readWarnings = WordedWarnings(read.notices);
    else if (started || CanReadAgain(request)) {
        if (!started)
            ReadWarningsNow(request, read);
        outcome.readWarnings = std::move(read.warnings);
    } else
        outcome.readWarnings.notRead = "a pipe gives its bytes once, and the import took them";
} catch (const std::exception&) {
    // A short line, which the string has room for.
    outcome.readWarnings = ReadWarnings{};
    try {
        outcome.readWarnings.notRead = "not enough memory";
    } catch (const std::exception&) {
    }
}

// For a file that is not a model file: what it starts with instead, from
// its first bytes.
void DescribeWhatItIs(const ImportRequest& request, ImportOutcome& outcome) try {
    if (!CanReadAgain(request))
        return;
    std::string start;
    if (request.modelBytes)
        outcome.reason = "not a model file: " +
                         DescribeNotModelFile(request.modelBytes->substr(0, kDescribedBytes));
    else if (ReadFileStart(request.modelName, kDescribedBytes, start))
        outcome.reason = "not a model file: " + DescribeNotModelFile(start);
} catch (const std::exception&) {
    // Memory ran out for the words: the plain reason stands.
}

// A damaged model is refused unless the request salvages it. Either way the
// outcome says it is damaged.
void TakeDamage(const ImportRequest& request, ImportOutcome& outcome) {
    outcome.damage = outcome.readWarnings.damage;
    if (outcome.damage.kind == DamageKind::None || request.salvage)
        return;
    outcome.result = ImportResult::Damaged;
    outcome.reason = "damaged: " + outcome.damage.cause;
}

#if OSTREL_THREADS
// The plug-in keeps its model in globals, as a plug-in of the host may: one
// activation at a time for each loaded copy of its code, known by its
// descriptor's address (copies loaded apart have descriptors, and globals,
// of their own: ModuleLoader.h). The host simulation keeps its state per
// thread. Everything else of an import may run beside it.
std::mutex& ActivationLockOf(const ModuleDescriptor* descriptor) {
    static std::mutex registryLock;
    static std::map<const ModuleDescriptor*, std::mutex> locks; // entries stay put
    const std::lock_guard<std::mutex> registry(registryLock);
    return locks[descriptor];
}
#endif

// The converter's own build keeps nothing in globals: its imports need no
// turns.
ActivationOutcome ActivateAlone(const ActivationRequest& activation) {
#if OSTREL_THREADS
    if (activation.module->wide)
        return Activate(activation);
    const std::lock_guard<std::mutex> lock(ActivationLockOf(activation.module->descriptor));
#endif
    return Activate(activation);
}

bool WantsObject(const ImportRequest& request) {
    return request.format.has_value() || request.keepReceived || request.shading ||
           request.facesAndEdges;
}

bool IsTraced(const ImportRequest& request) {
    return request.traceStream != nullptr || request.traceText;
}

// The module the import runs through first: the converter's build for an
// object wanted without a trace; the host's for the trace, and for an
// import that is only counted (what the host receives).
const LoadedModule* ModuleOfFirstImport(const ImportRequest& request) {
    if (request.converter != nullptr &&
        (request.module == nullptr || (WantsObject(request) && !IsTraced(request))))
        return request.converter;
    return request.module;
}

// A traced import whose object is wanted but was cut by the host's 16-bit
// point numbers: the object again through the converter's build, the panel
// answered as the user answered it the first time, nothing traced. Its
// outcome replaces the first one's object and counts.
void ReimportWhole(const ImportRequest& request, ActivationRequest& activation,
                   ActivationOutcome& first) {
    if (activation.module == request.converter || request.converter == nullptr ||
        !WantsObject(request) || first.status != kImportLoaded ||
        first.received.pointCount <= static_cast<size_t>(kHostPointNumbers))
        return;
    activation.module = request.converter;
    activation.trace = nullptr;
    activation.panel.handler = {};
    if (first.panelAnswered)
        activation.panel.edits = *first.panelAnswered;
    ActivationOutcome whole = ActivateAlone(activation);
    if (!whole.hostFailure.empty() || whole.result != first.result ||
        whole.status != first.status) {
        first.hostFailure = !whole.hostFailure.empty()
                                ? whole.hostFailure
                                : "the converter's import, which did not end as the host's did";
        return;
    }
    first.received = std::move(whole.received);
}

// The host's corner normals and triangles in the request's handedness:
// under the writers', corner i of a loop of n stands for its corner
// ReversedCorner(i, n) (the same map both ways), and each triangle turns the
// other way.
void CopyShadingInHandedness(const ReceivedModel& model, const ShadingGeometry& geometry,
                             bool rightHanded, ImportOutcome& outcome) {
    outcome.cornerNormals.resize(3 * geometry.cornerNormal.size());
    outcome.triangles.resize(geometry.triangles.size());
    for (size_t p = 0; p < model.polygons.size(); ++p) {
        const size_t start = geometry.cornerStart[p], n = geometry.cornerStart[p + 1] - start;
        const auto written = [&](size_t corner) {
            return rightHanded ? start + ReversedCorner(corner - start, n) : corner;
        };
        for (size_t c = start; c < start + n; ++c) {
            const Normal3& host = geometry.cornerNormal[written(c)];
            const Normal3 normal = rightHanded ? RightHanded(host) : host;
            float* out = &outcome.cornerNormals[3 * c];
            out[0] = normal.x;
            out[1] = normal.y;
            out[2] = normal.z;
        }
        for (size_t t = geometry.triangleStart[p]; t < geometry.triangleStart[p + 1]; t += 3) {
            const uint32_t* in = &geometry.triangles[t];
            uint32_t* out = &outcome.triangles[t];
            out[0] = static_cast<uint32_t>(written(in[0]));
            out[1] = static_cast<uint32_t>(written(in[rightHanded ? 2 : 1]));
            out[2] = static_cast<uint32_t>(written(in[rightHanded ? 1 : 2]));
        }
    }
}

// The shading and the edge mesh the request asks for; a polygon naming a
// surface never looked up was refused already, and memory running out fails
// the import.
void AddShading(const ImportRequest& request, ImportOutcome& outcome) try {
    ShadingGeometry geometry;
    std::string error;
    const std::vector<ExportSurface> surfaces = ExportSurfaces(outcome.received);
    const bool rightHanded = request.handedness == Handedness::RightHanded;
    // The front ends build their own vertices; triangles only when asked.
    ShadingParts parts;
    parts.triangles = request.shading;
    parts.vertices = false;
    parts.workers = ShadingWorkers(request);
    if (!ComputeShading(outcome.received, surfaces, geometry, error, parts) ||
        (request.facesAndEdges &&
         !FormFacesAndEdges(outcome.received, surfaces, geometry, request.handedness,
                            outcome.facesAndEdges, error))) {
        outcome.result = ImportResult::NotConverted;
        outcome.reason = error;
        return;
    }
    if (request.shading)
        CopyShadingInHandedness(outcome.received, geometry, rightHanded, outcome);
} catch (const std::bad_alloc&) {
    outcome.cornerNormals.clear();
    outcome.triangles.clear();
    outcome.facesAndEdges = FacesAndEdges{};
    outcome.result = ImportResult::NotConverted;
    outcome.reason = "not enough memory to work out the shading";
}

std::string NothingImportedReason(const ReceivedCounts& counts) {
    const size_t polygons = counts.polygons + counts.dropped;
    return "nothing to import (" + std::to_string(counts.points) + " points, " +
           std::to_string(polygons) + (polygons == 1 ? " polygon" : " polygons") + " received)";
}

// What the host noticed of the panel and of the object, then the reader's
// lines: one wording for every front end. Memory running out loses them.
void FormWarningLines(const ImportRequest& request, ImportOutcome& outcome) try {
    const std::string& name = request.shownName.empty() ? request.modelName : request.shownName;
    std::vector<std::string>& lines = outcome.warningLines;
    lines = outcome.warnings;
    for (PanelRole role : outcome.editsWithoutControl)
        lines.push_back(std::string(RoleKeyword(role)) + ": the panel has no " +
                        RoleControlName(role) + " control; not applied");
    if (outcome.panelLeftOpen)
        lines.push_back("the plug-in did not destroy its panel");
    std::string notApplied;
    for (PanelRole role : EditedRoles(request.panel.edits))
        notApplied += (notApplied.empty() ? "" : ", ") + std::string(RoleKeyword(role));
    if (outcome.status == kImportLoaded && !outcome.panel && !notApplied.empty())
        lines.push_back("the plug-in opened no panel: " + notApplied + " not applied");
    const ReceivedCounts& c = outcome.counts;
    if (c.revisiting != 0)
        lines.push_back(name + ": " + std::to_string(c.revisiting) +
                        (c.revisiting == 1 ? " polygon runs" : " polygons run") +
                        " through a point more than once (a keyhole, or two loops in one face)");
    if (!request.readWarnings)
        return;
    std::vector<std::string> reader = WarningLines(outcome.readWarnings, name);
    outcome.readerWarningLines = reader.size();
    for (std::string& line : reader)
        lines.push_back(std::move(line));
} catch (const std::exception&) {
    outcome.warningLines.clear();
    outcome.readerWarningLines = 0;
}

} // namespace

ReceivedCounts CountReceived(const ReceivedModel& received) {
    ReceivedCounts counts;
    counts.points = received.pointCount;
    counts.dropped = received.emptyPolygonCount;
    counts.polygons = received.polygonCount - received.emptyPolygonCount;
    counts.surfaces = static_cast<size_t>(received.nextSurfaceValue - 1);
    counts.revisiting = received.revisitingPolygonCount;
    return counts;
}

ImportOutcome RunImport(const ImportRequest& request) {
    ImportOutcome outcome;
    Trace trace;
    trace.out = request.traceStream;
    trace.text = request.traceText ? &outcome.trace : nullptr;

    ActivationRequest activation;
    activation.module = ModuleOfFirstImport(request);
    activation.modelPath = request.modelName;
    activation.modelBytes = request.modelBytes;
    activation.version = request.activationVersion;
    activation.panel = request.panel;
    activation.trace = &trace;
    activation.codePage = request.codePage;
    activation.keepGeometry = WantsObject(request);
    WarningsRead read;
    read.widePoints =
        activation.module->wide || (request.converter != nullptr && WantsObject(request));
    read.observed = activation.module->wide;
    const ReadObserver observer = CollectorObserver(read.notices, read.widePoints);
    if (read.observed)
        activation.readObserver = &observer;
    const bool started = StartWarningsRead(request, read);
    ActivationOutcome a = ActivateAlone(activation);
    ReimportWhole(request, activation, a);

    Verdict verdict = VerdictOfActivation(a, request.activationVersion);
    outcome.result = verdict.result;
    outcome.reason = std::move(verdict.reason);
    outcome.activationResult = a.result;
    if (a.status != kStatusUnwritten && a.stagingFailure.empty())
        outcome.status = a.status;
    outcome.statistics = std::move(a.statistics);
    outcome.panel = std::move(a.panel);
    outcome.editsWithoutControl = std::move(a.editsWithoutControl);
    outcome.panelLeftOpen = a.panelLeftOpen;
    outcome.warnings = std::move(a.warnings);
    outcome.received = std::move(a.received);
    outcome.counts = CountReceived(outcome.received);
    outcome.traceWriteFailed = trace.writeFailed;
    if (outcome.result == ImportResult::Loaded) {
        TakeReadWarnings(request, started, read, outcome);
        TakeDamage(request, outcome);
    }
    if (outcome.result == ImportResult::Loaded && outcome.counts.points == 0) {
        outcome.result = ImportResult::NothingImported;
        outcome.reason = NothingImportedReason(outcome.counts);
    }
    if (outcome.result == ImportResult::Loaded && (request.shading || request.facesAndEdges))
        AddShading(request, outcome);
    if (outcome.result == ImportResult::Loaded && request.format)
        FormOutputFiles(request, outcome);
    if (outcome.result == ImportResult::NotModelFile)
        DescribeWhatItIs(request, outcome);
    FormWarningLines(request, outcome);
    return outcome;
}
