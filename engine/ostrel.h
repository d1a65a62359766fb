/* The Ostrel engine for programs that run it in their own process (the
 * Python package through ctypes, and through it the Blender add-on, or any
 * C caller): one import of a model file through the plug-in's descriptor
 * and the stand-in host, exactly as the command `ostrel` and the web page
 * run it, with its outcome, the object the host received as flat arrays,
 * the host's shading and any output file.
 *
 *     ostrel_request* request = ostrel_request_new();
 *     ostrel_request_edit_number(request, OSTREL_EDIT_SCALE, 1.0);
 *     ostrel_request_set(request, OSTREL_SHADING, 1);
 *     ostrel_import* done = ostrel_import_run(request, "cube.rk4", bytes, size);
 *     if (done == NULL) ... not even memory for the outcome
 *     else if (ostrel_result(done) != OSTREL_LOADED) puts(ostrel_reason(done));
 *     else ... ostrel_points(done), ostrel_polygon_sizes(done), ...
 *     ostrel_import_free(done);
 *     ostrel_request_free(request);
 *
 * Plain C: opaque handles, plain numbers, pointers into the handle's own
 * memory (valid until it is freed). Nothing is kept between calls (the
 * plug-in is started and shut down by each import), no call throws or
 * aborts, and running out of memory is an outcome like any other. A handle
 * may be used from one thread at a time; different handles from any.
 *
 * Text is UTF-8 (names the plug-in made in a code page are decoded from
 * the request's code page), NUL-terminated; byte strings come with their
 * size. Coordinates and normals are in the host's space: left-handed, Y up
 * (or, with OSTREL_RIGHT_HANDED, in the converter's files' right-handed one).
 */
#ifndef OSTREL_H
#define OSTREL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(OSTREL_ENGINE_BUILD)
#define OSTREL_API __declspec(dllexport)
#else
#define OSTREL_API
#endif
#else
#define OSTREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Raised when a call changes meaning or a record changes layout; new calls
 * alone do not raise it. A caller checks ostrel_api_version() == the
 * version it was written for. */
#define OSTREL_API_VERSION 1
OSTREL_API uint32_t ostrel_api_version(void);
/* The engine's release, "1.4". */
OSTREL_API const char* ostrel_engine_version(void);

/* ---- The request: the user's choices ------------------------------------ */

typedef struct ostrel_request ostrel_request;

/* NULL when memory runs out. */
OSTREL_API ostrel_request* ostrel_request_new(void);
OSTREL_API void ostrel_request_free(ostrel_request* request);

/* The panel's controls; an edit not given keeps what the plug-in proposes. */
enum {
    OSTREL_EDIT_LOAD = 0,        /* 0 lines only, 1 faces only, 2 both */
    OSTREL_EDIT_COLOURS = 1,     /* 0 bright, 1 middle, 2 dark */
    OSTREL_EDIT_SCALE = 2,       /* a number */
    OSTREL_EDIT_NAME = 3,        /* text: the surfaces' base name */
    OSTREL_EDIT_SMOOTH = 4,      /* 1 on, 0 off */
    OSTREL_EDIT_ANGLE = 5,       /* degrees */
    OSTREL_EDIT_DOUBLE_SIDED = 6 /* 1 on, 0 off */
};
/* The items of the two choices, as OSTREL_EDIT_LOAD and _COLOURS take them. */
enum { OSTREL_LOAD_LINES = 0, OSTREL_LOAD_FACES = 1, OSTREL_LOAD_BOTH = 2 };
enum { OSTREL_COLOURS_BRIGHT = 0, OSTREL_COLOURS_MIDDLE = 1, OSTREL_COLOURS_DARK = 2 };
/* Each returns 1, or 0 when the value is not one the control takes, and
 * then ostrel_request_refusal says why. The same rules hold for every front
 * end: the scale finite and above 0; the angle finite, 0 to 180 degrees; the
 * name at most 255 bytes; a choice's item 0 to 2; a switch 1 or 0.
 * _number: a choice by its item number, a switch by 1 or 0 (the name takes
 * none). _text: the user's text as typed, read as the command line reads its
 * options ("lines", "dark", "on", "1.5"; a decimal comma is explained); the
 * name as its bytes. */
