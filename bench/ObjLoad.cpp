// obj-load: loads a Wavefront OBJ with tinyobjloader (single thread), the
// yardstick for the model file import.
#include <tiny_obj_loader.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: obj-load FILE.obj\n", stderr);
        return 64;
    }
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const bool ok =
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, argv[1], nullptr, false);
    if (!ok) {
        std::fprintf(stderr, "obj-load: %s\n", err.c_str());
        return 2;
    }
    size_t faces = 0, lines = 0;
    for (const tinyobj::shape_t& s : shapes) {
        faces += s.mesh.num_face_vertices.size();
        lines += s.lines.num_line_vertices.size();
    }
    std::printf("%zu vertices, %zu faces, %zu lines, %zu shapes\n", attrib.vertices.size() / 3,
                faces, lines, shapes.size());
    return 0;
}
