// The meshes generate-model writes: a row of tori, grids with fins and
// polylines until a size is reached, or one grid, cone or spiral; the model
// file's sections formed as text as they grow, and the same mesh as OBJ.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

// Append-only text buffer with number formatting that avoids stdio. Each
// line is formed in a small array and appended in one piece.
struct Text {
    std::string data;
    const char* eol = "\r\n";

    void Append(char* buf, char* end) {
        for (const char* e = eol; *e != '\0'; ++e) {
            *end++ = *e;
        }
        data.append(buf, static_cast<size_t>(end - buf));
    }
    void Line(const char* s) {
        char buf[80];
        const size_t n = std::min(std::strlen(s), sizeof buf - 3);
        std::memcpy(buf, s, n);
        Append(buf, buf + n);
    }
    void Int(int64_t v) {
        char buf[32];
        Append(buf, std::to_chars(buf, buf + 24, v).ptr);
    }
    void Real(double v) {
        char buf[80];
        Append(buf, std::to_chars(buf, buf + 72, v, std::chars_format::fixed, 6).ptr);
    }
};

struct Vec {
    double x, y, z;
};

struct Generator {
    std::mt19937_64 rng;
    Text points, lines, faces, freeLines;
    Text obj;
    int32_t pointCount = 0;
    int32_t lineCount = 0;
    int32_t faceCount = 0;
    int32_t entryCount = 0;
    int32_t objectCount = 0;
    std::vector<int32_t> lineA, lineB; // 1-based points of each line, as stored

    int32_t Uniform(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    }
    double Real(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    }

    size_t ModelBytes() const {
        return points.data.size() + lines.data.size() + faces.data.size() + freeLines.data.size();
    }

    int32_t AddPoint(const Vec& v) {
        ++pointCount;
        points.Int(1);
        points.Int(0);
        points.Int(pointCount % 16);
        points.Int(0);
        points.Int(0);
        points.Real(v.x);
        points.Real(v.y);
        points.Real(v.z);
        char buf[128];
        std::string s = "v ";
        auto put = [&](double d) {
            auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
            s.append(buf, r.ptr);
        };
        put(v.x);
        s += ' ';
        put(v.y);
        s += ' ';
        put(v.z);
        s += '\n';
        obj.data += s;
        return pointCount;
    }

    // A line between two 1-based points, stored in random direction.
    int32_t AddLine(int32_t a, int32_t b, int32_t value4 = 0) {
        if (rng() & 1) {
            std::swap(a, b);
        }
        ++lineCount;
        lineA.push_back(a);
        lineB.push_back(b);
        lines.Int(a);
        lines.Int(b);
        lines.Int(0);
        lines.Int(value4);
        return lineCount;
    }

    // A face from its vertex loop and the lines between consecutive
    // vertices (edge i runs from loop[i] to loop[i+1]); the lines are listed
    // in random order.
    void AddFace(const std::vector<int32_t>& loop, std::vector<int32_t> edges, int32_t colour) {
        std::shuffle(edges.begin(), edges.end(), rng);
        ++faceCount;
        faces.Int(static_cast<int64_t>(edges.size()));
        faces.Int(colour);
        faces.Int(0);
        for (int32_t e : edges) {
            faces.Int(e);
        }
        std::string s = "f";
        for (int32_t p : loop) {
            s += ' ';
            s += std::to_string(p);
        }
        s += '\n';
        obj.data += s;
    }

    // A LINE2 entry; only an unmarked line becomes a line face (and an OBJ
    // line element).
    void AddFreeLine(int32_t line, int32_t colour, bool marked = false) {
        ++entryCount;
        freeLines.Int(line);
        freeLines.Int(0);
        freeLines.Int(colour);
        freeLines.Int(0);
        if (!marked) {
            const size_t i = static_cast<size_t>(line - 1);
            obj.data += "l ";
            obj.data += std::to_string(lineA[i]);
            obj.data += ' ';
            obj.data += std::to_string(lineB[i]);
            obj.data += '\n';
        }
    }

    void BeginObject() {
        obj.data += "o object";
        obj.data += std::to_string(++objectCount);
        obj.data += '\n';
    }

    Vec Offset() { return Vec{Real(-1000, 1000), Real(-1000, 1000), Real(-1000, 1000)}; }

