/* The engine's C interface as a C program uses it, linked with the shared
 * library:   engine_c_test EXAMPLES_DIR TEST_DATA_DIR FUZZ_DIR
 * Prints one line per failed check; exit status 1 when any failed. */
#include "engine/ostrel.h"

#include <dirent.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond, ...)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            ++failures;                                                                            \
            printf("FAILED (line %d): ", __LINE__);                                                \
            printf(__VA_ARGS__);                                                                   \
            printf("\n");                                                                          \
        }                                                                                          \
    } while (0)

static char* ReadFile(const char* path, size_t* size) {
    FILE* f = fopen(path, "rb");
    if (f == NULL)
        return NULL;
    fseek(f, 0, SEEK_END);
    long end = ftell(f);
    rewind(f);
    char* bytes = malloc(end > 0 ? (size_t)end : 1);
    *size = fread(bytes, 1, end > 0 ? (size_t)end : 0, f);
    fclose(f);
    return bytes;
}

/* The cube's mesh: its corner normals, and quads on its 3 surfaces naming its
 * 8 points. */
static void CheckCubeMesh(const ostrel_import* byPath) {
    /* A cube's faces meet at 90 degrees, beyond 44.5: every corner normal is
     * its face's, a unit axis. */
    const float* normals = ostrel_corner_normals(byPath);
    int axes = normals != NULL;
    for (size_t i = 0; normals != NULL && i < ostrel_corner_count(byPath); ++i) {
        const float* n = normals + 3 * i;
        const float big = fmaxf(fabsf(n[0]), fmaxf(fabsf(n[1]), fabsf(n[2])));
        axes = axes && big == 1.0f && fabsf(n[0]) + fabsf(n[1]) + fabsf(n[2]) == 1.0f;
    }
    CHECK(axes, "the cube's corner normals are the faces' axes");
    const uint32_t* sizes = ostrel_polygon_sizes(byPath);
    const uint32_t* surfaces = ostrel_polygon_surfaces(byPath);
    const uint32_t* corners = ostrel_corners(byPath);
    int fine = 1;
    for (size_t p = 0; p < 6; ++p)
        fine = fine && sizes[p] == 4 && surfaces[p] < 3;
    for (size_t c = 0; c < 24; ++c)
        fine = fine && corners[c] < 8;
    CHECK(fine, "the cube's polygons are quads on its surfaces, naming its points");
}

/* The cube's first surface, and what it proposes for the panel. */
static void CheckCubeSurfaces(const ostrel_import* byPath) {
    ostrel_surface s;
    CHECK(ostrel_surface_count(byPath) == 3 && ostrel_surface_at(byPath, 0, &s) == 1 &&
              strcmp(s.name, "cube0") == 0 && s.hasBlock && s.smooth && !s.doubleSided &&
              fabsf(s.smoothingAngle - 0.7766715f) < 1e-6f && s.specular == 47.0f / 256.0f,
          "the first surface: %s", s.name);
    CHECK(ostrel_surface_at(byPath, 3, &s) == 0, "no fourth surface");

    double number = 0;
    const char* text = NULL;
    CHECK(ostrel_proposal(byPath, OSTREL_EDIT_SCALE, &number, NULL) == 1 && number == 8,
          "scale proposed %g", number);
    CHECK(ostrel_proposal(byPath, OSTREL_EDIT_NAME, NULL, &text) == 1 && strcmp(text, "cube") == 0,
          "name proposed %s", text);
}

/* The cube by its bytes: the object it is by its path; with the scale edited,
 * the points scaled by the plug-in. */
static void TestCubeByBytes(ostrel_request* request, const char* path,
                            const ostrel_import* byPath) {
    size_t size = 0;
    char* bytes = ReadFile(path, &size);
    ostrel_import* byBytes = ostrel_import_run(request, "cube.rk4", bytes, size);
    CHECK(ostrel_result(byBytes) == OSTREL_LOADED &&
              memcmp(ostrel_points(byBytes), ostrel_points(byPath), 24 * sizeof(float)) == 0 &&
              memcmp(ostrel_corners(byBytes), ostrel_corners(byPath), 24 * sizeof(uint32_t)) == 0,
          "the cube by its bytes differs from the cube by its path");

    /* The scale is applied by the plug-in: 1 against the proposed 8. */
    CHECK(ostrel_request_edit_number(request, OSTREL_EDIT_SCALE, 1.0) == 1, "scale edit");
    ostrel_import* scaled = ostrel_import_run(request, "cube.rk4", bytes, size);
    int eighth = ostrel_result(scaled) == OSTREL_LOADED;
    for (size_t i = 0; eighth && i < 24; ++i)
        eighth = ostrel_points(scaled)[i] * 8 == ostrel_points(byBytes)[i];
    CHECK(eighth, "scale 1 gives an eighth of scale 8");

    ostrel_import_free(byBytes);
    ostrel_import_free(scaled);
    free(bytes);
}

