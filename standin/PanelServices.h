// The host side of the panel services ("LWPanelServices"): the function
// tables the plug-in calls to create panels and controls, read and set
// their attributes, open and destroy panels, and the display information.
// Every call goes into the trace. The panels are PanelModel records; opening
// one applies the user's edits (PanelRules.h), then hands the panel to the
// front end's handler, if one is installed, which shows it and answers.
#pragma once

#include "host/HostApi.h"
#include "standin/PanelModel.h"
#include "standin/PanelRules.h"
#include "standin/Trace.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Whoever shows the panel when the plug-in opens it (the terminal, a web
// page): called with the panel as the plug-in built it, the edits applied;
// it may change the controls' values. Returns 1 to confirm, 0 to cancel;
// `proposed` is the host's answer without a handler (0 when told to cancel).
struct PanelHandler {
    int32_t (*open)(void* context, PanelModel& panel, int32_t proposed) = nullptr;
    void* context = nullptr;
};

// How the host answers the panel services.
struct PanelBehaviour {
    bool noServices = false; // globalLookup("LWPanelServices") answers null
    bool noPanel = false;    // createPanel answers null
    bool cancel = false;     // openPanel answers 0
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    PanelEdits edits;
    PanelHandler handler;
};

// A panel the plug-in holds: its model, and the record the plug-in calls
// through for each of its controls (records[i] stands for model.controls[i]).
struct HostPanel {
    PanelModel model;
    std::vector<std::unique_ptr<PanelControl>> records;
};

struct HostChecks;

struct PanelHost {
    PanelServices services{};
    DrawingTable drawing{};
    DisplayInfo display{};
    PanelBehaviour behaviour;
    Trace* trace = nullptr;
    HostChecks* checks = nullptr; // the promises checked as the calls come; null: none
    std::vector<std::unique_ptr<HostPanel>> panels; // live panels
    std::string failure;                            // set when a callback caught an exception
    // First line of the first TextControl created: the plug-in's statistics
    // line, kept after the panel is gone.
    std::string statistics;
    // The first panel opened, as the plug-in built it (its proposed values,
    // before the edits), and the edits whose control it lacks.
    std::optional<PanelModel> opened;
    // What that panel's role controls held when it was closed, as edits that
    // give the same answers again.
    std::optional<PanelEdits> answered;
    std::vector<PanelRole> editsWithoutControl;
    std::vector<std::string> warnings; // calls the host could not place
};

// Fills the tables and makes `host` the current panel host (the one that
// getDisplayInfo, which takes no arguments, answers for). `host` must stay
// put while current.
void PanelHostInit(PanelHost& host, const PanelBehaviour& behaviour, Trace* trace);
// Frees every panel and stops being current.
void PanelHostRelease(PanelHost& host);
