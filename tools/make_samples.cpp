// Writes the bundled sample models and their texture bitmaps:
//
//   make_samples DATA_FOLDER
//
// gives DATA_FOLDER/*.rsm and DATA_FOLDER/texture/*.bmp, the layout of the game's data
// folder. The models are built in the layout game files use: a 31-byte header
// ("GRSM", version 1.4), the texture table, a first block with the main node's name
// and the mesh count, mesh blocks each followed by a key count, and a closing count
// of 0. As in game files, -Y is up. Each first mesh's bounding box is centred on the
// origin, since the viewer centres the first mesh only and draws the others where
// the file puts them.
//
//   house.rsm     one mesh, two textures (24-bit bricks with door and windows,
//                 8-bit roof tiles)
//   windmill.rsm  four meshes, four textures; "mill_sail.bmp" is missing on purpose
//                 (the viewer shows its stand-by bitmap), and the sails' mesh name
//                 is Korean in CP949; the sails carry two key records
//   tree.rsm      trunk and crossed leaf cards whose 8-bit texture has pure magenta
//                 (255, 0, 255) around the leaves, drawn transparent
//   fountain.rsm  a turned stone fountain with water, a few thousand faces
//
// Everything is computed, nothing random: running it again gives the same bytes.
#include <array>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "model/rsm_model.h"

namespace {

using plovant::RsmFace;
using plovant::RsmTexVertex;
using plovant::RsmVertex;

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------
// Bitmaps

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

constexpr Rgb kMagenta{255, 0, 255};

// A deterministic value in [0, 1) for a cell and a seed.
double Noise(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFFFF) / double(0x1000000);
}

// Smooth noise: bilinear between the cells of a grid of `cell` pixels, wrapping at
// `period` cells so that textures tile.
double Smooth(double x, double y, int cell, int period, int seed) {
    const double fx = x / cell, fy = y / cell;
    const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    auto at = [&](int cx, int cy) {
        return Noise(((cx % period) + period) % period, ((cy % period) + period) % period, seed);
    };
    const double a = at(x0, y0) * (1 - tx) + at(x0 + 1, y0) * tx;
    const double b = at(x0, y0 + 1) * (1 - tx) + at(x0 + 1, y0 + 1) * tx;
    return a * (1 - ty) + b * ty;
}

Rgb Shade(Rgb c, double f) {
    auto ch = [f](uint8_t v) { return uint8_t(std::clamp(v * f, 0.0, 255.0)); };
    return {ch(c.r), ch(c.g), ch(c.b)};
}

Rgb Mix(Rgb a, Rgb b, double t) {
    auto ch = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b)};
}

struct Image {
    int width, height;
    std::vector<Rgb> pixels;  // top row first

    Image(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
    Rgb& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }

    void fill(int x0, int y0, int x1, int y1, const std::function<Rgb(int, int)>& paint) {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y) {
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x) at(x, y) = paint(x, y);
        }
    }
};

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// File and info headers of a bottom-up Windows bitmap (BITMAPINFOHEADER).
std::vector<uint8_t> BmpHeaders(int width, int height, int bits, int colours, uint32_t image_size) {
    std::vector<uint8_t> out;
    const uint32_t offset = 14 + 40 + 4 * uint32_t(colours);
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, offset + image_size);
    PutLe32(out, 0);
    PutLe32(out, offset);
    PutLe32(out, 40);
    PutLe32(out, uint32_t(width));
    PutLe32(out, uint32_t(height));
    PutLe16(out, 1);
    PutLe16(out, uint32_t(bits));
    PutLe32(out, 0);  // BI_RGB
    PutLe32(out, image_size);
    PutLe32(out, 2835);  // 72 dots per inch
    PutLe32(out, 2835);
    PutLe32(out, uint32_t(colours));
    PutLe32(out, 0);
    return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
    std::printf("wrote %s (%zu bytes)\n", path.string().c_str(), bytes.size());
}

