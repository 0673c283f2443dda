// DrawIcons: draws Tarnwick's two icons (window icon and "Terminate") and writes them as Windows .ico files.
// Regenerate: g++ -std=c++20 -O2 res/icons/DrawIcons.cpp -o /tmp/drawicons && /tmp/drawicons res/icons
// Writes Tarnwick.ico and Terminate.ico, each with 32x32 and 16x16 images in 8 bpp (palette + AND mask)
// and 32 bpp (BGRA + AND mask). Standard library only, so the result is the same on any host.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct V {
  float x, y;
};
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y}; }
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y}; }
V operator*(V a, float s) { return {a.x * s, a.y * s}; }
float Dot(V a, V b) { return a.x * b.x + a.y * b.y; }
float Len(V a) { return std::sqrt(Dot(a, a)); }

struct Rgb {
  float r, g, b;
};
Rgb Mix(Rgb a, Rgb b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A shape is a signed distance (negative inside) plus a fill colour; each gets its own dark outline ring
// so overlapping parts (brush over gear) stay separate even at 16 px.
struct Layer {
  std::function<float(V)> dist;
  std::function<Rgb(V)> fill;
  Rgb line;
  float lineWidth;
};

struct Pixel {
  uint8_t r, g, b, a;
};
struct Image {
  int size;
  std::vector<Pixel> px;
};  // top-down rows

// 8x8 supersampling per pixel gives smooth edges without needing exact coverage maths for each shape.
Image Render(int size, const std::vector<Layer>& layers) {
  constexpr int kSub = 8;
  Image img{size, std::vector<Pixel>(size * size)};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float r = 0, g = 0, b = 0;
      int hits = 0;
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) {
          V p{x + (sx + 0.5f) / kSub, y + (sy + 0.5f) / kSub};
          const Rgb* got = nullptr;
          Rgb c{};
          for (const Layer& l : layers) {  // later layers cover earlier ones
            float d = l.dist(p);
            if (d < l.lineWidth) {
              c = d < 0 ? l.fill(p) : l.line;
              got = &c;
            }
          }
          if (got) {
            r += c.r;
            g += c.g;
            b += c.b;
            ++hits;
          }
        }
      // Colour is the average of covered samples only (not premultiplied), as ICO alpha expects.
      auto to8 = [](float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 255.0f))); };
      if (hits)
        img.px[y * size + x] = {to8(r / hits), to8(g / hits), to8(b / hits), to8(255.0f * hits / (kSub * kSub))};
    }
  return img;
}

// Cog wheel: disc plus trapezoid teeth, with a centre hole. Distance is approximate but good for outlines.
Layer Gear(V c, float outer, float root, float hole, int teeth, float line) {
  auto dist = [=](V p) {
    V d = p - c;
    float r = Len(d), a = std::atan2(d.y, d.x);
    float period = 2 * std::numbers::pi_v<float> / teeth;
    float local = a - std::round(a / period) * period;  // angle from nearest tooth centre
    float along = r * std::cos(local), across = std::fabs(r * std::sin(local));
    float t = std::clamp((along - root) / (outer - root), 0.0f, 1.0f);
    float half = root * period * (0.27f - 0.07f * t);  // tooth about half the pitch, tapering outwards
    float tooth = std::max({along - outer, root - 1 - along, across - half});
    return std::max(std::min(r - root, tooth), hole - r);
  };
  // Light from the top-left; a darker band round the hole suggests a hub (too fussy at 16 px).
  auto fill = [=](V p) {
    float t = Dot(p - c, V{0.7f, 0.7f}) / outer * 0.5f + 0.5f;
    Rgb base = Mix(Rgb{255, 232, 90}, Rgb{235, 165, 15}, t);
    return hole > 2 && Len(p - c) < hole + (outer - hole) * 0.3f ? Mix(base, Rgb{200, 130, 0}, 0.45f) : base;
  };
  return {dist, fill, Rgb{110, 70, 5}, line};
}

// Distance to a segment a-b whose radius goes linearly from ra to rb (rounded ends).
float Taper(V p, V a, V b, float ra, float rb) {
  V ab = b - a;
  float t = std::clamp(Dot(p - a, ab) / Dot(ab, ab), 0.0f, 1.0f);
  return Len(p - (a + ab * t)) - (ra + (rb - ra) * t);
}

