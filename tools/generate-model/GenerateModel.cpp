// generate-model: writes a synthetic model file of about a given size, and
// optionally the same mesh as Wavefront OBJ, for benchmarks.
//
//   generate-model --size MB [--seed N] [--lf] [--obj FILE.obj] OUT.rk4
//
// The mesh is a row of objects until the size is reached: closed tori (every
// line listed by two faces, some quads split into triangles), open grids
// (border lines listed by one face) with fins standing on some of their inner
// lines (listed by three faces), and free polylines given as LINE2 entries.
// Lines are stored in random direction and every face lists its lines in
// random order. Coordinates are written with six decimals, like "%.6f".
//
// Instead of the row of objects, one shape of a given size:
//   --grid SIDE [--copies K]  K grids of SIDE x SIDE points (quads; inner lines
//                             listed by two faces, border lines by one)
//   --cone N                  N triangles around one apex, as high as wide, on
//                             one surface: every triangle meets at the apex
//   --spiral N [--turns T]    one face of N corners, a band wound T times
//                             (default 20) around its centre
#include "Generator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
    double sizeMb = 0.0;
    uint32_t seed = 1;
    bool crlf = true;
    std::string out;
    std::string obj;
    std::string shape; // empty: the row of objects of --size
    int32_t count = 0; // grid side, cone triangles or spiral corners
    int32_t copies = 1;
    double turns = 20;
};

bool WriteFile(const std::string& path, const std::vector<const std::string*>& parts) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    bool ok = true;
    for (const std::string* s : parts) {
        ok = ok && std::fwrite(s->data(), 1, s->size(), f) == s->size();
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::perror(path.c_str());
    }
    return ok;
}

// Asked for (--help): on stdout, exit 0; after a mistake: on stderr, exit 64.
int Usage(bool asked = false) {
    std::fputs(
        "usage: generate-model --size MB [--seed N] [--lf] [--obj FILE.obj] OUT.rk4\n"
        "       generate-model --grid SIDE [--copies K] | --cone N | --spiral N [--turns T]\n"
        "                      [--seed N] [--lf] [--obj FILE.obj] OUT.rk4\n"
        "  --size MB   approximate size of the model file (0.01 to 4096)\n"
        "  --grid SIDE K grids (--copies, default 1) of SIDE x SIDE points\n"
        "  --cone N    N triangles around one apex\n"
        "  --spiral N  one face of N corners, a band wound T times (--turns, default 20)\n"
        "  --seed N    random seed (default 1); equal seeds give equal files\n"
        "  --lf        LF line ends instead of CR LF\n"
        "  --obj FILE  also write the same mesh as Wavefront OBJ\n"
        "  --help      show this text\n",
        asked ? stdout : stderr);
    return asked ? 0 : 64;
}

// Reads the command line into `o`. Returns -1 to go on, else the exit status
// (the usage was asked for, or the line was wrong).
int ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            return Usage(true);
        } else if (a == "--size" && hasValue) {
            o.sizeMb = std::atof(argv[++i]);
        } else if (a == "--seed" && hasValue) {
            o.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if ((a == "--grid" || a == "--cone" || a == "--spiral") && hasValue) {
            o.shape = a.substr(2);
            o.count = std::atoi(argv[++i]);
        } else if (a == "--copies" && hasValue) {
            o.copies = std::atoi(argv[++i]);
        } else if (a == "--turns" && hasValue) {
            o.turns = std::atof(argv[++i]);
        } else if (a == "--obj" && hasValue) {
            o.obj = argv[++i];
        } else if (a == "--lf") {
            o.crlf = false;
        } else if (!a.empty() && a[0] != '-' && o.out.empty()) {
            o.out = a;
        } else {
            return Usage();
        }
    }
    const bool shapeOk =
        (o.shape == "grid" && o.count >= 2 && o.count <= 4096 && o.copies >= 1 && o.copies <= 64) ||
        (o.shape == "cone" && o.count >= 3 && o.count <= 65535) ||
        (o.shape == "spiral" && o.count >= 8 && o.count <= 65536 && o.count % 2 == 0 &&
         o.turns > 0 && o.turns <= 1000);
    if (o.out.empty() || (o.shape.empty() ? !(o.sizeMb >= 0.01 && o.sizeMb <= 4096) : !shapeOk)) {
        return Usage();
    }
    return -1;
}

// The model file's fixed sections around the generated ones: the header, the
// section keywords, a palette of 16 colours drawn from the seed, the view.
bool WriteModel(const Options& o, const Generator& g) {
    const char* eol = o.crlf ? "\r\n" : "\n";
    Text head, lineHead, faceHead, tail, line2End;
    for (Text* t : {&head, &lineHead, &faceHead, &tail, &line2End}) {
        t->eol = eol;
    }
    head.data = "ROKU4 generated seed ";
    head.Int(o.seed);
    head.Line("POINT");
    lineHead.Line("LINE0");
    faceHead.Line("FACE0");
    tail.Line("END00");
    tail.Line("PALC0");
    tail.Int(16);
    tail.Int(0);
    std::mt19937 colours(o.seed);
    for (int32_t i = 0; i < 16; ++i) {
        for (int32_t k = 0; k < 6; ++k) {
            tail.Int(static_cast<int64_t>(colours() % 256));
        }
        tail.Int(0);
    }
    tail.Line("ENDP0");
    tail.Line("VIEW0");
    tail.Int(1);
    tail.Int(1);
    tail.Line("ENDV0");
    tail.Line("LINE2");
    line2End.Line("ENDL2");
    return WriteFile(o.out,
                     {&head.data, &g.points.data, &lineHead.data, &g.lines.data, &faceHead.data,
                      &g.faces.data, &tail.data, &g.freeLines.data, &line2End.data});
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = ParseOptions(argc, argv, o); status >= 0) {
        return status;
    }

    Generator g;
    g.rng.seed(o.seed);
    for (Text* t : {&g.points, &g.lines, &g.faces, &g.freeLines}) {
        t->eol = o.crlf ? "\r\n" : "\n";
    }
    const size_t target = static_cast<size_t>(o.sizeMb * 1024 * 1024);
    for (Text* t : {&g.points, &g.lines, &g.faces}) {
        t->data.reserve(target / 2);
    }
    if (o.shape == "grid") {
        for (int32_t k = 0; k < o.copies; ++k) {
            g.Grid(o.count, Vec{0, 0, 0.25 * (o.count + 4) * k});
        }
    } else if (o.shape == "cone") {
        g.Cone(o.count);
    } else if (o.shape == "spiral") {
        g.Spiral(o.count, o.turns);
    } else {
        g.Generate(target);
    }

    if (!WriteModel(o, g)) {
        return 1;
    }
    if (!o.obj.empty()) {
        std::string objHead = "# generated seed ";
        objHead += std::to_string(o.seed);
        objHead += '\n';
        if (!WriteFile(o.obj, {&objHead, &g.obj.data})) {
            return 1;
        }
    }
    std::printf("%s: %d points, %d lines, %d faces, %d LINE2 entries\n", o.out.c_str(),
                g.pointCount, g.lineCount, g.faceCount, g.entryCount);
    return 0;
}
