// A picture of an imported object, drawn on the CPU alone: the object framed
// and lit as the web page's 3D view shows it, antialiased, fully transparent
// around it, as RGBA bytes, and those bytes as a PNG file in memory. Every
// front end that shows a model (the command line's png output, the web page,
// a file manager's thumbnailer, a file explorer's thumbnail handler) draws
// through these two calls, so that a model looks the same everywhere.
//
// Input: the arrays an import hands out (the pipeline's outcome with its
// shading, or the engine's accessors of the same names): points in the
// host's space (left-handed, Y up, clockwise front faces), each corner's
// point, polygon after polygon, the host's normal at each corner, the
// triangles as three corner numbers each, and per polygon its surface.
// Polygons of three corners or more are drawn by their triangles; those of
// two are drawn as lines one pixel wide, those of one as dots two pixels
// across, in the surface's colour, unlit.
//
// The same bytes on every system and build: the drawing uses + - * / and
// square roots only (which IEEE rounds exactly), in a fixed order, integer
// edge tests on fixed-point coordinates, and no container whose order could
// differ. The work is linear in the primitives and the pixels, and bounded:
// where a model's primitives would cover the picture many times over, it is
// drawn with fewer samples per pixel, and past a last bound the primitives
// beyond it are left out (a hostile file gets a picture, not a hang).
//
// This folder knows no file, terminal, host record or import: only these
// arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A surface as the picture shows it: its colour bytes (sRGB) times the
// diffuse level, its specular level (1 = 100 %: a glossier highlight), and
// whether its polygons show both sides (otherwise their backs are culled,
// as the glb file and the page's view show them). Transparency is not drawn.
struct PictureSurface {
    uint8_t red = 200, green = 200, blue = 200;
    float diffuse = 1;
    float specular = 0;
    bool doubleSided = false;
};

struct PictureInput {
    const float* points = nullptr; // x y z per point
    size_t pointCount = 0;
    const uint32_t* corners = nullptr; // a point number per corner
    size_t cornerCount = 0;
    const float* cornerNormals = nullptr;      // x y z per corner (any, for lines and dots)
    const uint32_t* polygonSizes = nullptr;    // corners per polygon, adding up to cornerCount
    const uint32_t* polygonSurfaces = nullptr; // per polygon, an index into surfaces
    size_t polygonCount = 0;
    const uint32_t* triangles = nullptr; // three corner numbers per triangle
    size_t triangleCount = 0;
    const PictureSurface* surfaces = nullptr;
    size_t surfaceCount = 0;
};

// How an object is lit and framed. The pictures use these, and so does the
// page's 3D view, which takes them through its binding. A light shines from
// its direction towards the object, whatever the object's place. The camera
// looks from its direction at the centre of the object's bounding sphere.
struct ViewLight {
    double from[3];
    double intensity;
};
struct ViewSetup {
    double ambient;
    ViewLight lights[2]; // the key light, then the fill light
    double cameraFrom[3];
    double fieldOfView; // degrees, top to bottom
};
inline constexpr ViewSetup kViewSetup = {
    0.9, {{{3, 5, 4}, 2.2}, {{-4, -2, -3}, 0.8}}, {0.9, 0.6, 1.2}, 45};

// The sizes a picture may have, in pixels along each side.
constexpr uint32_t kPictureMinSize = 16;
constexpr uint32_t kPictureMaxSize = 2048;
constexpr uint32_t kPictureDefaultSize = 512;

// size x size pixels, row after row from the top, 4 bytes each: red, green,
// blue (sRGB) and alpha (straight, not premultiplied).
struct Picture {
    uint32_t size = 0;
    std::vector<uint8_t> rgba;
};

// Draws `in` into `out`. False with a one-line reason when the size is out
// of range or the arrays do not fit together (a corner naming a point that
// is not there, a triangle a corner, a polygon a surface; sizes that do not
// add up; a point that is not a finite number). Memory running out throws
// std::bad_alloc.
bool RenderPicture(const PictureInput& in, uint32_t size, Picture& out, std::string& error);

// The picture as a PNG file (8-bit RGBA, not interlaced), formed in memory.
// False with a reason when the encoder finds no memory.
bool EncodePng(const Picture& picture, std::string& png, std::string& error);
