// The promises the plug-in makes its host, checked call by call. The checks run
// inside the stand-in's own callbacks (ImportHost.cpp, PanelServices.cpp), when
// an activation carries a HostChecks. They cover:
//   - the order of the calls;
//   - the words that must be zero;
//   - the surface names, with the order of their lookups and blocks;
//   - the values inside each block;
//   - a panel that is created once, used only while it lives, and destroyed;
//   - a status that agrees with what happened.
// What the host refuses on its own is not checked again here (Received.h):
// point numbers, surface values, the block's layout, counts and arrays. Nor are
// the panel calls it cannot place (PanelHost::warnings). CheckActivationEnd
// reports them with the rest.
//
// Checking streams. Memory stays constant however many calls arrive, so the
// fuzzers, the replay and the bounds tests check every load. Nothing here uses
// a test framework. A broken promise is kept as text.
#pragma once

#include "host/HostApi.h"
#include "standin/PanelModel.h"
#include "standin/Received.h"

#include <cstdint>
#include <string>
#include <vector>

// The surface value offset (Received.h) of a checked load. Its upper half is
// set, so a plug-in passing more than the low 16 bits is refused.
constexpr int32_t kCheckedSurfaceValueOffset = 0x7ABC0000;

enum class HostPhase : int32_t { Idle, Started, Declared, Points, Surfaces, Polygons, Blocks };

struct HostChecks {
    // Told beforehand: what every surface name starts with. That is the base
    // name the plug-in derives from the record's path. The name it reads back
    // from its panel replaces it.
    std::string baseName;
    // Whether status 2 may be sound: the plug-in opened a file, or memory
    // was made to run out.
    bool openFailureAllowed = false;
    // How the panel services answer (PanelBehaviour; set by Activate).
    bool noServices = false, noPanel = false, cancel = false;

    HostPhase phase = HostPhase::Idle;
    int64_t geometryCalls = 0;
    int32_t globalLookups = 0;
    int32_t lastColour = -1;     // the colour index of the last surface looked up
    int32_t lastStoredValue = 0; // the surface value of the last block stored
    int32_t panelsCreated = 0;
    int32_t panelsDestroyed = 0;
    int32_t panelsOpened = 0;

    int64_t errorCount = 0;
    std::string firstErrors; // the first few, one per line
};

// Counts a broken promise and keeps the first few as text. It never throws,
// since callbacks call it wherever they are.
void CheckFailed(HostChecks& checks, const char* what) noexcept;

// ------------------------------------------------------- import calls ---
// Each is called after the call was received (Received.h), with the model
// that received it.

void CheckStartObject(HostChecks& checks, const void* zero);
void CheckDeclarePointCount(HostChecks& checks, int32_t count);
void CheckAddPoints(HostChecks& checks, const ReceivedModel& model, int32_t count);
// `firstLookup`: whether this lookup gave the name its value.
void CheckLookupSurface(HostChecks& checks, const ReceivedModel& model, const char* name,
                        const void* zero, bool firstLookup);
void CheckAddPolygon(HostChecks& checks, const ReceivedModel& model, const void* zero);
// `surface`: the record the block went to.
void CheckSurfaceData(HostChecks& checks, const ReceivedSurface& surface, int32_t byteCount,
                      const void* block);
void CheckGlobalLookup(HostChecks& checks, const char* name, const void* zero);
// A callback's first argument, against the record's host data.
void CheckHostData(HostChecks& checks, const void* hostData, const void* recordHostData);

// -------------------------------------------------------- panel calls ---

// `self`: the table passed, against the one handed out.
void CheckCreatePanel(HostChecks& checks, const PanelServices* self, const PanelServices* services,
                      bool created);
void CheckDestroyPanel(HostChecks& checks);
void CheckOpenPanel(HostChecks& checks);
void CheckPanelAttribute(HostChecks& checks, int32_t attribute, bool set, const int32_t* value);
void CheckCreateControl(HostChecks& checks, const char* kindName,
                        const ControlDescription* description, const char* label);
// `control`: the model the call went to (null: none).
void CheckGetControlAttribute(HostChecks& checks, const ControlModel* control, int32_t attribute,
                              const ControlValue* value);
void CheckSetControlAttribute(HostChecks& checks, int32_t attribute, const ControlValue* value);
// The text written for the plug-in's name field: its surfaces are named
// after it from now on.
void NoteNameRead(HostChecks& checks, const PanelValue& written);

// ----------------------------------------------------------- the ends ---

// The end of a whole activation: the outcome against what was seen, the
// host's refusals and the panel calls it could not place.
void CheckActivationEnd(HostChecks& checks, const ReceivedModel& model,
                        const std::vector<std::string>& panelWarnings, int32_t version,
                        int32_t result, bool statusWritten, int32_t status);
// The end of the panel shown alone: gone again, opened once if created.
void CheckPanelEnd(HostChecks& checks, const std::vector<std::string>& panelWarnings);
