#include "cli/StatusLine.h"

#include "cli/Report.h"
#include "standin/Trace.h"

namespace {

// "1 point", "2 points", "0 points".
std::string CountOf(size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

} // namespace

std::string CountsText(const ReceivedCounts& counts) {
    std::string text = CountOf(counts.points, "point", "points") + ", " +
                       CountOf(counts.polygons, "polygon", "polygons");
    if (counts.dropped != 0)
        text += ", " + std::to_string(counts.dropped) + " without vertices dropped";
    return text + ", " + CountOf(counts.surfaces, "surface", "surfaces");
}

std::string ConvertedLine(const std::string& model, const OutputPlan& plan,
                          const ReceivedCounts& counts) {
    std::string line = ShownText(model) + " -> " +
                       (plan.path == "-" ? "standard output" : ShownText(plan.path)) + ": " +
                       CountsText(counts);
    if (counts.polygons == 0)
        line += counts.points == 0 ? "; no polygon to show: the output is empty"
                                   : "; no polygon to show: the output holds points only";
    if (plan.mtlRenamed)
        line += "; materials in " + ShownText(plan.mtlPath) +
                " (whitespace replaced: OBJ readers end "
                "the material library's name at a space)";
    return line;
}

std::string CheckLine(const std::string& model, const ImportOutcome& outcome) {
    std::string statistics = "(none)";
    if (!outcome.statistics.empty()) {
        statistics.clear();
        AppendQuotedBytes(statistics, outcome.statistics.data(), outcome.statistics.size());
    }
    const size_t warnings = outcome.readWarnings.Total();
    const std::string verdict =
        outcome.result != ImportResult::Loaded    ? ShownText(outcome.reason)
        : outcome.damage.kind != DamageKind::None ? "damaged: " + ShownText(outcome.damage.cause)
        : !outcome.readWarnings.notRead.empty()   ? std::string("ok, not read for warnings")
        : warnings == 0                           ? std::string("ok")
                        : "ok, " + CountOf(warnings, "warning", "warnings");
    return ShownText(model) + ": statistics " + statistics + "; " + CountsText(outcome.counts) +
           " received; " + verdict;
}

std::string SalvagedText(const ImportOutcome& outcome) {
    if (outcome.damage.kind == DamageKind::None)
        return "";
    return "; damaged: " + ShownText(outcome.damage.cause) + " (written as read, --salvage)";
}

std::string BatchLine(const HostOptions& options, size_t total, size_t failed, size_t damaged,
                      size_t warned) {
    const char* done = options.check                                            ? "checked"
                       : !options.outDir.empty() || !options.outputPath.empty() ? "converted"
                                                                                : "imported";
    return CountOf(total, "model file", "model files") + ": " +
           std::to_string(total - failed - damaged) + " " + done + ", " +
           (damaged != 0 ? std::to_string(damaged) + " damaged, " : "") + std::to_string(failed) +
           " failed, " + std::to_string(warned) + " with warnings";
}

std::string ReceivedLine(const std::string& model, const ReceivedCounts& counts) {
    return ShownText(model) + ": " + CountsText(counts) + " received";
}
