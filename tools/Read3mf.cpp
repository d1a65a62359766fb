// Reads 3MF files with lib3mf, a reader of the format's own consortium, and
// prints what it found, for tools/check-print.sh to hold against the object
// the engine received:
//   read-3mf FILE.3mf...
//   FILE unit U objects O triangles T vertices V warnings W
//   FILE material I "NAME" RRGGBBAA triangles K
// per base material, K the triangles that take it. Exits 1 when a file
// cannot be read.
#include <Model/COM/NMR_DLLInterfaces.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace NMR;

namespace {

// Per base material of one group: its name, colour and the triangles that
// take it.
struct Material {
    std::string name;
    BYTE rgba[4] = {0, 0, 0, 0};
    size_t triangles = 0;
};

std::vector<Material> Materials(PLib3MFModel* model, DWORD& group) {
    std::vector<Material> out;
    PLib3MFModelResourceIterator* it = nullptr;
    BOOL next = false;
    if (lib3mf_model_getbasematerials(model, &it) != LIB3MF_OK)
        return out;
    if (lib3mf_resourceiterator_movenext(it, &next) == LIB3MF_OK && next) {
        PLib3MFModelResource* resource = nullptr;
        lib3mf_resourceiterator_getcurrent(it, &resource);
        DWORD count = 0;
        lib3mf_basematerial_getcount(resource, &count);
        lib3mf_basematerial_getresourceid(resource, &group);
        for (DWORD i = 0; i < count; ++i) {
            Material m;
            ULONG needed = 0;
            lib3mf_basematerial_getnameutf8(resource, i, nullptr, 0, &needed);
            std::vector<char> name(needed + 1, '\0');
            lib3mf_basematerial_getnameutf8(resource, i, name.data(), needed + 1, &needed);
            m.name = name.data();
            lib3mf_basematerial_getdisplaycolor(resource, i, &m.rgba[0], &m.rgba[1], &m.rgba[2],
                                                &m.rgba[3]);
            out.push_back(m);
        }
        lib3mf_release(resource);
    }
    lib3mf_release(it);
    return out;
}

bool Read(const char* path) {
    PLib3MFModel* model = nullptr;
    PLib3MFModelReader* reader = nullptr;
    if (lib3mf_createmodel(&model) != LIB3MF_OK ||
        lib3mf_model_queryreader(model, "3mf", &reader) != LIB3MF_OK ||
        lib3mf_reader_readfromfileutf8(reader, path) != LIB3MF_OK) {
        std::printf("%s not read\n", path);
        return false;
    }
    DWORD warnings = 0, unit = 0, group = 0;
    lib3mf_reader_getwarningcount(reader, &warnings);
    lib3mf_model_getunit(model, &unit);
    std::vector<Material> materials = Materials(model, group);
    size_t objects = 0, triangles = 0, vertices = 0;
    PLib3MFModelResourceIterator* it = nullptr;
    BOOL next = false;
    lib3mf_model_getmeshobjects(model, &it);
    while (lib3mf_resourceiterator_movenext(it, &next) == LIB3MF_OK && next) {
        PLib3MFModelResource* mesh = nullptr;
        lib3mf_resourceiterator_getcurrent(it, &mesh);
        DWORD t = 0, v = 0;
        lib3mf_meshobject_gettrianglecount(mesh, &t);
        lib3mf_meshobject_getvertexcount(mesh, &v);
        PLib3MFPropertyHandler* properties = nullptr;
        lib3mf_meshobject_createpropertyhandler(mesh, &properties);
        for (DWORD i = 0; i < t; ++i) {
            DWORD id = 0, index = 0;
            if (lib3mf_propertyhandler_getbasematerial(properties, i, &id, &index) == LIB3MF_OK &&
                id == group && index < materials.size())
                ++materials[index].triangles;
        }
        lib3mf_release(properties);
        lib3mf_release(mesh);
        ++objects;
        triangles += t;
        vertices += v;
    }
    lib3mf_release(it);
    std::printf("%s unit %u objects %zu triangles %zu vertices %zu warnings %u\n", path,
                static_cast<unsigned>(unit), objects, triangles, vertices,
                static_cast<unsigned>(warnings));
    for (size_t i = 0; i < materials.size(); ++i) {
        const Material& m = materials[i];
        std::printf("%s material %zu \"%s\" %02X%02X%02X%02X triangles %zu\n", path, i,
                    m.name.c_str(), m.rgba[0], m.rgba[1], m.rgba[2], m.rgba[3], m.triangles);
    }
    lib3mf_release(reader);
    lib3mf_release(model);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bool ok = true;
    for (int i = 1; i < argc; ++i)
        ok = Read(argv[i]) && ok;
    return ok ? 0 : 1;
}
