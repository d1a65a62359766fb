// The limits the thumbnailer puts on its own process before it reads the
// model: whatever a file holds, and whatever size is asked for, the
// process ends within them. The thumbnail's own bounds (Thumbnail.h) keep
// models well inside. A hostile file whose import would take far more
// memory per byte than models do meets the memory limit: an allocation
// fails, and the import ends with "not enough memory". The time limits
// catch what the bounds would miss (a fault, a file system that does not
// answer): past the processor time the system ends the process (SIGXCPU),
// past the wall time too (SIGALRM). Either way no picture is written and
// the status is not 0.
#pragma once

#include <cstdint>
#include <string>

struct Budget {
    uint64_t addressSpace = 0; // bytes of address space: program, libraries, heap, maps
    unsigned processorSeconds = 0;
    unsigned wallSeconds = 0;
};

// The thumbnailer's budget. The address space holds the program with its
// libraries (the cube's thumbnail fits in 64 MB) and the largest whole
// model's import and picture (kWholeModelBytes: a 64 MB grid at 1024 pixels
// fits in 384 MB), twice over; the processor time is ten times the largest
// whole model's. docs/pictures.md has the figures.
constexpr Budget kThumbnailBudget = {uint64_t{768} << 20, 10, 30};

// Sets the limits on this process (never above limits already in force),
// and no core file. False with the system's reason when one cannot be set.
bool ApplyBudget(const Budget& budget, std::string& error);