OSTREL_API int ostrel_request_edit_number(ostrel_request* request, int edit, double value);
OSTREL_API int ostrel_request_edit_text(ostrel_request* request, int edit, const char* bytes,
                                        size_t size);
/* Why the last edit given was refused, one line naming the edit (load,
 * colours, scale, base_name, smooth, angle, double_sided): "scale: bad value
 * '0' (expected a number above 0: ...)";
 * "" when it was taken. Valid until the next edit or the request is freed. */
OSTREL_API const char* ostrel_request_refusal(const ostrel_request* request);
/* What an edit takes as a number, in words ("0 (bright), 1 (middle) or 2
 * (dark)"); "" for an edit that is none. */
OSTREL_API const char* ostrel_edit_takes(int edit);

enum {
    OSTREL_CANCEL = 0,        /* the panel is cancelled: the plug-in's proposals only */
    OSTREL_READ_WARNINGS = 1, /* what the reader left out, as warnings (default on) */
    OSTREL_KEEP_OBJECT = 2,   /* points, polygons and surfaces kept (default on) */
    OSTREL_SHADING = 3,       /* the host's corner normals and triangles worked out */
    OSTREL_CODE_PAGE = 4,     /* names that are not UTF-8: this code page (default 932) */
    OSTREL_PICTURE_SIZE = 5,  /* "png": pixels along each side, 16 to 2048 (default 512) */
    OSTREL_RIGHT_HANDED = 6,  /* the arrays right-handed, fronts counter-clockwise (below) */
    OSTREL_EDGE_MESH = 7,     /* the object also as faces and edges (below) */
    OSTREL_SALVAGE = 8        /* a damaged model file imported as far as it was read */
};
/* Returns 1, or 0 for a setting it does not know. */
OSTREL_API int ostrel_request_set(ostrel_request* request, int setting, int64_t value);
/* The code page this system's names are in, for OSTREL_CODE_PAGE: the ANSI
 * code page on Windows; elsewhere 932, since there a name that is not UTF-8
 * can only have come from a Japanese system. */
OSTREL_API unsigned ostrel_system_code_page(void);
/* An output file: "lwo", "obj", "glb", "gltf", "fbx", "png" (a picture of
 * the object, as the web page's view shows it), "stl", "ply", "3mf" (for
 * printing: Z up, millimetres); NULL or "": none.
 * Returns 0 for a format this build cannot write. */
OSTREL_API int ostrel_request_format(ostrel_request* request, const char* format);
/* The formats ostrel_request_format takes, for a caller's message: "lwo, obj
 * or glb" (a format this build has no writer for fails the import with
 * OSTREL_NOT_CONVERTED, saying how to get it). */
OSTREL_API const char* ostrel_format_names(void);

/* A model file with nothing in it (the magic alone), NUL-terminated: an
 * import of it (with OSTREL_CANCEL) shows the plug-in's panel and its
 * proposals before the caller has a file of its own. */
OSTREL_API const char* ostrel_empty_model(void);

/* ---- One import --------------------------------------------------------- */

typedef struct ostrel_import ostrel_import;

/* Imports the model `name` (UTF-8 on Windows, the system's bytes
 * elsewhere): its `size` bytes at `bytes`, or, with `bytes` NULL, the file
 * at the path `name`, which the plug-in opens itself. The base name of
 * `name` makes the surface names and the output's name. NULL only when not
 * even the outcome finds memory; `request` NULL takes the defaults. */
OSTREL_API ostrel_import* ostrel_import_run(const ostrel_request* request, const char* name,
                                            const void* bytes, size_t size);
OSTREL_API void ostrel_import_free(ostrel_import* import);