    // Closed torus of u x v quads; about one quad in four is split into two
    // triangles along a diagonal, which keeps every line listed by two faces.
    void Torus() {
        BeginObject();
        const int32_t u = Uniform(6, 48);
        const int32_t v = Uniform(4, 32);
        const Vec o = Offset();
        const double big = Real(5, 50);
        const double small = big * Real(0.1, 0.4);
        const int32_t colour = Uniform(0, 15);
        const double pi = std::acos(-1.0);
        std::vector<int32_t> id(static_cast<size_t>(u * v));
        for (int32_t i = 0; i < u; ++i) {
            for (int32_t j = 0; j < v; ++j) {
                const double a = 2 * pi * i / u;
                const double b = 2 * pi * j / v;
                const double r = big + small * std::cos(b);
                id[static_cast<size_t>(i * v + j)] = AddPoint(
                    {o.x + r * std::cos(a), o.y + small * std::sin(b), o.z + r * std::sin(a)});
            }
        }
        auto at = [&](int32_t i, int32_t j) {
            return id[static_cast<size_t>((i % u) * v + (j % v))];
        };
        // Line (i,j)->(i+1,j) and (i,j)->(i,j+1) for every grid point.
        std::vector<int32_t> alongU(static_cast<size_t>(u * v)), alongV(static_cast<size_t>(u * v));
        for (int32_t i = 0; i < u; ++i) {
            for (int32_t j = 0; j < v; ++j) {
                alongU[static_cast<size_t>(i * v + j)] = AddLine(at(i, j), at(i + 1, j));
                alongV[static_cast<size_t>(i * v + j)] = AddLine(at(i, j), at(i, j + 1));
            }
        }
        auto lu = [&](int32_t i, int32_t j) {
            return alongU[static_cast<size_t>((i % u) * v + (j % v))];
        };
        auto lv = [&](int32_t i, int32_t j) {
            return alongV[static_cast<size_t>((i % u) * v + (j % v))];
        };
        for (int32_t i = 0; i < u; ++i) {
            for (int32_t j = 0; j < v; ++j) {
                const int32_t p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1),
                              p01 = at(i, j + 1);
                if (Uniform(0, 3) == 0) {
                    const int32_t diagonal = AddLine(p00, p11);
                    AddFace({p00, p10, p11}, {lu(i, j), lv(i + 1, j), diagonal}, colour);
                    AddFace({p00, p11, p01}, {diagonal, lu(i, j + 1), lv(i, j)}, colour);
                } else {
                    AddFace({p00, p10, p11, p01}, {lu(i, j), lv(i + 1, j), lu(i, j + 1), lv(i, j)},
                            colour);
                }
            }
        }
    }

    // Open grid of w x h quads with wavy heights; fins (triangles) stand on
    // some inner lines, which are then listed by three faces.
    void Sheet() {
        BeginObject();
        const int32_t w = Uniform(4, 64);
        const int32_t h = Uniform(4, 64);
        const Vec o = Offset();
        const double step = Real(0.5, 4);
        const int32_t colour = Uniform(0, 15);
        std::vector<int32_t> id(static_cast<size_t>((w + 1) * (h + 1)));
        for (int32_t i = 0; i <= w; ++i) {
            for (int32_t j = 0; j <= h; ++j) {
                id[static_cast<size_t>(i * (h + 1) + j)] =
                    AddPoint({o.x + i * step, o.y + std::sin(i * 0.3) * std::cos(j * 0.2) * step,
                              o.z + j * step});
            }
        }
        auto at = [&](int32_t i, int32_t j) { return id[static_cast<size_t>(i * (h + 1) + j)]; };
        std::vector<int32_t> alongI(static_cast<size_t>((w + 1) * (h + 1)), 0);
        std::vector<int32_t> alongJ(static_cast<size_t>((w + 1) * (h + 1)), 0);
        for (int32_t i = 0; i <= w; ++i) {
            for (int32_t j = 0; j <= h; ++j) {
                if (i < w) {
                    alongI[static_cast<size_t>(i * (h + 1) + j)] = AddLine(at(i, j), at(i + 1, j));
                }
                if (j < h) {
                    alongJ[static_cast<size_t>(i * (h + 1) + j)] = AddLine(at(i, j), at(i, j + 1));
                }
            }
        }
        auto li = [&](int32_t i, int32_t j) {
            return alongI[static_cast<size_t>(i * (h + 1) + j)];
        };
        auto lj = [&](int32_t i, int32_t j) {
            return alongJ[static_cast<size_t>(i * (h + 1) + j)];
        };
        for (int32_t i = 0; i < w; ++i) {
            for (int32_t j = 0; j < h; ++j) {
                AddFace({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)},
                        {lj(i, j), li(i, j + 1), lj(i + 1, j), li(i, j)}, colour);
            }
        }
        // Fins on about one inner line in twenty along i.
        for (int32_t i = 0; i < w; ++i) {
            for (int32_t j = 1; j < h; ++j) {
                if (Uniform(0, 19) != 0) {
                    continue;
                }
                const int32_t a = at(i, j), b = at(i + 1, j);
                const int32_t top =
                    AddPoint({o.x + (i + 0.5) * step, o.y + 2 * step, o.z + j * step});
                const int32_t la = AddLine(a, top), lb = AddLine(top, b);
                AddFace({a, top, b}, {li(i, j), la, lb}, (colour + 1) % 16);
            }
        }
        // One border line of the sheet also drawn as a free line.
        AddFreeLine(li(0, 0), colour);
    }

    // A free polyline of LINE2 entries; about one line in eight is marked
    // (value4 non-zero) and so only counted, not made a line face.
    void Polyline() {
        BeginObject();
        const int32_t n = Uniform(8, 200);
        const Vec o = Offset();
        const int32_t colour = Uniform(0, 15);
        Vec p = o;
        int32_t prev = AddPoint(p);
        for (int32_t k = 0; k < n; ++k) {
            p = {p.x + Real(-2, 2), p.y + Real(-2, 2), p.z + Real(-2, 2)};
            const int32_t next = AddPoint(p);
            const bool marked = Uniform(0, 7) == 0;
            AddFreeLine(AddLine(prev, next, marked ? 1 : 0), colour, marked);
            prev = next;
        }
    }

    // A flat-ish grid of side x side points at `o`, quads in rows.
    void Grid(int32_t side, const Vec& o) {
        BeginObject();
        std::vector<int32_t> id(static_cast<size_t>(side) * static_cast<size_t>(side));
        auto at = [&](int32_t i, int32_t j) {
            return id[static_cast<size_t>(i) * static_cast<size_t>(side) + static_cast<size_t>(j)];
        };
        for (int32_t i = 0; i < side; ++i) {
            for (int32_t j = 0; j < side; ++j) {
                id[static_cast<size_t>(i) * static_cast<size_t>(side) + static_cast<size_t>(j)] =
                    AddPoint({o.x + 0.25 * i, o.y + 0.5 * std::sin(i * 0.05) * std::cos(j * 0.07),
                              o.z + 0.25 * j});
            }
        }
        // alongI[i][j]: (i,j)-(i+1,j); alongJ[i][j]: (i,j)-(i,j+1).
        std::vector<int32_t> alongI(id.size(), 0), alongJ(id.size(), 0);
        for (int32_t i = 0; i < side; ++i) {
            for (int32_t j = 0; j < side; ++j) {
                const size_t k =
                    static_cast<size_t>(i) * static_cast<size_t>(side) + static_cast<size_t>(j);
                if (i + 1 < side) {
                    alongI[k] = AddLine(at(i, j), at(i + 1, j));
                }
                if (j + 1 < side) {
                    alongJ[k] = AddLine(at(i, j), at(i, j + 1));
                }
            }
        }
        auto line = [&](const std::vector<int32_t>& along, int32_t i, int32_t j) {
            return along[static_cast<size_t>(i) * static_cast<size_t>(side) +
                         static_cast<size_t>(j)];
        };
        for (int32_t i = 0; i + 1 < side; ++i) {
            for (int32_t j = 0; j + 1 < side; ++j) {
                AddFace({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)},
                        {line(alongJ, i, j), line(alongI, i, j + 1), line(alongJ, i + 1, j),
                         line(alongI, i, j)},
                        1);
            }
        }
    }

    // n triangles from one apex to a closed rim; the cone is as high as
    // wide, so the triangles' normals lean 45 degrees from its axis and
    // spread all around it.
    void Cone(int32_t n) {
        BeginObject();
        const double pi = std::acos(-1.0);
        const int32_t apex = AddPoint({0, 10, 0});
        std::vector<int32_t> rim(static_cast<size_t>(n));
        for (int32_t k = 0; k < n; ++k) {
            const double a = 2 * pi * k / n;
            rim[static_cast<size_t>(k)] = AddPoint({10 * std::cos(a), 0, 10 * std::sin(a)});
        }
        std::vector<int32_t> spoke(static_cast<size_t>(n)), edge(static_cast<size_t>(n));
        for (int32_t k = 0; k < n; ++k) {
            spoke[static_cast<size_t>(k)] = AddLine(apex, rim[static_cast<size_t>(k)]);
        }
        for (int32_t k = 0; k < n; ++k) {
            edge[static_cast<size_t>(k)] =
                AddLine(rim[static_cast<size_t>(k)], rim[static_cast<size_t>((k + 1) % n)]);
        }
        for (int32_t k = 0; k < n; ++k) {
            const size_t a = static_cast<size_t>(k), b = static_cast<size_t>((k + 1) % n);
            AddFace({apex, rim[b], rim[a]}, {spoke[a], edge[a], spoke[b]}, 2);
        }
    }

    // One face: a band of `corners` corners (even) wound `turns` times, out
    // along its outer edge and back along its inner one.
    void Spiral(int32_t corners, double turns) {
        BeginObject();
        const double pi = std::acos(-1.0);
        const int32_t steps = corners / 2 - 1;
        std::vector<int32_t> loop;
        for (int32_t side = 0; side < 2; ++side) {
            for (int32_t s = 0; s <= steps; ++s) {
                const int32_t k = side == 0 ? s : steps - s;
                const double a = 2 * pi * turns * k / steps;
                const double r = 1 + a + (side == 0 ? 1.0 : 0.5);
                loop.push_back(AddPoint({r * std::cos(a), 0, r * std::sin(a)}));
            }
        }
        std::vector<int32_t> edges;
        for (size_t k = 0; k < loop.size(); ++k) {
            edges.push_back(AddLine(loop[k], loop[(k + 1) % loop.size()]));
        }
        AddFace(loop, edges, 3);
    }

    void Generate(size_t targetBytes) {
        while (ModelBytes() < targetBytes) {
            const int32_t kind = Uniform(0, 9);
            if (kind < 5) {
                Torus();
            } else if (kind < 9) {
                Sheet();
            } else {
                Polyline();
            }
        }
    }
};