/* The cube as OBJ files, and an import cancelled on the panel. */
static void TestCubeFilesAndCancel(ostrel_request* request, const char* path) {
    size_t size = 0;
    char* bytes = ReadFile(path, &size);
    double number = 0;
    CHECK(ostrel_request_format(request, "obj") == 1, "obj format");
    ostrel_import* obj = ostrel_import_run(request, "cube.rk4", bytes, size);
    size_t objSize = 0;
    const char* objBytes = ostrel_file_bytes(obj, 1, &objSize);
    CHECK(ostrel_file_count(obj) == 2 && strcmp(ostrel_file_name(obj, 1), "cube.obj") == 0 &&
              strcmp(ostrel_file_name(obj, 0), "cube.mtl") == 0 && objSize > 0 &&
              strncmp(objBytes, "#", 1) == 0,
          "the OBJ and its material library: %zu files, %s", ostrel_file_count(obj),
          ostrel_file_name(obj, 0));
    CHECK(ostrel_file_bytes(obj, 2, &objSize) == NULL && objSize == 0, "no third file");

    CHECK(ostrel_request_set(request, OSTREL_CANCEL, 1) == 1, "cancel");
    ostrel_import* cancelled = ostrel_import_run(request, "cube.rk4", bytes, size);
    CHECK(ostrel_result(cancelled) == OSTREL_CANCELLED && ostrel_point_count(cancelled) == 0 &&
              ostrel_proposal(cancelled, OSTREL_EDIT_ANGLE, &number, NULL) == 1 && number == 44.5,
          "cancelled: %s, angle proposed %g", ostrel_reason(cancelled), number);

    ostrel_import_free(obj);
    ostrel_import_free(cancelled);
    free(bytes);
}

/* The cube right-handed, as faces and edges: each loop reversed from its
 * first corner, each face corner naming the edge to the next, all edges
 * sharp (the faces meet at 90 degrees, beyond 44.5); and the materials. */
static void TestCubeFacesAndEdges(const char* path, const ostrel_import* host) {
    ostrel_request* request = ostrel_request_new();
    CHECK(ostrel_request_set(request, OSTREL_RIGHT_HANDED, 1) == 1 &&
              ostrel_request_set(request, OSTREL_EDGE_MESH, 1) == 1,
          "right-handed and edge mesh settings");
    ostrel_import* done = ostrel_import_run(request, path, NULL, 0);
    const uint32_t* corners = ostrel_corners(done);
    const uint32_t* hostCorners = ostrel_corners(host);
    int reversed = ostrel_result(done) == OSTREL_LOADED;
    for (size_t c = 0; reversed && c < 24; ++c)
        reversed = corners[c] == hostCorners[c % 4 == 0 ? c : c - c % 4 + 4 - c % 4] &&
                   ostrel_points(done)[c] == (c % 3 == 2 ? -1 : 1) * ostrel_points(host)[c];
    CHECK(reversed, "right-handed: Z negated, each loop reversed from its first corner");

    size_t faces = 0, loops = 0, edges = 0, sharp = 0;
    const int32_t* starts = ostrel_mesh_array(done, OSTREL_MESH_FACE_STARTS, &faces);
    const int32_t* points = ostrel_mesh_array(done, OSTREL_MESH_CORNER_POINTS, &loops);
    const int32_t* loopEdges = ostrel_mesh_array(done, OSTREL_MESH_CORNER_EDGES, NULL);
    const int32_t* ends = ostrel_mesh_array(done, OSTREL_MESH_EDGE_POINTS, &edges);
    const uint8_t* sharpness = ostrel_mesh_array(done, OSTREL_MESH_EDGE_SHARP, &sharp);
    int joined = faces == 6 && loops == 24 && edges == 12 && sharp == 12;
    for (size_t c = 0; joined && c < 24; ++c) {
        const int32_t a = points[c], b = points[c % 4 == 3 ? c - 3 : c + 1];
        const int32_t* e = ends + 2 * loopEdges[c];
        joined = starts[c / 4] == (int32_t)(c - c % 4) && points[c] == (int32_t)corners[c] &&
                 ((e[0] == a && e[1] == b) || (e[0] == b && e[1] == a));
    }
    for (size_t e = 0; joined && e < edges; ++e)
        joined = sharpness[e] == 1;
    CHECK(joined, "the cube's %zu faces, %zu loops, %zu edges", faces, loops, edges);
    CHECK(ostrel_mesh_array(done, 99, &edges) == NULL && edges == 0 &&
              ostrel_mesh_smoothing_angle(done) == -1 &&
              ostrel_mesh_count(done, OSTREL_MESH_SPLIT_POLYGONS) == 0,
          "no such array; every face flat; nothing split");

    ostrel_material m;
    CHECK(ostrel_material_at(done, 0, &m) == 1 && m.specular == 47.0f / 256.0f &&
              m.roughness == 1.0f - m.specular && m.alpha == 1 && m.metallic == 0 &&
              !m.doubleSided && !m.blend && m.red > 0 && m.red <= 1,
          "the first surface's material");
    CHECK(ostrel_material_at(done, 3, &m) == 0, "no fourth material");
    ostrel_import_free(done);
    ostrel_request_free(request);
}

