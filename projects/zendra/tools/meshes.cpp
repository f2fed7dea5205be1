// Meshes: procedural shapes from content/meshes.txt, written as triangulated .obj files
// with normals and a .mtl library each.

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>

#include "common.h"
#include "generator.h"

namespace datagen {

namespace {

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Normalize(V3 a) {
    double l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0 / l) : V3{0, 1, 0};
}

constexpr double kPi = std::numbers::pi;

// A triangle soup with per-corner normals and a material per triangle.
class MeshBuilder {
public:
    int Material(const std::string& name) {
        for (size_t i = 0; i < mMaterials.size(); ++i)
            if (mMaterials[i] == name)
                return static_cast<int>(i);
        mMaterials.push_back(name);
        return static_cast<int>(mMaterials.size()) - 1;
    }

    // A flat triangle, wound counter-clockwise seen from outside (normal = (b-a)x(c-a)).
    void Flat(V3 a, V3 b, V3 c, int material) {
        V3 n = Normalize(Cross(b - a, c - a));
        Smooth(a, b, c, n, n, n, material);
    }

    void Smooth(V3 a, V3 b, V3 c, V3 na, V3 nb, V3 nc, int material) {
        Triangle t;
        t.corners = {Corner{a, na}, Corner{b, nb}, Corner{c, nc}};
        t.material = material;
        mTriangles.push_back(t);
    }

    // A flat quad a b c d (counter-clockwise).
    void Quad(V3 a, V3 b, V3 c, V3 d, int material) {
        Flat(a, b, c, material);
        Flat(a, c, d, material);
    }

    // Closed convex polyhedron through its faces; faces oriented away from `centre`.
    void OrientedFlat(V3 a, V3 b, V3 c, V3 centre, int material) {
        if (Dot(Cross(b - a, c - a), a - centre) < 0)
            std::swap(b, c);
        Flat(a, b, c, material);
    }

    std::string Obj(const std::string& mtlName, const std::string& comment) const {
        // Positions and normals are shared where equal, so the file stays compact.
        std::ostringstream out;
        out.setf(std::ios::fixed);
        out.precision(5);
        out << "# " << comment << "\n";
        out << "mtllib " << mtlName << "\n";
        std::map<std::array<long long, 3>, int> positions, normals;
        std::vector<V3> plist, nlist;
        auto key = [](V3 v, double scale) {
            return std::array<long long, 3>{std::llround(v.x * scale), std::llround(v.y * scale),
                                            std::llround(v.z * scale)};
        };
        auto index = [&](std::map<std::array<long long, 3>, int>& map, std::vector<V3>& list, V3 v, double scale) {
            auto [it, inserted] = map.emplace(key(v, scale), static_cast<int>(list.size()) + 1);
            if (inserted)
                list.push_back(v);
            return it->second;
        };
        std::vector<std::array<int, 6>> faces;
        for (const Triangle& t : mTriangles) {
            std::array<int, 6> f{};
            for (int k = 0; k < 3; ++k) {
                f[k * 2] = index(positions, plist, t.corners[k].position, 1e5);
                f[k * 2 + 1] = index(normals, nlist, t.corners[k].normal, 1e5);
            }
            faces.push_back(f);
        }
        for (V3 p : plist)
            out << "v " << p.x << " " << p.y << " " << p.z << "\n";
        for (V3 n : nlist)
            out << "vn " << n.x << " " << n.y << " " << n.z << "\n";
        // Grouped by material, in the order the materials were first used.
        for (size_t m = 0; m < mMaterials.size(); ++m) {
            out << "usemtl " << mMaterials[m] << "\n";
            for (size_t i = 0; i < mTriangles.size(); ++i) {
                if (mTriangles[i].material != static_cast<int>(m))
                    continue;
                const auto& f = faces[i];
                out << "f " << f[0] << "//" << f[1] << " " << f[2] << "//" << f[3] << " " << f[4] << "//" << f[5]
                    << "\n";
            }
        }
        return out.str();
    }