/* How it ended, in the order a front end reports them. */
enum {
    OSTREL_LOADED = 0,
    OSTREL_NOT_MODEL_FILE = 1,
    OSTREL_CANNOT_READ = 2,
    OSTREL_CANCELLED = 3,
    OSTREL_REFUSED = 4,      /* the plug-in refused, or a host call failed */
    OSTREL_HOST_REFUSED = 5, /* the host refused a call the plug-in made */
    OSTREL_NOT_CONVERTED = 6,
    OSTREL_OUT_OF_MEMORY = 7,
    OSTREL_BAD_REQUEST = 8, /* no name, or an edit the engine cannot give */
    /* The model held nothing that reached the host (the magic alone): no
     * point, so no polygon; the reason says "nothing to import (0 points, 0
     * polygons received)", the command line's exit status 8. */
    OSTREL_NOTHING_TO_IMPORT = 9,
    /* The model file is damaged: the reader lost its structure (cut short, a
     * keyword misspelt, numbers it cannot read). The reason says where and
     * why: "damaged: the file ends at line 5,862, inside the line section:
     * the download or copy was cut short". Nothing is kept unless the request
     * has OSTREL_SALVAGE: then the import loads what was read, and
     * ostrel_damage says why it is damaged. The command line's exit status 9. */
    OSTREL_DAMAGED = 10
};
OSTREL_API int ostrel_result(const ostrel_import* import);
/* One line saying why, when not loaded, as the command line says it after
 * "ostrel: NAME: "; "" when loaded. */
OSTREL_API const char* ostrel_reason(const ostrel_import* import);
/* The plug-in's statistics line; "" when it showed none. */
OSTREL_API const char* ostrel_statistics(const ostrel_import* import);
/* Why the model file is damaged, in one line ("the keyword \"LINE0 \" at line
 * 12,803 has a trailing blank: remove it"); "" when it is sound or was not
 * loaded. With OSTREL_SALVAGE a damaged file loads, and this says so. */
OSTREL_API const char* ostrel_damage(const ostrel_import* import);

enum {
    OSTREL_COUNT_POINTS = 0,
    OSTREL_COUNT_POLYGONS = 1, /* polygons with points */
    OSTREL_COUNT_DROPPED = 2,  /* polygons without */
    OSTREL_COUNT_SURFACES = 3  /* surfaces looked up */
};
/* As the command line's status line counts them (kept or not). */
OSTREL_API size_t ostrel_count(const ostrel_import* import, int what);

/* The warnings, as the command line prints them after "ostrel: warning: ":
 * what the host noticed of the panel and of the object (a polygon that runs
 * through a point more than once, ...), then what the reader left out. */
OSTREL_API size_t ostrel_warning_count(const ostrel_import* import);
OSTREL_API const char* ostrel_warning(const ostrel_import* import, size_t i);

/* What the plug-in's panel proposed for a control (before the edits):
 * 1 with the number (choices and switches as numbers) or the text set,
 * 0 when the panel has no such control or the plug-in opened no panel. */
OSTREL_API int ostrel_proposal(const ostrel_import* import, int edit, double* number,
                               const char** text);

/* The panel the plug-in built, control by control in its order, for a front
 * end that presents it (with no rule of its own): what each control is,
 * which edit it answers, its label, items and what the plug-in proposed. */
