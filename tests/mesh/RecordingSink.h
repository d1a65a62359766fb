// An ObjectSink that records every call, in order, with copies of what each
// call was handed (the pointers are valid only during the call).
#pragma once

#include "mesh/Mesh.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct SinkCall {
    enum Kind { Start, DeclarePoints, Point, Lookup, Polygon, SurfaceData };
    Kind kind = Start;
    int32_t count = 0;   // DeclarePoints: the count; Polygon: vertices; SurfaceData: bytes
    int32_t surface = 0; // Polygon: the surface value
    std::string name;    // Lookup, SurfaceData
    std::array<float, 3> xyz{};
    std::vector<uint32_t> points;    // Polygon
    std::vector<unsigned char> data; // SurfaceData
};

struct RecordingSink {
    std::vector<SinkCall> calls;
    // lookupSurface answers these in turn, then 100, 101, ...
    std::vector<int32_t> surfaceValues;
    int32_t lookups = 0;
    bool wide = false; // the converter's sink: 32-bit point numbers

    ObjectSink Sink() {
        return ObjectSink{this,
                          &OnStart,
                          &OnDeclare,
                          &OnPoint,
                          &OnLookup,
                          wide ? nullptr : &OnPolygon<uint16_t>,
                          wide ? &OnPolygon<uint32_t> : nullptr,
                          &OnStore};
    }

    std::vector<const SinkCall*> Of(SinkCall::Kind kind) const {
        std::vector<const SinkCall*> out;
        for (const SinkCall& c : calls) {
            if (c.kind == kind) {
                out.push_back(&c);
            }
        }
        return out;
    }
    template <typename PointNumber = uint16_t>
    std::vector<std::vector<PointNumber>> Polygons() const {
        std::vector<std::vector<PointNumber>> out;
        for (const SinkCall* c : Of(SinkCall::Polygon)) {
            out.emplace_back(c->points.begin(), c->points.end());
        }
        return out;
    }
    std::vector<std::string> Names(SinkCall::Kind kind) const {
        std::vector<std::string> out;
        for (const SinkCall* c : Of(kind)) {
            out.push_back(c->name);
        }
        return out;
    }
    // The kinds in call order, runs of one kind folded into one letter:
    // S start, D declare, P points, L lookups, F polygons, B blocks.
    std::string Shape() const {
        static const char letters[] = "SDPLFB";
        std::string out;
        for (const SinkCall& c : calls) {
            const char k = letters[c.kind];
            if (out.empty() || out.back() != k) {
                out += k;
            }
        }
        return out;
    }

  private:
    static RecordingSink& Self(void* c) { return *static_cast<RecordingSink*>(c); }
    static SinkCall& Add(void* c, SinkCall::Kind kind) {
        SinkCall call;
        call.kind = kind;
        Self(c).calls.push_back(call);
        return Self(c).calls.back();
    }
    static void OnStart(void* c) { Add(c, SinkCall::Start); }
    static void OnDeclare(void* c, int32_t count) { Add(c, SinkCall::DeclarePoints).count = count; }
    static void OnPoint(void* c, const float* xyz) {
        SinkCall& call = Add(c, SinkCall::Point);
        call.xyz = {xyz[0], xyz[1], xyz[2]};
    }
    static int32_t OnLookup(void* c, const char* name) {
        Add(c, SinkCall::Lookup).name = name;
        RecordingSink& s = Self(c);
        const size_t i = static_cast<size_t>(s.lookups++);
        return i < s.surfaceValues.size() ? s.surfaceValues[i] : 100 + static_cast<int32_t>(i);
    }
    template <typename PointNumber>
    static void OnPolygon(void* c, int32_t vertexCount, int32_t surface,
                          const PointNumber* points) {
        SinkCall& call = Add(c, SinkCall::Polygon);
        call.count = vertexCount;
        call.surface = surface;
        call.points.assign(points, points + vertexCount);
    }
    static void OnStore(void* c, const char* name, int32_t byteCount, const unsigned char* block) {
        SinkCall& call = Add(c, SinkCall::SurfaceData);
        call.name = name;
        call.count = byteCount;
        call.data.assign(block, block + byteCount);
    }
};