void WriteBmp24(const std::filesystem::path& path, const Image& image) {
    const int row = (image.width * 3 + 3) & ~3;
    std::vector<uint8_t> out = BmpHeaders(image.width, image.height, 24, 0, uint32_t(row * image.height));
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = image.pixels[std::size_t(y) * image.width + x];
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        out.resize(start + std::size_t(row), 0);
    }
    WriteFile(path, out);
}

// An 8-bit palettized bitmap: every pixel takes the nearest colour of `palette`.
void WriteBmp8(const std::filesystem::path& path, const Image& image,
               const std::vector<Rgb>& palette) {
    const int row = (image.width + 3) & ~3;
    std::vector<uint8_t> out =
        BmpHeaders(image.width, image.height, 8, int(palette.size()), uint32_t(row * image.height));
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            const Rgb c = image.pixels[std::size_t(y) * image.width + x];
            int best = 0, best_distance = INT32_MAX;
            for (int i = 0; i < int(palette.size()); ++i) {
                const int dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < best_distance) best = i, best_distance = d;
            }
            out.push_back(uint8_t(best));
        }
        out.resize(start + std::size_t(row), 0);
    }
    WriteFile(path, out);
}

// A palette of `steps` shades between each pair of neighbouring colours in `ramp`.
std::vector<Rgb> Ramp(const std::vector<Rgb>& ramp, int steps) {
    std::vector<Rgb> palette;
    for (std::size_t i = 0; i + 1 < ramp.size(); ++i) {
        for (int s = 0; s < steps; ++s) palette.push_back(Mix(ramp[i], ramp[i + 1], double(s) / steps));
    }
    palette.push_back(ramp.back());
    return palette;
}

// Red bricks in mortar, 8 px high, tiling horizontally.
Rgb Brick(int x, int y) {
    const int course = y / 8;
    const int bx = (x + (course % 2) * 8) % 16;
    if (y % 8 == 7 || bx == 15) return Shade({190, 184, 170}, 0.85 + 0.15 * Noise(x, y, 1));
    const double tone = 0.8 + 0.25 * Noise((x + (course % 2) * 8) / 16, course, 2);
    return Shade(Shade({168, 74, 52}, tone), 0.92 + 0.1 * Noise(x, y, 3));
}

// Left half: bricks with a window; right half: bricks with a door. 128 x 64.
Image HouseWall() {
    Image img(128, 64);
    img.fill(0, 0, 128, 64, Brick);
    auto window = [&](int x0) {
        img.fill(x0 - 2, 20, x0 + 22, 44, [](int, int) { return Rgb{240, 236, 226}; });
        img.fill(x0, 22, x0 + 20, 42, [](int x, int y) {
            const bool bar = (x % 10 == 4 || x % 10 == 5) || (y == 31 || y == 32);
            return bar ? Rgb{240, 236, 226} : Mix(Rgb{70, 110, 160}, Rgb{170, 200, 230}, (42 - y) / 24.0);
        });
    };
    window(22);
    img.fill(86, 22, 110, 64, [](int x, int y) {
        if (x < 88 || x >= 108 || y < 24) return Rgb{92, 60, 36};
        const Rgb wood = Shade({124, 78, 40}, 0.85 + 0.2 * Noise(x / 5, y / 3, 4));
        return (x - 88) % 5 == 0 ? Shade(wood, 0.7) : wood;
    });
    img.fill(104, 44, 106, 46, [](int, int) { return Rgb{220, 190, 80}; });  // knob
    return img;
}

// Rows of dark red roof tiles. 64 x 64, 8-bit.
Image HouseRoof() {
    Image img(64, 64);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        const int row = y / 8;
        const int tx = (x + (row % 2) * 4) % 8;
        const double curve = 1.0 - 0.35 * std::pow((tx - 3.5) / 4.0, 2) - 0.25 * (y % 8) / 8.0;
        return Shade({150, 52, 40}, curve * (0.9 + 0.15 * Noise(x / 8, row, 5)));
    });
    return img;
}