    const std::vector<std::string>& Materials() const { return mMaterials; }
    size_t TriangleCount() const { return mTriangles.size(); }

private:
    struct Corner {
        V3 position, normal;
    };
    struct Triangle {
        std::array<Corner, 3> corners;
        int material;
    };
    std::vector<Triangle> mTriangles;
    std::vector<std::string> mMaterials;
};

using Params = std::map<std::string, double>;

double Get(const Params& p, const std::string& key, double fallback) {
    auto it = p.find(key);
    return it == p.end() ? fallback : it->second;
}

// Box from its centre and half sizes, flat faces.
void Box(MeshBuilder& m, V3 c, V3 h, int material) {
    V3 p[8];
    for (int i = 0; i < 8; ++i)
        p[i] = {c.x + ((i & 1) ? h.x : -h.x), c.y + ((i & 2) ? h.y : -h.y), c.z + ((i & 4) ? h.z : -h.z)};
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        V3 a = p[f[0]], b = p[f[1]], cc = p[f[2]], d = p[f[3]];
        V3 n = Cross(b - a, cc - a);
        if (Dot(n, a - c) < 0)
            m.Quad(a, d, cc, b, material);
        else
            m.Quad(a, b, cc, d, material);
    }
}

// A prism with `sides` faces around an axis from a to b, optional pointed ends.
void Prism(MeshBuilder& m, V3 a, V3 b, double radius, int sides, double tipA, double tipB, int material,
           double twist = 0) {
    V3 axis = Normalize(b - a);
    V3 helper = std::fabs(axis.y) < 0.9 ? V3{0, 1, 0} : V3{1, 0, 0};
    V3 u = Normalize(Cross(axis, helper)), w = Cross(axis, u);
    auto ring = [&](V3 centre, int i) {
        double ang = 2 * kPi * i / sides + twist;
        return centre + u * (radius * std::cos(ang)) + w * (radius * std::sin(ang));
    };
    V3 centre = (a + b) * 0.5;
    V3 endA = a - axis * tipA, endB = b + axis * tipB;
    for (int i = 0; i < sides; ++i) {
        V3 a0 = ring(a, i), a1 = ring(a, i + 1), b0 = ring(b, i), b1 = ring(b, i + 1);
        m.OrientedFlat(a0, a1, b1, centre, material);
        m.OrientedFlat(a0, b1, b0, centre, material);
        m.OrientedFlat(a0, a1, endA, centre, material);
        m.OrientedFlat(b0, b1, endB, centre, material);
    }
}

