#include "web/View.h"

#include <cmath>
#include <exception>
#include <new>

PanelModel PanelInEffect(const PanelModel& proposed, const PanelEdits& edits) {
    PanelModel panel = proposed;
    ApplyPanelEdits(panel, ResolvePanelRoles(panel), edits);
    return panel;
}

namespace {

std::optional<double> ScaleInEffect(const ImportOutcome& outcome, const PanelEdits& edits) {
    if (!outcome.panel)
        return std::nullopt;
    PanelModel panel = PanelInEffect(*outcome.panel, edits);
    const ControlModel* scale = RoleControl(panel, ResolvePanelRoles(panel), PanelRole::Scale);
    if (scale == nullptr || scale->value.type != PanelValueType::Float)
        return std::nullopt;
    return scale->value.d;
}

} // namespace

bool FormObjectView(const ImportOutcome& outcome, const PanelEdits& edits, ObjectView& out,
                    std::string& error) try {
    if (!FormViewArrays(outcome.received, ExportSurfaces(outcome.received), out.arrays, error))
        return false;
    ObjectDimensions& d = out.dimensions;
    for (int i = 0; i < 3; ++i)
        d.size[i] = out.arrays.size[i];
    // The plug-in sends each coordinate times the scale (a negative scale
    // mirrors the object; a scale of zero leaves no file size to recover).
    const std::optional<double> scale = ScaleInEffect(outcome, edits);
    if (scale && *scale != 0 && std::isfinite(*scale)) {
        d.scale = scale;
        for (int i = 0; i < 3; ++i)
            d.fileSize[i] = d.size[i] / std::fabs(*scale);
    }
    return true;
} catch (const std::bad_alloc&) {
    error = "not enough memory to show the object";
    return false;
} catch (const std::exception& e) {
    error = e.what();
    return false;
}