/* The cube: 8 points, 6 quads on 3 surfaces, smooth at 44.5 degrees; by its
 * path (the plug-in opens it) and by its bytes the same object. */
static void TestCube(const char* examples) {
    char path[4096];
    snprintf(path, sizeof path, "%s/cube.rk4", examples);
    ostrel_request* request = ostrel_request_new();
    CHECK(ostrel_request_set(request, OSTREL_SHADING, 1) == 1, "shading setting");
    ostrel_import* byPath = ostrel_import_run(request, path, NULL, 0);
    CHECK(ostrel_result(byPath) == OSTREL_LOADED, "cube: %s", ostrel_reason(byPath));
    CHECK(strcmp(ostrel_reason(byPath), "") == 0, "no reason when loaded");
    CHECK(strcmp(ostrel_statistics(byPath), "8 pts / 0/0 lines / 6 faces") == 0, "statistics '%s'",
          ostrel_statistics(byPath));
    CHECK(ostrel_point_count(byPath) == 8 && ostrel_polygon_count(byPath) == 6 &&
              ostrel_corner_count(byPath) == 24 && ostrel_count(byPath, OSTREL_COUNT_POINTS) == 8 &&
              ostrel_count(byPath, OSTREL_COUNT_SURFACES) == 3,
          "cube counts %zu points %zu polygons", ostrel_point_count(byPath),
          ostrel_polygon_count(byPath));
    CHECK(ostrel_triangle_count(byPath) == 12, "%zu triangles", ostrel_triangle_count(byPath));
    CheckCubeMesh(byPath);
    CheckCubeSurfaces(byPath);
    TestCubeByBytes(request, path, byPath);
    TestCubeFilesAndCancel(request, path);
    TestCubeFacesAndEdges(path, byPath);
    ostrel_import_free(byPath);
    ostrel_request_free(request);
}

/* What the request refuses, and imports that fail in the converter's words. */
static void TestRefusals(const char* data) {
    ostrel_request* request = ostrel_request_new();
    CHECK(ostrel_request_edit_number(request, OSTREL_EDIT_LOAD, 3) == 0 &&
              ostrel_request_edit_number(request, OSTREL_EDIT_SMOOTH, 0.5) == 0 &&
              ostrel_request_edit_number(request, OSTREL_EDIT_ANGLE, NAN) == 0 &&
              ostrel_request_edit_number(request, OSTREL_EDIT_NAME, 1) == 0 &&
              ostrel_request_edit_text(request, OSTREL_EDIT_SCALE, "x", 1) == 0 &&
              ostrel_request_set(request, 99, 1) == 0 &&
              ostrel_request_set(request, OSTREL_PICTURE_SIZE, 8) == 0 &&
              ostrel_request_format(request, "dae") == 0,
          "edits and settings out of range are refused");
    CHECK(ostrel_api_version() == OSTREL_API_VERSION && strcmp(ostrel_engine_version(), "") != 0,
          "versions");

    ostrel_import* none = ostrel_import_run(request, NULL, NULL, 0);
    CHECK(ostrel_result(none) == OSTREL_BAD_REQUEST, "no name: %d", ostrel_result(none));
    ostrel_import_free(none);

    char path[4096];
    snprintf(path, sizeof path, "%s/not_model.txt", data);
    ostrel_import* text = ostrel_import_run(request, path, NULL, 0);
    CHECK(ostrel_result(text) == OSTREL_NOT_MODEL_FILE &&
              strncmp(ostrel_reason(text), "not a model file", 16) == 0,
          "not a model: %s", ostrel_reason(text));
    ostrel_import_free(text);

    snprintf(path, sizeof path, "%s/no such file.rk4", data);
    ostrel_import* missing = ostrel_import_run(request, path, NULL, 0);
    CHECK(ostrel_result(missing) == OSTREL_CANNOT_READ &&
              strncmp(ostrel_reason(missing), "cannot open or read", 19) == 0,
          "missing: %s", ostrel_reason(missing));
    ostrel_import_free(missing);

    /* A line the reader leaves out is a warning with its line number. */
    const char model[] = "ROKU4\nPOINT\n0\n0\n0\n0\n0\n1\nx\n3\nLINE0\nFACE0\nEND00\n";
    ostrel_import* warned = ostrel_import_run(request, "warned.rk4", model, sizeof model - 1);
    CHECK(ostrel_result(warned) == OSTREL_LOADED && ostrel_point_count(warned) == 1,
          "one point: %s", ostrel_reason(warned));
    CHECK(ostrel_warning_count(warned) == 1 &&
              strcmp(ostrel_warning(warned, 0), "warned.rk4:9: no number in \"x\": read as 0") == 0,
          "warning '%s'", ostrel_warning(warned, 0));
    CHECK(strcmp(ostrel_warning(warned, 99), "") == 0, "a warning past the end is empty");
    ostrel_import_free(warned);
    ostrel_request_free(request);

    /* Everything answers a null handle without touching it. */
    CHECK(ostrel_result(NULL) == OSTREL_OUT_OF_MEMORY && ostrel_point_count(NULL) == 0 &&
              ostrel_points(NULL) == NULL && ostrel_warning_count(NULL) == 0,
          "a null import");
    ostrel_import_free(NULL);
    ostrel_request_free(NULL);
}

