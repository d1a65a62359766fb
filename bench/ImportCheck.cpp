// import-check: the whole import of one model file as an activation does it
// (open, read and group, build into a sink, release), without the panel,
// which takes no measurable time. Prints one line: the counts and a hash of
// everything the sink received, so two builds can be compared for identical
// results on large files.
#include "mesh/Mesh.h"
#include "model/Model.h"

#include <cstdio>
#include <cstring>

namespace {

struct Received {
    uint64_t hash = 1469598103934665603ull; // FNV-1a over every call and its data
    long long points = 0, polygons = 0, surfaces = 0, blocks = 0;

    void Mix(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash = (hash ^ p[i]) * 1099511628211ull;
        }
    }
};

Received& R(void* c) {
    return *static_cast<Received*>(c);
}

void StartObject(void* c) {
    R(c).Mix("S", 1);
}
void DeclarePointCount(void* c, int32_t count) {
    R(c).Mix(&count, sizeof count);
}
void AddPoint(void* c, const float* xyz) {
    ++R(c).points;
    R(c).Mix(xyz, 3 * sizeof(float));
}
int32_t LookupSurface(void* c, const char* name) {
    R(c).Mix(name, std::strlen(name) + 1);
    return static_cast<int32_t>(++R(c).surfaces);
}
void AddPolygon(void* c, int32_t vertexCount, int32_t surface, const uint16_t* points) {
    ++R(c).polygons;
    R(c).Mix(&vertexCount, sizeof vertexCount);
    R(c).Mix(&surface, sizeof surface);
    R(c).Mix(points, static_cast<size_t>(vertexCount) * sizeof(uint16_t));
}
void StoreSurfaceData(void* c, const char* name, int32_t byteCount, const unsigned char* block) {
    ++R(c).blocks;
    R(c).Mix(name, std::strlen(name) + 1);
    R(c).Mix(block, static_cast<size_t>(byteCount));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: import-check MODEL\n", stderr);
        return 64;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    ModelTables tables;
    ByteSource source;
    InitFileSource(source, file);
    int32_t loadTarget = 2, doubleSided = 1;
    const ReadResult read = ReadModelFile(source, tables, &loadTarget, &doubleSided);
    std::fclose(file);
    if (read != kReadOk) {
        std::fprintf(stderr, "import-check: %s: %s\n", argv[1],
                     read == kReadNotModelFile ? "not a model file" : "cannot read");
        return read == kReadNotModelFile ? 1 : 2;
    }
    if (loadTarget < 0 || loadTarget > 2) {
        loadTarget = 2;
    }
    Received received;
    const ObjectSink sink{&received,     StartObject, DeclarePointCount, AddPoint,
                          LookupSurface, AddPolygon,  nullptr,           StoreSurfaceData};
    const BuildOptions options{loadTarget, "model",    1, 44.5, loadTarget == 0 ? 0 : 1,
                               8.0,        doubleSided};
    BuildObject(tables, options, sink);
    std::printf("%d points, %d lines, %d faces, %d groups, %lld polygons sent, %lld surfaces, "
                "hash %016llx\n",
                PointCount(tables), LineCount(tables), FaceCount(tables), GroupCount(tables),
                received.polygons, received.surfaces,
                static_cast<unsigned long long>(received.hash));
    ReleaseModel(tables);
    return 0;
}
