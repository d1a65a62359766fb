// A picture of an imported object, drawn on the CPU alone. The object is framed
// and lit as the web page's 3D view shows it, and antialiased. The picture is
// fully transparent around it. It comes as RGBA bytes, and those bytes as a PNG
// file in memory.
// Every front end that shows a model draws through these two calls, so a model
// looks the same everywhere. These are the command line's png output, the web
// page, a file manager's thumbnailer and a file explorer's thumbnail handler.
//
// The input is the arrays an import hands out. They come from the pipeline's
// outcome with its shading, or from the engine's accessors of the same names.
// The points are in the host's space: left-handed, Y up, with clockwise front
// faces. Then come each corner's point, polygon after polygon, and the host's
// normal at each corner. The triangles are three corner numbers each. Each
// polygon names its surface.
// Polygons of three corners or more are drawn by their triangles. Those of two
// are drawn as lines one pixel wide, and those of one as dots two pixels
// across. Lines and dots take the surface's colour, unlit.
//
// Every system and build gets the same bytes. The drawing uses only + - * / and
// square roots, which IEEE rounds exactly. It uses them in a fixed order. Edge
// tests are done in integers, on fixed-point coordinates. No container is used
// whose order could differ.
// The work is linear in the primitives and the pixels, and it is bounded. Where
// a model's primitives would cover the picture many times over, it is drawn
// with fewer samples per pixel. Past a last bound, the primitives beyond it are
// left out. So a hostile file gets a picture, not a hang.
//
// This folder knows no file, terminal, host record or import. It knows only
// these arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A surface as the picture shows it. Its colour bytes (sRGB) are multiplied by
// the diffuse level. A higher specular level gives a glossier highlight, and 1
// means 100 %. `doubleSided` says whether its polygons show both sides.
// Otherwise their backs are culled, as the glb file and the page's view show
// them. Transparency is not drawn.
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

// size x size pixels, row after row from the top. Each pixel is 4 bytes: red,
// green, blue (sRGB) and alpha. Alpha is straight, not premultiplied.
struct Picture {
    uint32_t size = 0;
    std::vector<uint8_t> rgba;
};

// Draws `in` into `out`. Returns false with a one-line reason when the size is
// out of range or the arrays do not fit together. They do not fit when a corner
// names a point that is not there, a triangle a corner, or a polygon a surface.
// Sizes that do not add up do not fit, nor does a point that is not a finite
// number. Memory running out throws std::bad_alloc.
bool RenderPicture(const PictureInput& in, uint32_t size, Picture& out, std::string& error);

// Whether anything of the object shows: a pixel that is not fully
// transparent. A picture with nothing drawn in it is no picture of the
// object, and no front end keeps one.
bool PictureShowsSomething(const Picture& picture);

// The picture as a PNG file (8-bit RGBA, not interlaced), formed in memory.
// False with a reason when the encoder finds no memory.
bool EncodePng(const Picture& picture, std::string& png, std::string& error);
