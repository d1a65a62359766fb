#include "standin/StatusLine.h"

#include "platform/TextCodec.h"

std::string CountOf(size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

std::string CountsText(const ReceivedCounts& counts) {
    std::string text = CountOf(counts.points, "point", "points") + ", " +
                       CountOf(counts.polygons, "polygon", "polygons");
    if (counts.dropped != 0)
        text += ", " + std::to_string(counts.dropped) + " without vertices dropped";
    return text + ", " + CountOf(counts.surfaces, "surface", "surfaces");
}

std::string ConvertedLine(const std::string& model, const OutputPlan& plan,
                          const ReceivedCounts& counts) {
    // Paths are shown as text, by the rule for names.
    std::string line =
        NameAsUtf8(model, SystemCodePage()) + " -> " +
        (plan.path == "-" ? "standard output" : NameAsUtf8(plan.path, SystemCodePage())) + ": " +
        CountsText(counts);
    if (counts.polygons == 0)
        line += counts.points == 0 ? "; no polygon to show: the output is empty"
                                   : "; no polygon to show: the output holds points only";
    if (plan.mtlRenamed)
        line += "; materials in " + NameAsUtf8(plan.mtlPath, SystemCodePage()) +
                " (whitespace replaced: OBJ readers end "
                "the material library's name at a space)";
    return line;
}
