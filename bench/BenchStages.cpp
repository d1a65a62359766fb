// bench_stages: micro-benchmarks of the import's stages on one model file
// held in memory: the line reader alone, the conversions, reading with
// grouping, grouping alone and building into a sink that only counts.
//
//   bench_stages [--model FILE] [Google Benchmark flags]
//
// Without --model a 4 MB file is generated with generate-model (seed 1) next
// to this program's build folder in /tmp.
#include "mesh/Mesh.h"
#include "model/Model.h"
#include "model/NumberParsing.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> gFile;

bool LoadFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    char block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) {
        gFile.insert(gFile.end(), block, block + got);
    }
    std::fclose(f);
    return true;
}

void ReadTables(ModelTables& t) {
    ByteSource source;
    InitMemorySource(source, gFile.data(), gFile.size());
    int32_t target = 0, doubleSided = 0;
    if (ReadModelFile(source, t, &target, &doubleSided) != kReadOk) {
        std::fputs("bench_stages: not a model file\n", stderr);
        std::exit(2);
    }
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(gFile.size()));
}

void BM_ReadTextLine(benchmark::State& state) {
    int64_t lines = 0;
    for (auto _ : state) {
        ByteSource source;
        InitMemorySource(source, gFile.data(), gFile.size());
        char line[80];
        while (ReadTextLine(line, sizeof line, source) != nullptr) {
            ++lines;
        }
        benchmark::DoNotOptimize(line[0]);
    }
    SetBytes(state);
    benchmark::DoNotOptimize(lines);
}
BENCHMARK(BM_ReadTextLine)->Unit(benchmark::kMillisecond);

void BM_ParseReal(benchmark::State& state) {
    const char* samples[] = {"-123.456789", "0.000000", "987.654321", "12.5d3", "-0.000125"};
    double sum = 0;
    for (auto _ : state) {
        for (const char* s : samples) {
            sum += ParseReal(s);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 5);
}
BENCHMARK(BM_ParseReal);

void BM_ParseInteger(benchmark::State& state) {
    const char* samples[] = {"0", "12", "123456", "-7", "15"};
    int64_t sum = 0;
    for (auto _ : state) {
        for (const char* s : samples) {
            sum += ParseInteger(s);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 5);
}
BENCHMARK(BM_ParseInteger);

// Reading includes the grouping, which ReadModelFile ends with.
void BM_ReadModelFile(benchmark::State& state) {
    for (auto _ : state) {
        ModelTables t;
        ReadTables(t);
        benchmark::DoNotOptimize(t.faces.data());
        ReleaseModel(t);
    }
    SetBytes(state);
}
BENCHMARK(BM_ReadModelFile)->Unit(benchmark::kMillisecond);

void BM_GroupFaces(benchmark::State& state) {
    ModelTables t;
    ReadTables(t);
    for (auto _ : state) {
        state.PauseTiming();
        for (FaceRecord& f : t.faces) {
            f.group = -1;
        }
        state.ResumeTiming();
        GroupFaces(t);
        benchmark::DoNotOptimize(t.groups.data());
    }
    state.counters["faces"] = static_cast<double>(FaceCount(t));
    ReleaseModel(t);
}
BENCHMARK(BM_GroupFaces)->Unit(benchmark::kMillisecond);

struct Counts {
    int64_t points = 0, polygons = 0, vertices = 0;
};
Counts& C(void* c) {
    return *static_cast<Counts*>(c);
}

void BM_BuildObject(benchmark::State& state) {
    ModelTables t;
    ReadTables(t);
    Counts counts;
    const ObjectSink sink{
        &counts,
        [](void*) {},
        [](void*, int32_t) {},
        [](void* c, const float*) { ++C(c).points; },
        [](void*, const char*) { return int32_t{1}; },
        [](void* c, int32_t n, int32_t, const uint16_t*) {
            ++C(c).polygons;
            C(c).vertices += n;
        },
        nullptr,
        [](void*, const char*, int32_t, const unsigned char*) {},
    };
    const BuildOptions options{2, "model", 1, 44.5, 1, 8.0, 1};
    for (auto _ : state) {
        state.PauseTiming();
        for (LineRecord& l : t.lines) {
            l.direction = 0; // BuildObject runs once per set of tables
        }
        state.ResumeTiming();
        BuildObject(t, options, sink);
    }
    state.counters["polygons"] = benchmark::Counter(static_cast<double>(counts.polygons),
                                                    benchmark::Counter::kAvgIterations);
    ReleaseModel(t);
}
BENCHMARK(BM_BuildObject)->Unit(benchmark::kMillisecond);

std::string DefaultModel(const char* argv0) {
    const std::string path = "/tmp/ostrel-bench-stages-4mb.rk4";
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return path;
    }
    std::string dir = argv0;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    const std::string command = "'" + dir + "/generate-model' --size 4 --seed 1 " + path;
    if (std::system(command.c_str()) != 0) {
        std::fputs("bench_stages: could not generate a model; pass --model FILE\n", stderr);
        std::exit(2);
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    std::string model;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--model") == 0 && i + 1 < argc) {
            model = argv[++i];
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (model.empty()) {
        model = DefaultModel(argv[0]);
    }
    if (!LoadFile(model)) {
        std::perror(model.c_str());
        return 2;
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::AddCustomContext("model", model + " (" + std::to_string(gFile.size()) + " bytes)");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
