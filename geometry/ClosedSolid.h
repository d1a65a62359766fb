// Whether the object is a closed solid, as a slicer will judge it. A printer
// fills what a closed shell encloses. An open shell, faces meeting three at an
// edge, or faces with no area print as nothing or as a mess. So the formats a
// printer takes (STL, 3MF) tell, before the print, what the object holds of
// each. Nothing is repaired here: the faces are counted as they are.
//
// The count is of the object's faces, the polygons of three corners or more.
// An edge joins two corners that follow each other in a face's loop. Points at
// the same place count as one point, since a slicer joins them too.
#pragma once

#include "standin/Received.h"

#include <cstddef>
#include <string>

struct ClosedSolidCheck {
    size_t faces = 0;           // polygons of three corners or more
    size_t openEdges = 0;       // edges of one face only
    size_t overSharedEdges = 0; // edges of more than two faces
    size_t noAreaFaces = 0;     // faces whose loop encloses no area
    size_t lines = 0;           // polygons of two points, which no face holds
    size_t points = 0;          // polygons of one point
};

// Counts the faces, edges, lines and points of `model`. Memory running out
// throws std::bad_alloc.
ClosedSolidCheck CheckClosedSolid(const ReceivedModel& model);

// The check in one line, for every front end: "a closed solid: every edge
// joins two faces", or what is not so and what it means for a print ("12 open
// edges: the shell is not closed; a slicer may fill it or print nothing
// there"), then the lines and points the file leaves out.
std::string ClosedSolidLine(const ClosedSolidCheck& check);