// Icosphere vertices and faces.
void Icosphere(int subdivisions, std::vector<V3>& verts, std::vector<std::array<int, 3>>& faces) {
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    verts = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
             {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (V3& v : verts)
        v = Normalize(v);
    faces = {{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
             {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
             {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (int s = 0; s < subdivisions; ++s) {
        std::map<std::pair<int, int>, int> mid;
        auto middle = [&](int a, int b) {
            auto k = std::minmax(a, b);
            auto it = mid.find(k);
            if (it != mid.end())
                return it->second;
            verts.push_back(Normalize((verts[a] + verts[b]) * 0.5));
            return mid[k] = static_cast<int>(verts.size()) - 1;
        };
        std::vector<std::array<int, 3>> next;
        for (const auto& f : faces) {
            int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
            next.push_back({f[0], ab, ca});
            next.push_back({f[1], bc, ab});
            next.push_back({f[2], ca, bc});
            next.push_back({ab, bc, ca});
        }
        faces = next;
    }
}

void Diamond(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const double r = Get(p, "radius", 10);
    const int n = static_cast<int>(Get(p, "facets", 16));
    const double tableR = r * 0.55, tableY = r * 0.36, culetY = -r * 0.95, starR = r * 0.8, starY = r * 0.2;
    V3 top{0, tableY, 0}, bottom{0, culetY, 0};
    auto at = [&](double radius, double y, double i) {
        double a = 2 * kPi * i / n;
        return V3{radius * std::cos(a), y, radius * std::sin(a)};
    };
    V3 centre{0, 0, 0};
    for (int i = 0; i < n; ++i) {
        V3 t0 = at(tableR, tableY, i), t1 = at(tableR, tableY, i + 1);
        V3 s = at(starR, starY, i + 0.5);
        V3 g0 = at(r, 0, i), g1 = at(r, 0, i + 1);
        m.OrientedFlat(top, t0, t1, centre, mats[0]);              // table
        m.OrientedFlat(t0, t1, s, centre, mats[1 % mats.size()]);  // star facets
        m.OrientedFlat(t0, s, g0, centre, mats[1 % mats.size()]);
        m.OrientedFlat(t1, g1, s, centre, mats[1 % mats.size()]);
        m.OrientedFlat(s, g0, g1, centre, mats[1 % mats.size()]);
        V3 pm = at(r * 0.45, culetY * 0.55, i + 0.5);  // pavilion
        m.OrientedFlat(g0, g1, pm, centre, mats[0]);
        m.OrientedFlat(g0, pm, bottom, centre, mats[0]);
        m.OrientedFlat(g1, bottom, pm, centre, mats[0]);
    }
}

void Kuben(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const double half = Get(p, "half", 7);
    const double gap = Get(p, "gap", 0.35);
    const double cell = 2 * half / 3;
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            for (int z = 0; z < 3; ++z) {
                if (x == 1 && y == 1 && z == 1)
                    continue;
                V3 c{-half + cell * (x + 0.5), -half + cell * (y + 0.5), -half + cell * (z + 0.5)};
                double h = cell * 0.5 - gap;
                Box(m, c, {h, h, h}, mats[(x + y + z) % mats.size()]);
            }
    Box(m, {0, 0, 0}, {cell * 0.5, cell * 0.5, cell * 0.5}, mats.back());
}

void Station(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const double ringR = Get(p, "ring", 9), tube = Get(p, "tube", 1.2);
    const int hull = mats[0], panel = mats[1 % mats.size()], lights = mats[2 % mats.size()];
    const int segments = 36, around = 10;
    auto torus = [&](int i, int j) {
        double a = 2 * kPi * i / segments, b = 2 * kPi * j / around;
        V3 centre{ringR * std::cos(a), 0, ringR * std::sin(a)};
        V3 out = Normalize(centre);
        V3 pos = centre + out * (tube * std::cos(b)) + V3{0, tube * std::sin(b), 0};
        V3 normal = out * std::cos(b) + V3{0, std::sin(b), 0};
        return std::pair{pos, normal};
    };
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < around; ++j) {
            auto [p00, n00] = torus(i, j);
            auto [p10, n10] = torus(i + 1, j);
            auto [p11, n11] = torus(i + 1, j + 1);
            auto [p01, n01] = torus(i, j + 1);
            int mat = (i % 6 == 0) ? lights : hull;
            m.Smooth(p00, p01, p11, n00, n01, n11, mat);
            m.Smooth(p00, p11, p10, n00, n11, n10, mat);
        }
    Prism(m, {0, -4.5, 0}, {0, 4.5, 0}, 2.0, 12, 1.5, 1.5, hull);
    for (int k = 0; k < 4; ++k) {
        double a = kPi / 2 * k + kPi / 4;
        V3 dir{std::cos(a), 0, std::sin(a)};
        Prism(m, dir * 2.0, dir * (ringR - tube * 0.8), 0.35, 6, 0, 0, hull);
    }
    for (int side : {-1, 1}) {
        Prism(m, {0, side * 6.0, 0}, {0, side * 7.5, 0}, 0.25, 6, 0, 0, hull);
        Box(m, {0, side * 9.5, 0}, {5.5, 0.08, 1.6}, panel);
    }
    Box(m, {0, 0, 0}, {2.3, 0.4, 2.3}, lights);
}

void Sphere(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    std::vector<V3> verts;
    std::vector<std::array<int, 3>> faces;
    Icosphere(static_cast<int>(Get(p, "subdivisions", 3)), verts, faces);
    const double r = Get(p, "radius", 10);
    for (const auto& f : faces) {
        V3 a = verts[f[0]], b = verts[f[1]], c = verts[f[2]];
        if (Dot(Cross(b - a, c - a), a) < 0)
            std::swap(b, c);
        m.Smooth(a * r, b * r, c * r, a, b, c, mats[0]);
    }
}

// Hexagonal crystals radiating from the centre.
void CrystalCluster(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const int count = static_cast<int>(Get(p, "count", 6));
    const double length = Get(p, "length", 11), radius = Get(p, "radius", 1.8);
    Rng rng(static_cast<uint64_t>(Get(p, "seed", 6)));
    for (int i = 0; i < count; ++i) {
        V3 dir;
        if (i == 0) {
            dir = {0, 1, 0};
        } else {
            double a = 2 * kPi * (i - 1) / (count - 1) + rng.Signed() * 0.3;
            double elevation = 0.25 + rng.Uniform() * 0.6;
            dir = Normalize({std::cos(a), elevation, std::sin(a)});
        }
        double len = length * (i == 0 ? 1.0 : 0.55 + rng.Uniform() * 0.35);
        double rad = radius * (i == 0 ? 1.0 : 0.6 + rng.Uniform() * 0.3);
        V3 start = dir * (-len * 0.25);
        Prism(m, start, dir * len, rad, 6, rad * 0.6, rad * 2.2, mats[i % mats.size()], rng.Uniform());
    }
}

// One crystal shape per material, long along +X from the origin (the crystals are set
// along growth paths with their X axis on the path).
void SmallCrystals(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const double length = Get(p, "length", 2.4), radius = Get(p, "radius", 0.28);
    for (size_t k = 0; k < mats.size(); ++k) {
        int mat = mats[k];
        switch (k % 4) {
            case 0:  // single point
                Prism(m, {0, 0, 0}, {length * 0.7, 0, 0}, radius, 6, 0, length * 0.3, mat);
                break;
            case 1:  // double point, thinner
                Prism(m, {length * 0.2, 0, 0}, {length * 0.75, 0, 0}, radius * 0.8, 6, length * 0.2, length * 0.25,
                      mat);
                break;
            case 2:  // shard: a stretched three-sided point
                Prism(m, {0, 0, 0}, {length * 0.3, 0, 0}, radius * 1.2, 3, 0, length * 0.7, mat);
                break;
            default:  // small cluster of three
                for (int j = 0; j < 3; ++j) {
                    double a = 2 * kPi * j / 3;
                    V3 dir = Normalize({1.0, 0.45 * std::cos(a), 0.45 * std::sin(a)});
                    Prism(m, {0, 0, 0}, dir * (length * 0.5), radius * 0.6, 6, 0, length * 0.2, mat);
                }
        }
    }
}

void Pyramid(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    const double half = Get(p, "half", 1.2), height = Get(p, "height", 2.6);
    V3 apex{0, height * 0.75, 0};
    V3 b[4] = {{-half, -height * 0.25, -half},
               {half, -height * 0.25, -half},
               {half, -height * 0.25, half},
               {-half, -height * 0.25, half}};
    V3 centre{0, 0, 0};
    for (int i = 0; i < 4; ++i)
        m.OrientedFlat(b[i], b[(i + 1) % 4], apex, centre, mats[0]);
    m.OrientedFlat(b[0], b[1], b[2], centre, mats[1 % mats.size()]);
    m.OrientedFlat(b[0], b[2], b[3], centre, mats[1 % mats.size()]);
}

// A geodesic lattice of thin struts and small nodes: the background.
void Lattice(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    std::vector<V3> verts;
    std::vector<std::array<int, 3>> faces;
    Icosphere(static_cast<int>(Get(p, "subdivisions", 2)), verts, faces);
    const double r = Get(p, "radius", 150), strut = Get(p, "strut", 0.45);
    std::map<std::pair<int, int>, bool> edges;
    for (const auto& f : faces)
        for (int k = 0; k < 3; ++k)
            edges[std::minmax(f[k], f[(k + 1) % 3])] = true;
    for (const auto& [e, unused] : edges)
        Prism(m, verts[e.first] * r, verts[e.second] * r, strut, 3, 0, 0, mats[0]);
    for (const V3& v : verts)
        Box(m, v * r, {strut * 2.5, strut * 2.5, strut * 2.5}, mats[1 % mats.size()]);
}

// The reference tetrahedron of the simulation, one corner per row as the program keeps it,
// shrunk about its centre by "scale": the simulation moves the reference frame, the drawn
// shard sits inside it.
void Tetra(MeshBuilder& m, const Params& p, const std::vector<int>& mats) {
    V3 c[4] = {{-5.479541, -3.894634, -9.490854},
               {-5.479542, -3.894634, 9.490853},
               {10.959098, -3.894634, 0},
               {0.000005, 11.603864, 0}};
    V3 centre = (c[0] + c[1] + c[2] + c[3]) * 0.25;
    const double scale = Get(p, "scale", 1.0);
    for (V3& corner : c)
        corner = centre + (corner - centre) * scale;
    m.OrientedFlat(c[0], c[1], c[2], centre, mats[0]);
    m.OrientedFlat(c[0], c[1], c[3], centre, mats[0]);
    m.OrientedFlat(c[1], c[2], c[3], centre, mats[0]);
    m.OrientedFlat(c[0], c[2], c[3], centre, mats[0]);
}

struct MaterialDef {
    std::string text;  // the .mtl lines after "newmtl"
};

}  // namespace

void WriteMeshes(const std::filesystem::path& recipes, const std::filesystem::path& dataDir) {
    const std::string file = recipes.string();
    std::vector<std::string> lines = SplitLines(ReadTextFile(recipes));
    std::map<std::string, MaterialDef> materials;
    using Shape = std::function<void(MeshBuilder&, const Params&, const std::vector<int>&)>;
    const std::map<std::string, Shape> shapes = {
        {"diamond", Diamond},
        {"kuben", Kuben},
        {"station", Station},
        {"sphere", Sphere},
        {"crystals", CrystalCluster},
        {"smallcrystals", SmallCrystals},
        {"pyramid", Pyramid},
        {"lattice", Lattice},
        {"tetra", Tetra},
    };
    int meshes = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        int line = static_cast<int>(n) + 1;
        std::vector<std::string> t = Tokenize(lines[n]);
        if (t.empty())
            continue;
        if (t[0] == "material") {
            // material <name> Kd r g b Ka r g b Ks r g b Ns n d a
            if (t.size() < 2)
                Fail(file, line, "material <name> [Ka|Kd|Ks r g b] [Ns n] [d a]");
            std::ostringstream mtl;
            for (size_t i = 2; i < t.size();) {
                const std::string& k = t[i];
                size_t values = (k == "Ka" || k == "Kd" || k == "Ks")     ? 3
                                : (k == "Ns" || k == "d" || k == "illum") ? 1
                                                                          : 0;
                if (values == 0 || i + values >= t.size())
                    Fail(file, line, "unknown or incomplete material property '" + k + "'");
                mtl << k;
                for (size_t v = 1; v <= values; ++v) {
                    ParseNumber(t[i + v], file, line);
                    mtl << " " << t[i + v];
                }
                mtl << "\n";
                i += values + 1;
            }
            materials[t[1]].text = mtl.str();
        } else if (t[0] == "mesh") {
            // mesh <file.obj> <shape> materials=a,b,... [key=value]...
            if (t.size() < 4)
                Fail(file, line, "mesh <file.obj> <shape> materials=<name>[,<name>...] [key=value]...");
            auto shape = shapes.find(t[2]);
            if (shape == shapes.end())
                Fail(file, line, "unknown shape '" + t[2] + "'");
            Params params;
            std::vector<std::string> names;
            for (size_t i = 3; i < t.size(); ++i) {
                size_t eq = t[i].find('=');
                if (eq == std::string::npos)
                    Fail(file, line, "expected key=value, got '" + t[i] + "'");
                std::string key = t[i].substr(0, eq), value = t[i].substr(eq + 1);
                if (key == "materials") {
                    std::stringstream list(value);
                    std::string item;
                    while (std::getline(list, item, ','))
                        names.push_back(item);
                } else {
                    params[key] = ParseNumber(value, file, line);
                }
            }
            if (names.empty())
                Fail(file, line, "a mesh needs at least one material");
            MeshBuilder builder;
            std::vector<int> mats;
            for (const std::string& name : names) {
                if (!materials.count(name))
                    Fail(file, line, "material '" + name + "' is not defined above");
                mats.push_back(builder.Material(name));
            }
            shape->second(builder, params, mats);
            std::string obj = t[1];
            std::string mtlName = obj.substr(0, obj.rfind('.')) + ".mtl";
            WriteFile(dataDir / obj, builder.Obj(mtlName, obj + ": " + t[2] + ", " +
                                                              std::to_string(builder.TriangleCount()) + " triangles"));
            std::ostringstream mtl;
            mtl << "# materials of " << obj << "\n";
            for (const std::string& name : builder.Materials())
                mtl << "newmtl " << name << "\n" << materials[name].text << "\n";
            WriteFile(dataDir / mtlName, mtl.str());
            ++meshes;
        } else {
            Fail(file, line, "unknown word '" + t[0] + "'");
        }
    }
    if (meshes == 0)
        Fail(file, static_cast<int>(lines.size()), "no meshes");
}

}  // namespace datagen