enum {
    OSTREL_CONTROL_TEXT = 0,   /* lines of text: the statistics, a note */
    OSTREL_CONTROL_CHOICE = 1, /* one of its items */
    OSTREL_CONTROL_NUMBER = 2,
    OSTREL_CONTROL_EDIT = 3,   /* a line of text to type */
    OSTREL_CONTROL_SWITCH = 4, /* on or off */
    OSTREL_CONTROL_OTHER = 5
};
typedef struct ostrel_control {
    int edit;               /* the OSTREL_EDIT_* it answers; -1: none (a note) */
    int kind;               /* OSTREL_CONTROL_* */
    const char* label;      /* UTF-8; "" none */
    const char* labelBytes; /* as the plug-in made it (its code page: Shift-JIS) */
    size_t labelSize;
    const char* english;      /* the label's meaning in English where it is not English; "" */
    size_t lineCount;         /* a choice's items, a text's lines: ostrel_control_line */
    double proposed;          /* a choice's item, a switch's 1 or 0, a number */
    const char* proposedText; /* an edit's text (UTF-8); "" for the others */
} ostrel_control;
/* 0 when the plug-in opened no panel. */
OSTREL_API size_t ostrel_control_count(const ostrel_import* import);
/* 1 with `out` filled, 0 for an index out of range. */
OSTREL_API int ostrel_control_at(const ostrel_import* import, size_t i, ostrel_control* out);
/* Line `line` of control `i` (UTF-8), with `english` 0, or its meaning in
 * English with `english` 1 ("" where none is known); "" out of range. */
OSTREL_API const char* ostrel_control_line(const ostrel_import* import, size_t i, size_t line,
                                           int english);

/* ---- The object the host received (with OSTREL_KEEP_OBJECT) ------------- */

/* x y z per point, as received. */
OSTREL_API size_t ostrel_point_count(const ostrel_import* import);
OSTREL_API const float* ostrel_points(const ostrel_import* import);
/* Every polygon in the order received (also those of 0, 1 and 2 points:
 * lines are polygons of two): its number of points, its surface (an index
 * into the surfaces below), and all their points, polygon after polygon:
 * the corners. */
OSTREL_API size_t ostrel_polygon_count(const ostrel_import* import);
OSTREL_API const uint32_t* ostrel_polygon_sizes(const ostrel_import* import);
OSTREL_API const uint32_t* ostrel_polygon_surfaces(const ostrel_import* import);
OSTREL_API size_t ostrel_corner_count(const ostrel_import* import);
OSTREL_API const uint32_t* ostrel_corners(const ostrel_import* import);

/* The surfaces looked up, in the order of the values handed out, with the
 * attributes of the last block stored under each name. */
typedef struct ostrel_surface {
    const char* name;      /* UTF-8 */
    const char* nameBytes; /* as received */
    size_t nameSize;
    int hasBlock;             /* 0: none came; then grey 200, flat, single-sided */
    uint8_t red, green, blue; /* 0..255 */
    int smooth;
    int doubleSided;
    float smoothingAngle; /* radians, as the block holds it */
    float diffuse;        /* 1 = 100 % */
    float transparency;
    float specular;
    float glossiness;
} ostrel_surface;
OSTREL_API size_t ostrel_surface_count(const ostrel_import* import);
/* 1 with `out` filled, 0 for an index out of range. */
OSTREL_API int ostrel_surface_at(const ostrel_import* import, size_t i, ostrel_surface* out);

/* ---- The host's shading (with OSTREL_SHADING) --------------------------- */

/* x y z per corner (zero for polygons of fewer than three points). */
OSTREL_API const float* ostrel_corner_normals(const ostrel_import* import);
/* Three corner numbers per triangle, the host's turning sense. */
OSTREL_API size_t ostrel_triangle_count(const ostrel_import* import);
OSTREL_API const uint32_t* ostrel_triangles(const ostrel_import* import);

/* ---- Materials ---------------------------------------------------------- */

/* Each surface's material, the one rule every front end shows it by (the
 * glb, the page's view, the FBX and OBJ files), in the metallic-roughness
 * terms glTF and Blender share; each value in 0..1. */
typedef struct ostrel_material {
    float red, green, blue; /* base colour, linear light: the block's colour times its diffuse */
    float alpha;            /* 1 - transparency */
    float roughness;        /* 1 - the specular level */
    float specular;         /* the specular level, for shaders that take it */
    float metallic;
    int doubleSided;
    int blend; /* alpha below 1 */
} ostrel_material;
/* 1 with `out` filled for surface i, 0 for an index out of range. */
OSTREL_API int ostrel_material_at(const ostrel_import* import, size_t i, ostrel_material* out);

