// The engine's handles behind ostrel.h, shared by its sources: the request
// as the caller builds it and one import's outcome, copied into flat arrays
// and strings the caller views without a copy.
#pragma once

#include "engine/ostrel.h"
#include "pipeline/Pipeline.h" // and through it the panel model, surfaces, edge mesh, text codec

#include <optional>
#include <string>
#include <vector>

struct ostrel_request {
    PanelEdits edits;
    std::string refusal; // why the last edit given was refused; "" when taken
    bool cancel = false;
    bool readWarnings = true;
    bool keepObject = true;
    bool shading = false;
    bool rightHanded = false;
    bool facesAndEdges = false;
    bool salvage = false;
    unsigned codePage = kShiftJisCodePage;
    std::optional<ExportFormat> format;
    uint32_t pictureSize = kPictureDefaultSize;
};

namespace engine {

constexpr int kEdits = 7;

// A control of the panel the plug-in built, as ostrel_control_at hands it.
struct ControlRecord {
    int edit = -1;
    int kind = 0;
    std::string label;
    std::string labelBytes;
    std::string english;
    std::vector<std::string> lines;
    std::vector<std::string> linesEnglish;
    double proposedNumber = 0;
    std::string proposedText;
};

struct Proposal {
    bool given = false;
    double number = 0;
    std::string text;
};

struct SurfaceRecord {
    std::string name;
    std::string nameBytes;
    bool hasBlock = false;
    ExportSurface attributes;
    SurfaceMaterial material;
};

struct OutputRecord {
    std::string name;
    std::string bytes;
};

// The role of each OSTREL_EDIT_*, and its name in messages (the header's).
inline constexpr PanelRole kRoleOfEdit[kEdits] = {
    PanelRole::Load,   PanelRole::Colour, PanelRole::Scale,      PanelRole::Name,
    PanelRole::Smooth, PanelRole::Angle,  PanelRole::DoubleSided};
inline constexpr const char* kEditNames[kEdits] = {"load",   "colours", "scale",       "base_name",
                                                   "smooth", "angle",   "double_sided"};

} // namespace engine

struct ostrel_import {
    int result = OSTREL_LOADED;
    std::string reason;
    const char* fixedReason = nullptr; // wins over `reason`: set when memory ran out
    std::string statistics;
    ReceivedCounts counts;
    std::vector<std::string> warnings;
    std::string damage; // why the model file is damaged; "" when it is sound
    engine::Proposal proposals[engine::kEdits];
    std::vector<engine::ControlRecord> controls;
    std::vector<float> points;
    std::vector<uint32_t> polygonSizes;
    std::vector<uint32_t> polygonSurfaces;
    std::vector<uint32_t> corners;
    std::vector<engine::SurfaceRecord> surfaces;
    std::vector<float> cornerNormals;
    std::vector<uint32_t> triangles;
    FacesAndEdges facesAndEdges;
    std::vector<engine::OutputRecord> files;
    std::string solidLine; // with a printing format: whether the object is a closed solid
};

// The proposals and the controls of the panel the plug-in built.
void KeepPanel(const PanelModel& built, unsigned codePage, ostrel_import& out);
