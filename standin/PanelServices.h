// The host side of the panel services ("LWPanelServices"). These are the
// function tables the plug-in calls to create panels and controls, to read and
// set their attributes, and to open and destroy panels. They also give the
// display information. Every call goes into the trace.
// The panels are PanelModel records. Opening one applies the user's edits
// (PanelRules.h). Then the panel goes to the front end's handler, if one is
// installed. The handler shows the panel and answers.
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

// Whoever shows the panel when the plug-in opens it, such as the terminal or a
// web page. It is called with the panel as the plug-in built it, with the edits
// applied. It may change the controls' values. It returns 1 to confirm and 0 to
// cancel. `proposed` is the host's answer without a handler, which is 0 when
// told to cancel.
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

// A panel the plug-in holds: its model, and for each of its controls the record
// the plug-in calls through. records[i] stands for model.controls[i].
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
    // The first panel opened, as the plug-in built it, with its proposed values
    // from before the edits. `editsWithoutControl` holds the edits whose
    // control it lacks.
    std::optional<PanelModel> opened;
    // What that panel's role controls held when it was closed, as edits that
    // give the same answers again.
    std::optional<PanelEdits> answered;
    std::vector<PanelRole> editsWithoutControl;
    std::vector<std::string> warnings; // calls the host could not place
};

// Fills the tables and makes `host` the current panel host. getDisplayInfo
// takes no arguments, so it answers for the current host. `host` must stay put
// while current.
void PanelHostInit(PanelHost& host, const PanelBehaviour& behaviour, Trace* trace);
// Frees every panel and stops being current.
void PanelHostRelease(PanelHost& host);
