// engine-load: one import through the engine's C interface, as ostrel.load
// makes it: the converter's build, the object kept as arrays, the reader's
// warnings worded. With a format, the file is formed too, as ostrel.convert
// makes it. Prints the counts; exits 1 when the import did not load.
//
//     engine-load MODEL [FORMAT]
#include "engine/ostrel.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: engine-load MODEL [FORMAT]\n", stderr);
        return 64;
    }
    ostrel_request* request = ostrel_request_new();
    if (argc == 3 && !ostrel_request_format(request, argv[2])) {
        std::fprintf(stderr, "engine-load: no format %s\n", argv[2]);
        return 64;
    }
    if (argc == 3)
        ostrel_request_set(request, OSTREL_KEEP_OBJECT, 0);
    ostrel_import* done = ostrel_import_run(request, argv[1], nullptr, 0);
    const int result = ostrel_result(done);
    std::printf("%zu points, %zu polygons, %zu files\n", ostrel_point_count(done),
                ostrel_polygon_count(done), ostrel_file_count(done));
    ostrel_import_free(done);
    ostrel_request_free(request);
    return result == OSTREL_LOADED ? 0 : 1;
}