// Whitewashed plaster with a few stones, a door at u 0..1/8 and a window at u 4/8.
Image MillWall() {
    Image img(128, 128);
    img.fill(0, 0, 128, 128, [](int x, int y) {
        const double n = Smooth(x, y, 8, 16, 6);
        Rgb c = Shade({236, 230, 214}, 0.85 + 0.15 * n);
        if (Smooth(x, y, 5, 128 / 5 + 1, 7) > 0.78) c = Shade({150, 146, 138}, 0.9 + 0.2 * n);
        return c;
    });
    img.fill(3, 70, 13, 128, [](int x, int y) {
        const Rgb wood = Shade({110, 70, 36}, 0.85 + 0.2 * Noise(x / 3, y / 4, 8));
        return (x - 3) % 3 == 0 ? Shade(wood, 0.75) : wood;
    });
    img.fill(67, 30, 77, 44, [](int, int y) { return Mix(Rgb{40, 50, 70}, Rgb{90, 110, 140}, (44 - y) / 14.0); });
    return img;
}

// Straw thatch for the cap. 64 x 64, 24-bit.
Image MillRoof() {
    Image img(64, 64);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        const double strand = Noise(x, y / 6, 9);
        const double band = (y % 12) < 2 ? 0.75 : 1.0;
        return Shade({196, 160, 88}, band * (0.75 + 0.35 * strand));
    });
    return img;
}

// Weathered planks running across. 64 x 64, 24-bit.
Image Wood() {
    Image img(64, 64);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        if (y % 16 == 15) return Rgb{60, 38, 22};
        const double grain = 0.5 + 0.5 * std::sin((x + 14 * Noise(0, y / 16, 10)) * 0.35 + Noise(x / 6, y, 11));
        return Shade({140, 96, 56}, 0.8 + 0.25 * grain);
    });
    return img;
}

// Vertical furrows of bark. 32 x 64, 24-bit.
Image Bark() {
    Image img(32, 64);
    img.fill(0, 0, 32, 64, [](int x, int y) {
        const double furrow = 0.5 + 0.5 * std::sin(x * 2 * kPi / 8 + 1.5 * Smooth(x, y, 8, 8, 12));
        return Shade({98, 72, 48}, 0.6 + 0.45 * furrow * (0.8 + 0.2 * Noise(x, y, 13)));
    });
    return img;
}

// A crown of leaves on pure magenta, which the viewer draws transparent. 64 x 64.
Image Leaves() {
    Image img(64, 64, kMagenta);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        const double dx = (x - 31.5) / 30.0, dy = (y - 34.0) / 28.0;
        const double edge = 0.75 + 0.35 * Smooth(x, y, 6, 64, 14);
        if (dx * dx + dy * dy > edge * edge || y < 4) return kMagenta;
        const double light = 1.1 - 0.5 * (y / 64.0) + 0.3 * (Noise(x / 2, y / 2, 15) - 0.5);
        return Shade({58, 128, 46}, light);
    });
    return img;
}

// Grey stone blocks. 64 x 64, 8-bit.
Image Stone() {
    Image img(64, 64);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        const int course = y / 16;
        const int bx = (x + (course % 2) * 16) % 32;
        if (y % 16 == 15 || bx == 31) return Rgb{96, 96, 92};
        return Shade({178, 174, 164}, 0.8 + 0.15 * Smooth(x, y, 4, 16, 16) + 0.1 * Noise(x, y, 17));
    });
    return img;
}

// Rippled water. 64 x 64, 24-bit.
Image Water() {
    Image img(64, 64);
    img.fill(0, 0, 64, 64, [](int x, int y) {
        const double ripple = 0.5 + 0.5 * std::sin((x + 6 * Smooth(x, y, 8, 8, 18)) * 2 * kPi / 16);
        return Mix(Rgb{40, 96, 150}, Rgb{150, 200, 235}, 0.15 + 0.5 * ripple * Smooth(x, y, 16, 4, 19));
    });
    return img;
}

// ---------------------------------------------------------------------------------
// Meshes

// A point given as horizontal x, y and height. Game files hold models with -Y up;
// the horizontal y becomes the file's Z, and +Z is the side that faces the viewer's
// camera when the model is first shown.
RsmVertex P(double x, double y, double height) {
    return {float(x), float(-height), float(y)};
}

struct UV {
    double u, v;
};