// A brush from the butt of the handle to the bristle tip: blue handle, metal ferrule, orange bristles.
// w scales widths so the 16 px version can be relatively chunkier.
void Brush(std::vector<Layer>& out, V butt, V tip, float w, float line) {
  V axis = tip - butt;
  float len = Len(axis);
  V u = axis * (1 / len), n{-u.y, u.x};
  V ferA = butt + u * (len * 0.50f), ferB = butt + u * (len * 0.62f);
  // Cylinder shading: brighter on the side facing the top-left light.
  auto shade = [=](V p, float half, Rgb lit, Rgb dark) {
    float s = Dot(p - butt, n) / half;
    float side = (n.x + n.y) < 0 ? s : -s;  // which normal side faces the light
    return Mix(lit, dark, 0.5f - 0.5f * side);
  };
  V belly = ferB + (tip - ferB) * 0.35f;  // bristles swell past the ferrule, then come to a point
  out.push_back({[=](V p) {
                   return std::min(Taper(p, ferB - u * (1.5f * w), belly, 2.5f * w, 3.3f * w),
                                   Taper(p, belly, tip, 3.3f * w, 0.9f * w));
                 },
                 [=](V p) {
                   return shade(p, 3.3f * w, Rgb{255, 185, 70}, Rgb{225, 95, 10});
                 },
                 Rgb{120, 45, 0}, line});
  out.push_back({[=](V p) { return Taper(p, butt, ferA, 1.5f * w, 2.0f * w); },
                 [=](V p) {
                   return shade(p, 2.0f * w, Rgb{110, 170, 255}, Rgb{20, 60, 175});
                 },
                 Rgb{10, 30, 95}, line});
  out.push_back({[=](V p) {
                   V q = p - (ferA + ferB) * 0.5f;  // rounded box in the brush's own frame
                   float hx = std::fabs(Dot(q, u)) - Len(ferB - ferA) * 0.5f;
                   float hy = std::fabs(Dot(q, n)) - 2.5f * w;
                   return std::hypot(std::max(hx, 0.0f), std::max(hy, 0.0f)) + std::min(std::max(hx, hy), 0.0f);
                 },
                 [=](V p) {
                   return shade(p, 2.5f * w, Rgb{235, 238, 245}, Rgb{130, 135, 150});
                 },
                 Rgb{55, 58, 70}, line});
}

// The 16 px versions are laid out on their own grid, not scaled down: teeth and hole kept a whole pixel or more,
// no hub band, outlines relatively thicker, so the shapes still read at that size.
Image TarnwickIcon(int size) {
  std::vector<Layer> l;
  if (size >= 32) {
    l.push_back(Gear({13.6f, 13.6f}, 12.4f, 8.8f, 3.4f, 8, 1.0f));
    Brush(l, {29.0f, 9.0f}, {6.5f, 29.5f}, 1.0f, 1.0f);
  } else {
    l.push_back(Gear({7.0f, 7.0f}, 6.5f, 4.6f, 1.9f, 8, 0.9f));
    Brush(l, {14.6f, 6.0f}, {3.6f, 14.9f}, 0.62f, 0.9f);
  }
  return Render(size, l);
}

Image TerminateIcon(int size) {
  std::vector<Layer> l;
  if (size >= 32)
    Brush(l, {28.0f, 4.0f}, {3.5f, 28.5f}, 1.3f, 1.0f);
  else
    Brush(l, {13.7f, 2.3f}, {1.8f, 14.2f}, 0.8f, 0.9f);
  return Render(size, l);
}

// ---- Palette for the 8 bpp images: median cut over the visible pixels, so gradients keep their hues. ----
using Palette = std::vector<std::array<uint8_t, 3>>;

Palette MedianCut(const Image& img, size_t maxColours) {
  std::vector<std::array<uint8_t, 3>> cols;
  for (const Pixel& p : img.px)
    if (p.a >= 128) cols.push_back({p.r, p.g, p.b});
  std::vector<std::vector<std::array<uint8_t, 3>>> boxes;
  if (!cols.empty()) boxes.push_back(cols);
  while (boxes.size() < maxColours) {
    // Split the box with the widest spread in any channel, at its median along that channel.
    int best = -1, bestCh = 0, bestRange = 0;
    for (size_t i = 0; i < boxes.size(); ++i)
      for (int ch = 0; ch < 3; ++ch) {
        auto [lo, hi] =
            std::minmax_element(boxes[i].begin(), boxes[i].end(), [ch](auto& a, auto& b) { return a[ch] < b[ch]; });
        if ((*hi)[ch] - (*lo)[ch] > bestRange) {
          best = int(i);
          bestCh = ch;
          bestRange = (*hi)[ch] - (*lo)[ch];
        }
      }
    if (best < 0) break;  // every box is a single colour: palette is exact
    auto& box = boxes[best];
    std::sort(box.begin(), box.end(), [bestCh](auto& a, auto& b) { return a[bestCh] < b[bestCh]; });
    auto mid = box.begin() + box.size() / 2;
    while (mid != box.begin() && (*(mid - 1))[bestCh] == (*mid)[bestCh]) --mid;  // keep equal values together
    if (mid == box.begin())
      mid = std::upper_bound(box.begin(), box.end(), *box.begin(),
                             [bestCh](auto& a, auto& b) { return a[bestCh] < b[bestCh]; });
    std::vector<std::array<uint8_t, 3>> upper(mid, box.end());
    box.erase(mid, box.end());
    boxes.push_back(std::move(upper));
  }
  Palette pal;
  for (auto& box : boxes) {
    unsigned s[3] = {};
    for (auto& c : box)
      for (int ch = 0; ch < 3; ++ch) s[ch] += c[ch];
    pal.push_back({uint8_t(s[0] / box.size()), uint8_t(s[1] / box.size()), uint8_t(s[2] / box.size())});
  }
  return pal;
}