/* ---- Handedness (with OSTREL_RIGHT_HANDED) ------------------------------- */

/* The points, corners, corner normals, triangles and the edge mesh in the
 * convention of the converter's OBJ and glb files instead of the host's:
 * right-handed (Z negated), front faces counter-clockwise (each loop of
 * three points or more reversed from its first corner: p0, pn-1, ..., p1),
 * so that the same physical object keeps every front where the host showed
 * it. */

/* ---- The object as faces and edges (with OSTREL_EDGE_MESH) -------------- */

/* What a mesh of faces and edges (Blender's) is filled from, array by
 * array: the polygons of three points or more as faces (one that runs
 * through a point more than once as the simple loops it is made of, each
 * once), each face's corners naming their point and the edge to the face's
 * next corner, every edge once (the lines first, then the faces' edges),
 * and the host's shading as flags. */
enum {
    OSTREL_MESH_FACE_STARTS = 0,    /* int32_t x 1 per face: its first corner */
    OSTREL_MESH_FACE_SIZES = 1,     /* int32_t x 1 per face: its corners */
    OSTREL_MESH_FACE_SURFACES = 2,  /* int32_t x 1 per face: its surface */
    OSTREL_MESH_FACE_POLYGONS = 3,  /* int32_t x 1 per face: the polygon it comes from */
    OSTREL_MESH_FACE_FLAT = 4,      /* uint8_t x 1 per face: 1 where the host shades it flat */
    OSTREL_MESH_CORNER_POINTS = 5,  /* int32_t x 1 per corner: its point */
    OSTREL_MESH_CORNER_EDGES = 6,   /* int32_t x 1 per corner: the edge to the next corner */
    OSTREL_MESH_CORNER_NORMALS = 7, /* float x 3 per corner: the host's normal */
    OSTREL_MESH_EDGE_POINTS = 8,    /* int32_t x 2 per edge: its two points */
    OSTREL_MESH_EDGE_SHARP = 9      /* uint8_t x 1 per edge: 1 where the shading breaks */
};
/* The array, with the number of its faces, corners or edges in `count`;
 * NULL (and 0) for none or for a number that names none. A face is flat
 * where its surface has no smoothing or the host gives all its corners one
 * normal; an edge is sharp where faces of two surfaces meet, or faces of one
 * whose normals lie beyond its smoothing angle. */
OSTREL_API const void* ostrel_mesh_array(const ostrel_import* import, int array, size_t* count);
enum {
    OSTREL_MESH_SPLIT_POLYGONS = 0, /* polygons through a point more than once, cut */
    OSTREL_MESH_SPLIT_FACES = 1     /* the faces they became */
};
OSTREL_API size_t ostrel_mesh_count(const ostrel_import* import, int what);
/* For a mesh-wide smoothing angle: the angle in radians, 0..pi, within
 * which the first face shaded smooth smooths, as the host compares it (by
 * its cosine: a block's 270 degrees acts as 90); -1 when every face is flat
 * or there is no edge mesh. */
OSTREL_API double ostrel_mesh_smoothing_angle(const ostrel_import* import);

/* ---- The output (with a format) ----------------------------------------- */

OSTREL_API size_t ostrel_file_count(const ostrel_import* import);
/* With "stl" or "3mf", once the file is formed: whether the object is a
 * closed solid, in one line, as the command line prints it after "NAME: ":
 * "a closed solid: every edge joins two faces", or "not a closed solid: 12
 * open edges (the shell is not closed: ...)", then the faces with no area
 * and the lines and points the file leaves out. "" for the other formats. */
OSTREL_API const char* ostrel_solid_line(const ostrel_import* import);
OSTREL_API const char* ostrel_file_name(const ostrel_import* import, size_t i);
OSTREL_API const void* ostrel_file_bytes(const ostrel_import* import, size_t i, size_t* size);

#ifdef __cplusplus
}
#endif

#endif