struct Mesh {
    std::string name;
    std::string parent;  // as bytes of the game's code page
    std::vector<int32_t> texture_ids;
    std::vector<RsmVertex> vertices;
    std::vector<RsmTexVertex> tex_vertices;
    std::vector<RsmFace> faces;
    std::vector<std::array<uint8_t, 20>> keys;

    // Adds a vertex with its own texture vertex at the same index, so that a 3DS
    // reader, which pairs texture vertex i with vertex i, gets the right mapping.
    int16_t vertex(const RsmVertex& p, UV uv) {
        vertices.push_back(p);
        RsmTexVertex t;
        t.Extra = {0xFF, 0xFF, 0xFF, 0xFF};
        t.U = float(uv.u);
        t.V = float(uv.v);
        tex_vertices.push_back(t);
        return int16_t(vertices.size() - 1);
    }

    // A triangle whose normal (P1 - P0) x (P2 - P0) points away from `inside`.
    void triangle(int16_t a, int16_t b, int16_t c, int16_t slot, const RsmVertex& inside,
                  bool two_sided = false) {
        const RsmVertex& p0 = vertices[a];
        const RsmVertex& p1 = vertices[b];
        const RsmVertex& p2 = vertices[c];
        const double ux = p1.X - p0.X, uy = p1.Y - p0.Y, uz = p1.Z - p0.Z;
        const double vx = p2.X - p0.X, vy = p2.Y - p0.Y, vz = p2.Z - p0.Z;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double out = nx * (p0.X - inside.X) + ny * (p0.Y - inside.Y) + nz * (p0.Z - inside.Z);
        if (out < 0) std::swap(b, c);
        RsmFace f;
        f.V0 = f.T0 = a;
        f.V1 = f.T1 = b;
        f.V2 = f.T2 = c;
        f.TextureSlot = slot;
        f.FaceTail[2] = two_sided ? 1 : 0;  // the two-sided flag of game files
        faces.push_back(f);
    }

    // A quad p0 p1 p2 p3 (in order around it) with its own four vertices.
    void quad(std::array<RsmVertex, 4> p, std::array<UV, 4> uv, int16_t slot,
              const RsmVertex& inside, bool two_sided = false) {
        int16_t i[4];
        for (int k = 0; k < 4; ++k) i[k] = vertex(p[k], uv[k]);
        triangle(i[0], i[1], i[2], slot, inside, two_sided);
        triangle(i[0], i[2], i[3], slot, inside, two_sided);
    }

    // A surface of revolution about the vertical axis through (cx, cy): `profile`
    // holds (radius, height) pairs; texture u runs around, v along the profile.
    void lathe(const std::vector<std::pair<double, double>>& profile, int segments, int16_t slot,
               double cx = 0, double cy = 0, double v_repeat = 1.0) {
        std::vector<double> along{0};
        for (std::size_t i = 1; i < profile.size(); ++i) {
            along.push_back(along.back() + std::hypot(profile[i].first - profile[i - 1].first,
                                                      profile[i].second - profile[i - 1].second));
        }
        const int first = int(vertices.size());
        for (std::size_t i = 0; i < profile.size(); ++i) {
            for (int s = 0; s <= segments; ++s) {
                const double a = 2 * kPi * s / segments;
                const auto [r, h] = profile[i];
                vertex(P(cx + r * std::cos(a), cy + r * std::sin(a), h),
                       {double(s) / segments, v_repeat * along[i] / along.back()});
            }
        }
        const int row = segments + 1;
        for (std::size_t i = 0; i + 1 < profile.size(); ++i) {
            // The inside of each band: a point on the axis at the band's mean height.
            const RsmVertex axis = P(cx, cy, (profile[i].second + profile[i + 1].second) / 2);
            const bool inward = profile[i + 1].second < profile[i].second - 1e-9 ||
                                (std::abs(profile[i + 1].second - profile[i].second) < 1e-9 &&
                                 profile[i + 1].first < profile[i].first);
            for (int s = 0; s < segments; ++s) {
                const int16_t a = int16_t(first + int(i) * row + s), b = int16_t(a + 1);
                const int16_t c = int16_t(a + row), d = int16_t(c + 1);
                // Faces that look inwards (the inner wall of a basin) keep the order
                // they get from the profile; outer ones are turned outwards.
                if (inward) {
                    addRaw(a, c, b, slot);
                    addRaw(b, c, d, slot);
                } else {
                    if (profile[i].first > 1e-9) triangle(a, b, c, slot, axis);
                    if (profile[i + 1].first > 1e-9) triangle(b, d, c, slot, axis);
                }
            }
        }
    }