/* Every file of the fuzzers' corpus and regressions, and every test model:
 * an outcome each, its arrays consistent with its counts. */
static void TestHostileFiles(const char* folder) {
    DIR* dir = opendir(folder);
    CHECK(dir != NULL, "cannot list %s", folder);
    if (dir == NULL)
        return;
    ostrel_request* request = ostrel_request_new();
    ostrel_request_set(request, OSTREL_SHADING, 1);
    ostrel_request_set(request, OSTREL_EDGE_MESH, 1);
    /* A damaged file's arrays, as far as it was read, fit together too. */
    ostrel_request_set(request, OSTREL_SALVAGE, 1);
    struct dirent* entry;
    int files = 0;
    while ((entry = readdir(dir)) != NULL) {
        if (entry->d_name[0] == '.')
            continue;
        char path[4096];
        snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
        ostrel_import* done = ostrel_import_run(request, path, NULL, 0);
        const int result = ostrel_result(done);
        CHECK(result >= OSTREL_LOADED && result != OSTREL_OUT_OF_MEMORY &&
                  result <= OSTREL_NOTHING_TO_IMPORT && result != OSTREL_BAD_REQUEST,
              "%s: result %d (%s)", path, result, ostrel_reason(done));
        size_t corners = 0;
        for (size_t p = 0; p < ostrel_polygon_count(done); ++p)
            corners += ostrel_polygon_sizes(done)[p];
        int inside = corners == ostrel_corner_count(done);
        for (size_t c = 0; inside && c < corners; ++c)
            inside = ostrel_corners(done)[c] < ostrel_point_count(done);
        CHECK(inside, "%s: the polygons' corners do not fit the points", path);
        size_t loops = 0, edges = 0;
        const int32_t* points = ostrel_mesh_array(done, OSTREL_MESH_CORNER_POINTS, &loops);
        const int32_t* loopEdges = ostrel_mesh_array(done, OSTREL_MESH_CORNER_EDGES, NULL);
        ostrel_mesh_array(done, OSTREL_MESH_EDGE_POINTS, &edges);
        for (size_t c = 0; inside && c < loops; ++c)
            inside = (size_t)points[c] < ostrel_point_count(done) && (size_t)loopEdges[c] < edges;
        CHECK(inside, "%s: the faces' corners do not fit the points and edges", path);
        ostrel_import_free(done);
        ++files;
    }
    closedir(dir);
    ostrel_request_free(request);
    CHECK(files > 0, "no files in %s", folder);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: engine_c_test EXAMPLES_DIR TEST_DATA_DIR FUZZ_DIR\n");
        return 2;
    }
    TestCube(argv[1]);
    TestRefusals(argv[2]);
    TestHostileFiles(argv[2]);
    char folder[4096];
    snprintf(folder, sizeof folder, "%s/corpus", argv[3]);
    TestHostileFiles(folder);
    snprintf(folder, sizeof folder, "%s/regressions", argv[3]);
    TestHostileFiles(folder);
    printf("engine C test: %s\n", failures ? "FAILED" : "passed");
    return failures != 0;
}
