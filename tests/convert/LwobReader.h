// A strict reader of the classic object layout, for the tests: it accepts
// exactly what the layout allows and the writer promises (FORM length equal
// to the file, chunks PNTS SRFS POLS SURF... in that order, even lengths,
// padded names, point indices below the point count, surface numbers from 1
// to the SRFS count, one SURF per listed surface in SRFS order, sub-chunks
// that fill their SURF exactly) and says what is wrong otherwise.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct LwobPolygon {
    std::vector<uint32_t> points;
    int16_t surface = 0; // 1-based
};

struct LwobSurface {
    std::string name;
    std::vector<unsigned char> subChunks; // everything after the padded name
};

struct LwobObject {
    std::vector<float> xyz;
    std::vector<std::string> surfaceNames; // SRFS
    std::vector<LwobPolygon> polygons;
    std::vector<LwobSurface> surfaces; // SURF chunks
};

struct LwobCursor {
    const std::string& data;
    size_t at = 0;
    size_t end = 0;
    std::string& error;

    bool Need(size_t n, const char* what) {
        if (end - at < n) {
            error = std::string("truncated ") + what + " at byte " + std::to_string(at);
            return false;
        }
        return true;
    }
    uint32_t U4() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | static_cast<unsigned char>(data[at++]);
        return v;
    }
    uint16_t U2() {
        const auto v = static_cast<uint16_t>(static_cast<unsigned char>(data[at]) << 8 |
                                             static_cast<unsigned char>(data[at + 1]));
        at += 2;
        return v;
    }
    // A NUL-terminated name with its pad to an even length.
    bool PaddedName(std::string& name) {
        const size_t start = at;
        while (at < end && data[at] != '\0')
            ++at;
        if (at == end) {
            error = "unterminated name at byte " + std::to_string(start);
            return false;
        }
        name = data.substr(start, at - start);
        ++at;
        if ((at - start) % 2 != 0) {
            if (at == end || data[at] != '\0') {
                error = "name at byte " + std::to_string(start) + " lacks its pad byte";
                return false;
            }
            ++at;
        }
        return true;
    }
};

// The chunks' bodies, `in` at the first byte after the chunk header.
inline bool ReadLwobPoints(LwobCursor& in, uint32_t length, LwobObject& object,
                           std::string& error) {
    if (length % 12 != 0) {
        error = "PNTS length is not a multiple of 12";
        return false;
    }
    for (size_t i = 0; i < length / 4; ++i) {
        const uint32_t bits = in.U4();
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        object.xyz.push_back(f);
    }
    if (object.xyz.size() / 3 > 65536) {
        error = "more than 65536 points";
        return false;
    }
    return true;
}

inline bool ReadLwobPolygons(LwobCursor& in, size_t chunkEnd, LwobObject& object,
                             std::string& error) {
    const size_t pointCount = object.xyz.size() / 3;
    while (in.at < chunkEnd) {
        if (!in.Need(2, "numvert"))
            return false;
        LwobPolygon p;
        const uint16_t n = in.U2();
        if (n == 0) {
            error = "a polygon without vertices";
            return false;
        }
        if (!in.Need(2 * size_t{n} + 2, "polygon"))
            return false;
        for (uint16_t k = 0; k < n; ++k) {
            p.points.push_back(in.U2());
            if (p.points.back() >= pointCount) {
                error = "point index " + std::to_string(p.points.back()) + " of " +
                        std::to_string(pointCount);
                return false;
            }
        }
        p.surface = static_cast<int16_t>(in.U2());
        if (p.surface < 1 || static_cast<size_t>(p.surface) > object.surfaceNames.size()) {
            error = "surface number " + std::to_string(p.surface) + " out of range";
            return false;
        }
        object.polygons.push_back(std::move(p));
    }
    return true;
}

inline bool ReadLwobSurface(LwobCursor& in, size_t chunkEnd, LwobObject& object,
                            std::string& error) {
    const std::string& file = in.data;
    LwobSurface s;
    if (!in.PaddedName(s.name))
        return false;
    const size_t index = object.surfaces.size();
    if (index >= object.surfaceNames.size() || s.name != object.surfaceNames[index]) {
        error = "SURF " + s.name + " is not the next SRFS name";
        return false;
    }
    s.subChunks.assign(file.begin() + static_cast<std::ptrdiff_t>(in.at),
                       file.begin() + static_cast<std::ptrdiff_t>(chunkEnd));
    while (in.at < chunkEnd) {
        if (!in.Need(6, "sub-chunk header"))
            return false;
        in.at += 4;
        const uint16_t subLength = in.U2();
        if (subLength % 2 != 0) {
            error = "SURF " + s.name + " has a sub-chunk of odd length";
            return false;
        }
        if (!in.Need(subLength, "sub-chunk"))
            return false;
        in.at += subLength;
    }
    object.surfaces.push_back(std::move(s));
    return true;
}

inline bool ReadLwobStrict(const std::string& file, LwobObject& object, std::string& error) {
    object = LwobObject{};
    LwobCursor c{file, 0, file.size(), error};
    if (!c.Need(12, "header"))
        return false;
    if (file.compare(0, 4, "FORM") != 0) {
        error = "no FORM";
        return false;
    }
    c.at = 4;
    if (c.U4() != file.size() - 8) {
        error = "FORM length is not the file length - 8";
        return false;
    }
    if (file.compare(8, 4, "LWOB") != 0) {
        error = "not LWOB";
        return false;
    }
    c.at = 12;
    const char* const order[] = {"PNTS", "SRFS", "POLS"};
    size_t chunkNumber = 0;
    while (c.at < file.size()) {
        if (!c.Need(8, "chunk header"))
            return false;
        const std::string id = file.substr(c.at, 4);
        c.at += 4;
        const uint32_t length = c.U4();
        if (length % 2 != 0) {
            error = id + " has an odd length";
            return false;
        }
        if (!c.Need(length, id.c_str()))
            return false;
        const size_t chunkEnd = c.at + length;
        const char* expected = chunkNumber < 3 ? order[chunkNumber] : "SURF";
        if (id != expected) {
            error = "chunk " + std::to_string(chunkNumber) + " is " + id + ", expected " + expected;
            return false;
        }
        LwobCursor in{file, c.at, chunkEnd, error};
        if (id == "PNTS") {
            if (!ReadLwobPoints(in, length, object, error))
                return false;
        } else if (id == "SRFS") {
            while (in.at < chunkEnd) {
                std::string name;
                if (!in.PaddedName(name))
                    return false;
                object.surfaceNames.push_back(name);
            }
        } else if (id == "POLS") {
            if (!ReadLwobPolygons(in, chunkEnd, object, error))
                return false;
        } else {
            if (!ReadLwobSurface(in, chunkEnd, object, error))
                return false;
        }
        c.at = chunkEnd;
        ++chunkNumber;
    }
    if (chunkNumber < 3) {
        error = "missing PNTS, SRFS or POLS";
        return false;
    }
    if (object.surfaces.size() != object.surfaceNames.size()) {
        error = "not every SRFS surface has a SURF";
        return false;
    }
    return true;
}