    void addRaw(int16_t a, int16_t b, int16_t c, int16_t slot) {
        RsmFace f;
        f.V0 = f.T0 = a;
        f.V1 = f.T1 = b;
        f.V2 = f.T2 = c;
        f.TextureSlot = slot;
        faces.push_back(f);
    }

    // A flat disc at `height` made of a fan of `segments` triangles.
    void disc(double cx, double cy, double radius, double height, int segments, int16_t slot) {
        const int16_t centre = vertex(P(cx, cy, height), {0.5, 0.5});
        const RsmVertex below = P(cx, cy, height - 1);
        int16_t previous = -1, first = -1;
        for (int s = 0; s <= segments; ++s) {
            const double a = 2 * kPi * s / segments;
            const int16_t v = s == segments ? first
                                            : vertex(P(cx + radius * std::cos(a), cy + radius * std::sin(a), height),
                                                     {0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(a)});
            if (s == 0) first = v;
            if (previous >= 0) triangle(centre, previous, v, slot, below);
            previous = v;
        }
    }

    // An axis-aligned box; each side's texture spans `uv_span` of the texture.
    void box(double x0, double y0, double h0, double x1, double y1, double h1, int16_t slot,
             UV uv_span = {1, 1}, bool top = true, bool bottom = false) {
        const RsmVertex inside = P((x0 + x1) / 2, (y0 + y1) / 2, (h0 + h1) / 2);
        const double U = uv_span.u, V = uv_span.v;
        const std::array<UV, 4> side{UV{0, V}, UV{U, V}, UV{U, 0}, UV{0, 0}};
        quad({P(x0, y0, h0), P(x1, y0, h0), P(x1, y0, h1), P(x0, y0, h1)}, side, slot, inside);
        quad({P(x1, y0, h0), P(x1, y1, h0), P(x1, y1, h1), P(x1, y0, h1)}, side, slot, inside);
        quad({P(x1, y1, h0), P(x0, y1, h0), P(x0, y1, h1), P(x1, y1, h1)}, side, slot, inside);
        quad({P(x0, y1, h0), P(x0, y0, h0), P(x0, y0, h1), P(x0, y1, h1)}, side, slot, inside);
        const std::array<UV, 4> flat{UV{0, 0}, UV{U, 0}, UV{U, V}, UV{0, V}};
        if (top) quad({P(x0, y0, h1), P(x1, y0, h1), P(x1, y1, h1), P(x0, y1, h1)}, flat, slot, inside);
        if (bottom) quad({P(x0, y0, h0), P(x1, y0, h0), P(x1, y1, h0), P(x0, y1, h0)}, flat, slot, inside);
    }
};

