// What a front end that draws the object needs besides the outcome: the
// object's triangles, lines and points as arrays (the arrays the glb file is
// formed from), its dimensions, and the panel as the plug-in read it back.
// Only the front ends that draw call these; the converted files stay the
// pipeline's (RunImport).
#pragma once

#include "convert/ViewArrays.h"
#include "pipeline/Pipeline.h"

#include <optional>
#include <string>

// The panel the plug-in reads back when the user confirms: its proposals
// with `edits` applied, so that a front end shows the values in effect.
PanelModel PanelInEffect(const PanelModel& proposed, const PanelEdits& edits);

// The object's extent along X, Y and Z: as the host received it (after the
// scale), and in the model file's own units (divided by the scale in
// effect), which is known when the panel had a scale other than zero.
struct ObjectDimensions {
    double size[3] = {0, 0, 0};
    std::optional<double> scale;
    double fileSize[3] = {0, 0, 0}; // with scale
};

struct ObjectView {
    ViewArrays arrays;
    ObjectDimensions dimensions;
};

// The view of a loaded outcome whose request kept what was received
// (`keepReceived`, or a format), with the edits it was made with. False
// with a one-line reason when the object cannot be shown: a point beyond the
// float range, or memory running out.
bool FormObjectView(const ImportOutcome& outcome, const PanelEdits& edits, ObjectView& out,
                    std::string& error);