// ---- ICO writing (little-endian, DIBs bottom-up, AND mask rows padded to 32 bits). ----
void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> Dib(const Image& img, int bpp) {
  const int n = img.size;
  std::vector<uint8_t> b;
  const int maskStride = (n + 31) / 32 * 4;
  const int xorStride = (n * bpp / 8 + 3) / 4 * 4;
  Put(b, 40, 4);
  Put(b, n, 4);
  Put(b, 2 * n, 4);  // height counts XOR + AND halves
  Put(b, 1, 2);
  Put(b, bpp, 2);
  Put(b, 0, 4);
  Put(b, (xorStride + maskStride) * n, 4);
  Put(b, 0, 4);
  Put(b, 0, 4);
  Put(b, bpp == 8 ? 256 : 0, 4);
  Put(b, 0, 4);
  Palette pal;
  if (bpp == 8) {
    // Index 0 stays black for transparent pixels (the AND mask hides them); the rest come from the image.
    pal = MedianCut(img, 255);
    pal.insert(pal.begin(), {0, 0, 0});
    pal.resize(256, {0, 0, 0});
    for (auto& c : pal) {
      Put(b, c[2], 1);
      Put(b, c[1], 1);
      Put(b, c[0], 1);
      Put(b, 0, 1);
    }
  }
  for (int y = n - 1; y >= 0; --y) {
    size_t start = b.size();
    for (int x = 0; x < n; ++x) {
      const Pixel& p = img.px[y * n + x];
      if (bpp == 32) {
        Put(b, p.b, 1);
        Put(b, p.g, 1);
        Put(b, p.r, 1);
        Put(b, p.a, 1);
        continue;
      }
      int best = 0;
      if (p.a >= 128) {
        long bestD = -1;
        for (int i = 1; i < 256; ++i) {
          long dr = p.r - pal[i][0], dg = p.g - pal[i][1], db = p.b - pal[i][2];
          long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;  // rough perceptual weights
          if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
          }
        }
      }
      Put(b, best, 1);
    }
    b.resize(start + xorStride, 0);
  }
  for (int y = n - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < n; ++x)
      if (img.px[y * n + x].a < 128) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

bool WriteIco(const std::string& path, const std::function<Image(int)>& draw) {
  const Image big = draw(32), small = draw(16);
  const std::vector<std::pair<const Image*, int>> order = {{&big, 8}, {&small, 8}, {&big, 32}, {&small, 32}};
  std::vector<std::vector<uint8_t>> dibs;
  for (auto& [img, bpp] : order) dibs.push_back(Dib(*img, bpp));
  std::vector<uint8_t> f;
  Put(f, 0, 2);
  Put(f, 1, 2);
  Put(f, uint32_t(order.size()), 2);  // ICONDIR: type 1 = icon
  uint32_t offset = 6 + 16 * uint32_t(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    Put(f, order[i].first->size, 1);
    Put(f, order[i].first->size, 1);
    Put(f, 0, 1);
    Put(f, 0, 1);  // colour count 0 means 256 or more
    Put(f, 1, 2);
    Put(f, order[i].second, 2);
    Put(f, uint32_t(dibs[i].size()), 4);
    Put(f, offset, 4);
    offset += uint32_t(dibs[i].size());
  }
  for (auto& d : dibs) f.insert(f.end(), d.begin(), d.end());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <outdir>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = WriteIco(dir + "/Tarnwick.ico", TarnwickIcon) && WriteIco(dir + "/Terminate.ico", TerminateIcon);
  if (!ok) std::fprintf(stderr, "drawicons: could not write into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