// Bytes of an RSM file.
class RsmWriter {
public:
    void bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + n);
    }
    void i32(int32_t v) { PutLe32(out_, uint32_t(v)); }
    void i16(int16_t v) { PutLe16(out_, uint16_t(v)); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        PutLe32(out_, bits);
    }
    void text40(const std::string& s) {
        const plovant::Text40 t = plovant::MakeText40(s);
        bytes(t.data(), t.size());
    }

    // The whole file: header, textures, the first block (main node name, mesh
    // count, the first mesh's name and parent), every mesh, and the volume-box count.
    std::vector<uint8_t> file(const std::vector<std::string>& textures, const std::vector<Mesh>& meshes) {
        out_.clear();
        bytes("GRSM", 4);
        out_.push_back(1);  // version 1.4
        out_.push_back(4);
        i32(0);      // animation length
        i32(0);      // shading
        out_.push_back(0xFF);  // alpha
        out_.insert(out_.end(), 16, 0);
        i32(int32_t(textures.size()));
        for (const std::string& t : textures) text40(t);
        text40(meshes.front().name);  // main node
        i32(int32_t(meshes.size()));
        for (const Mesh& m : meshes) {
            text40(m.name);
            text40(m.parent);
            i32(int32_t(m.texture_ids.size()));
            for (int32_t id : m.texture_ids) i32(id);
            // Offset matrix (identity), position, second position, rotation angle and
            // axis, scale.
            const float params[22] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1};
            for (float p : params) f32(p);
            i32(int32_t(m.vertices.size()));
            for (const RsmVertex& v : m.vertices) f32(v.X), f32(v.Y), f32(v.Z);
            i32(int32_t(m.tex_vertices.size()));
            for (const RsmTexVertex& t : m.tex_vertices) bytes(t.Extra.data(), 4), f32(t.U), f32(t.V);
            i32(int32_t(m.faces.size()));
            for (const RsmFace& f : m.faces) {
                for (int16_t v : {f.V0, f.V1, f.V2, f.T0, f.T1, f.T2, f.TextureSlot}) i16(v);
                bytes(f.FaceTail.data(), f.FaceTail.size());
            }
            i32(int32_t(m.keys.size()));
            for (const auto& k : m.keys) bytes(k.data(), k.size());
        }
        i32(0);  // volume boxes
        return out_;
    }

private:
    std::vector<uint8_t> out_;
};

// A key record: frame number and a rotation quaternion (x, y, z, w).
std::array<uint8_t, 20> Key(int32_t frame, float angle) {
    std::array<uint8_t, 20> key{};
    std::vector<uint8_t> b;
    PutLe32(b, uint32_t(frame));
    for (float f : {0.0f, std::sin(angle / 2), 0.0f, std::cos(angle / 2)}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLe32(b, bits);
    }
    std::copy(b.begin(), b.end(), key.begin());
    return key;
}

Mesh House() {
    Mesh m;
    m.name = "house";
    m.texture_ids = {0, 1};
    const double w = 4, d = 3, wall = 5, ridge = 8, base = -4;  // heights from -4
    const RsmVertex inside = P(0, 0, base + 3);
    auto h = [&](double height) { return base + height; };
    const std::array<UV, 4> door{UV{0.5, 1}, UV{1, 1}, UV{1, 0}, UV{0.5, 0}};
    const std::array<UV, 4> window{UV{0, 1}, UV{0.5, 1}, UV{0.5, 0}, UV{0, 0}};
    m.quad({P(w, d, h(0)), P(-w, d, h(0)), P(-w, d, h(wall)), P(w, d, h(wall))}, door, 0, inside);
    m.quad({P(-w, -d, h(0)), P(w, -d, h(0)), P(w, -d, h(wall)), P(-w, -d, h(wall))}, window, 0, inside);
    m.quad({P(w, -d, h(0)), P(w, d, h(0)), P(w, d, h(wall)), P(w, -d, h(wall))}, window, 0, inside);
    m.quad({P(-w, d, h(0)), P(-w, -d, h(0)), P(-w, -d, h(wall)), P(-w, d, h(wall))}, window, 0, inside);
    for (double x : {-w, w}) {  // gables in plain brick
        const int16_t a = m.vertex(P(x, -d, h(wall)), {0, 0.3});
        const int16_t b = m.vertex(P(x, d, h(wall)), {0.4, 0.3});
        const int16_t c = m.vertex(P(x, 0, h(ridge)), {0.2, 0.0});
        m.triangle(a, b, c, 0, inside);
    }
    const double eave = h(wall) - 0.4, o = 0.5;
    for (double side : {-1.0, 1.0}) {
        m.quad({P(-w - o, side * (d + o), eave), P(w + o, side * (d + o), eave), P(w + o, 0, h(ridge)),
                P(-w - o, 0, h(ridge))},
               {UV{0, 1}, UV{1, 1}, UV{1, 0}, UV{0, 0}}, 1, inside);
    }
    m.box(1.8, 0.6, h(6.2), 2.8, 1.6, h(8.8), 0, {0.25, 0.6});  // chimney
    return m;
}

std::vector<Mesh> Windmill() {
    const int sides = 8;
    Mesh tower;
    tower.name = "windmill";
    tower.texture_ids = {0};
    const double bottom = -6, top = 6, r0 = 3, r1 = 2;
    const RsmVertex axis = P(0, 0, 0);
    for (int s = 0; s < sides; ++s) {
        // Face 0 (with the door) looks towards +y, where the sails are.
        const double a0 = kPi / 2 - kPi / sides + 2 * kPi * s / sides;
        const double a1 = a0 + 2 * kPi / sides;
        const double u0 = double(s) / sides, u1 = double(s + 1) / sides;
        tower.quad({P(r0 * std::cos(a0), r0 * std::sin(a0), bottom), P(r0 * std::cos(a1), r0 * std::sin(a1), bottom),
                    P(r1 * std::cos(a1), r1 * std::sin(a1), top), P(r1 * std::cos(a0), r1 * std::sin(a0), top)},
                   {UV{u0, 1}, UV{u1, 1}, UV{u1, 0}, UV{u0, 0}}, 0, axis);
    }

    Mesh cap;
    cap.name = "cap";
    cap.parent = "windmill";
    cap.texture_ids = {1};
    cap.lathe({{2.5, top - 0.2}, {2.3, top + 1.2}, {1.2, top + 2.6}, {0.0, top + 3.2}}, 12, 0);

    Mesh sails;
    sails.name = "\xC7\xB3\xC2\xF7\xB3\xAF\xB0\xB3";  // "풍차날개" (windmill sails) in CP949
    sails.parent = "cap";
    sails.texture_ids = {2, 3};
    const double hub_h = top + 1.0, plane = 2.9;
    const RsmVertex behind = P(0, 0, hub_h);
    for (int k = 0; k < 4; ++k) {
        const double a = kPi / 4 + k * kPi / 2;
        const double cx = std::cos(a), cz = std::sin(a);  // along the blade
        const double px = -cz, pz = cx;                   // across it
        auto at = [&](double along, double across) {
            return P(along * cx + across * px, plane, hub_h + along * cz + across * pz);
        };
        sails.quad({at(0.8, -0.1), at(5.2, -0.1), at(5.2, 1.2), at(0.8, 1.2)},
                   {UV{0, 1}, UV{1, 1}, UV{1, 0}, UV{0, 0}}, 0, behind, true);
        sails.quad({at(0.3, -0.12), at(5.3, -0.12), at(5.3, 0.12), at(0.3, 0.12)},
                   {UV{0, 0.45}, UV{1, 0.45}, UV{1, 0.55}, UV{0, 0.55}}, 1, behind, true);  // spar
    }
    sails.box(-0.5, plane - 1.0, hub_h - 0.5, 0.5, plane + 0.3, hub_h + 0.5, 1, {0.3, 0.3});
    sails.keys = {Key(0, 0.0f), Key(1000, float(kPi / 2))};

    Mesh base;
    base.name = "base";
    base.parent = "windmill";
    base.texture_ids = {3};
    base.box(-4.2, -4.2, bottom - 0.6, 4.2, 4.2, bottom, 0, {1, 0.15}, true, true);
    base.box(-0.9, 4.2, bottom - 0.6, 0.9, 4.9, bottom - 0.3, 0, {0.4, 0.1});  // step
    return {tower, cap, sails, base};
}

Mesh Tree() {
    Mesh m;
    m.name = "tree";
    m.texture_ids = {0, 1};
    m.lathe({{0.55, -5.0}, {0.5, -2.0}, {0.35, 0.5}, {0.2, 2.0}}, 8, 0, 0, 0, 2.0);
    // Three upright leaf cards crossing at the trunk, and one lying across the top.
    const RsmVertex axis = P(0, 0, 1.5);
    for (int k = 0; k < 3; ++k) {
        const double a = k * kPi / 3;
        const double x = 3.6 * std::cos(a), y = 3.6 * std::sin(a);
        m.quad({P(-x, -y, -1.8), P(x, y, -1.8), P(x, y, 5.0), P(-x, -y, 5.0)},
               {UV{0, 1}, UV{1, 1}, UV{1, 0}, UV{0, 0}}, 1, axis, true);
    }
    m.quad({P(-3, -3, 2.2), P(3, -3, 2.2), P(3, 3, 2.2), P(-3, 3, 2.2)},
           {UV{0, 0.1}, UV{1, 0.1}, UV{1, 1}, UV{0, 1}}, 1, P(0, 0, 0), true);
    return m;
}

std::vector<Mesh> Fountain() {
    Mesh stone;
    stone.name = "fountain";
    stone.texture_ids = {0};
    std::vector<std::pair<double, double>> profile = {
        {0.0, -5.0},  {4.6, -5.0},  {5.0, -4.8},  {5.2, -3.6}, {5.6, -3.4}, {5.6, -3.1},
        {4.9, -3.1},  {4.7, -4.5},  {1.1, -4.5},  {0.8, -4.2}, {0.8, -0.4}, {1.0, -0.1},
        {1.8, 0.3},   {2.8, 0.6},   {3.2, 1.0},   {3.2, 1.3},  {2.9, 1.3},  {2.6, 0.9},
        {0.9, 0.9},   {0.6, 1.2},   {0.5, 2.6},
    };
    // A ball of radius 1.1 on top, from where it meets the neck up to height 5.
    const double ball_r = 1.1, ball_h = 3.9;
    const double from = -std::acos(0.5 / ball_r);
    for (int i = 0; i <= 14; ++i) {
        const double a = from + (kPi / 2 - from) * i / 14;
        profile.push_back({ball_r * std::cos(a), ball_h + ball_r * std::sin(a)});
    }
    profile.back().first = 0.0;
    stone.lathe(profile, 48, 0, 0, 0, 6.0);

    Mesh water;
    water.name = "water";
    water.parent = "fountain";
    water.texture_ids = {1};
    water.disc(0, 0, 4.85, -3.35, 48, 0);
    water.disc(0, 0, 2.95, 1.15, 32, 0);
    return {stone, water};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s DATA_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path data = argv[1];
        const std::filesystem::path texture = data / "texture";
        std::filesystem::create_directories(texture);
        RsmWriter rsm;

        WriteBmp24(texture / "house_wall.bmp", HouseWall());
        WriteBmp8(texture / "house_roof.bmp", HouseRoof(),
                  Ramp({{40, 10, 8}, {120, 40, 30}, {170, 66, 50}, {210, 110, 90}}, 20));
        WriteFile(data / "house.rsm", rsm.file({"house_wall.bmp", "house_roof.bmp"}, {House()}));

        WriteBmp8(texture / "mill_wall.bmp", MillWall(),
                  Ramp({{30, 20, 10}, {110, 70, 36}, {150, 146, 138}, {245, 240, 226}}, 30));
        WriteBmp24(texture / "mill_roof.bmp", MillRoof());
        WriteBmp24(texture / "mill_wood.bmp", Wood());
        // mill_sail.bmp is left out on purpose: the viewer uses its stand-by bitmap.
        WriteFile(data / "windmill.rsm",
                  rsm.file({"mill_wall.bmp", "mill_roof.bmp", "mill_sail.bmp", "mill_wood.bmp"},
                           Windmill()));

        WriteBmp24(texture / "tree_bark.bmp", Bark());
        std::vector<Rgb> leaf_palette = Ramp({{10, 40, 8}, {58, 128, 46}, {120, 200, 90}}, 40);
        leaf_palette.push_back(kMagenta);
        WriteBmp8(texture / "tree_leaves.bmp", Leaves(), leaf_palette);
        WriteFile(data / "tree.rsm", rsm.file({"tree_bark.bmp", "tree_leaves.bmp"}, {Tree()}));

        WriteBmp8(texture / "fountain_stone.bmp", Stone(),
                  Ramp({{60, 60, 58}, {120, 118, 112}, {200, 196, 186}}, 60));
        WriteBmp24(texture / "fountain_water.bmp", Water());
        WriteFile(data / "fountain.rsm",
                  rsm.file({"fountain_stone.bmp", "fountain_water.bmp"}, Fountain()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
