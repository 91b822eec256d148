// The page artwork: dusk over a mountain lake, a fortress on a crag at the
// right, pines framing both edges. Everything is computed from fixed seeds,
// so every build draws the same picture. The middle stays quiet (the licence
// box covers it on the first page) and the bottom strip, where the pages'
// buttons and edits sit, is dark ground.
#include "tools/artwork/image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>

namespace art {

namespace {

constexpr int W = 556, H = 384;
constexpr int SS = 3;  // samples per pixel along each axis
constexpr float WATER_Y = 262.0f;
constexpr float GLOW_X = 246.0f, GLOW_Y = 252.0f;

struct Col {
    float r, g, b;
};

Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Col operator*(Col a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Col Mix(Col a, Col b, float t) { return a * (1.0f - t) + b * t; }
float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
float Smooth(float e0, float e1, float v)
{
    float t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
float Gauss(float d, float sigma) { return std::exp(-d * d / (2.0f * sigma * sigma)); }

uint32_t Hash(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float Unit(uint32_t h) { return static_cast<float>(h & 0xFFFFFF) / 16777216.0f; }

// Smooth value noise in one and two dimensions, about 0..1.
float Noise1(float x, uint32_t seed)
{
    float fl = std::floor(x);
    float t = x - fl;
    auto i = static_cast<int32_t>(fl);
    float a = Unit(Hash(static_cast<uint32_t>(i), seed)), b = Unit(Hash(static_cast<uint32_t>(i + 1), seed));
    t = t * t * (3.0f - 2.0f * t);
    return a + (b - a) * t;
}

float Noise2(float x, float y, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    float tx = x - fx, ty = y - fy;
    auto ix = static_cast<uint32_t>(static_cast<int32_t>(fx)), iy = static_cast<uint32_t>(static_cast<int32_t>(fy));
    auto v = [&](uint32_t dx, uint32_t dy) { return Unit(Hash(ix + dx, Hash(iy + dy, seed))); };
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    float top = v(0, 0) + (v(1, 0) - v(0, 0)) * tx, bottom = v(0, 1) + (v(1, 1) - v(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

float Fbm1(float x, uint32_t seed, int octaves)
{
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * Noise1(x, seed + static_cast<uint32_t>(i) * 101u);
        norm += amp;
        x *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

// Sharp-crested noise for mountain ridges.
float Ridged1(float x, uint32_t seed, int octaves)
{
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        float n = 1.0f - std::fabs(2.0f * Noise1(x, seed + static_cast<uint32_t>(i) * 131u) - 1.0f);
        sum += amp * n * n;
        norm += amp;
        x *= 2.1f;
        amp *= 0.48f;
    }
    return sum / norm;
}

// ---- The sky ----------------------------------------------------------------

Col SkyGradient(float y)
{
    struct Stop {
        float y;
        Col c;
    };
    static const Stop kStops[] = {
        {0.0f, {0.020f, 0.027f, 0.090f}},   {70.0f, {0.055f, 0.060f, 0.190f}}, {140.0f, {0.150f, 0.100f, 0.300f}},
        {195.0f, {0.380f, 0.180f, 0.380f}}, {235.0f, {0.720f, 0.330f, 0.360f}}, {262.0f, {0.960f, 0.560f, 0.330f}},
    };
    if (y <= kStops[0].y)
        return kStops[0].c;
    for (size_t i = 1; i < sizeof(kStops) / sizeof(kStops[0]); ++i)
        if (y <= kStops[i].y)
            return Mix(kStops[i - 1].c, kStops[i].c, Smooth(kStops[i - 1].y, kStops[i].y, y));
    return kStops[sizeof(kStops) / sizeof(kStops[0]) - 1].c;
}

constexpr float MOON_X = 92.0f, MOON_Y = 66.0f, MOON_R = 15.0f;

Col Sky(float x, float y)
{
    Col c = SkyGradient(y);
    // The sun has just set behind the far range: a wide warm glow and a core.
    float dx = x - GLOW_X, dy = y - GLOW_Y;
    c = c + Col{0.55f, 0.25f, 0.10f} * (Gauss(dx, 150.0f) * Gauss(dy, 62.0f));
    c = c + Col{0.45f, 0.32f, 0.16f} * (Gauss(dx, 42.0f) * Gauss(dy, 22.0f));
    // Thin clouds lit from below near the horizon.
    float band = Gauss(y - 214.0f, 14.0f) + 0.6f * Gauss(y - 182.0f, 9.0f);
    float cloud = Smooth(0.52f, 0.80f, Fbm1(x / 95.0f + y / 40.0f, 71u, 4) * 0.7f + Noise2(x / 30.0f, y / 6.0f, 72u) * 0.3f);
    c = Mix(c, Col{0.95f, 0.50f, 0.45f} * (0.5f + 0.5f * Gauss(dx, 200.0f)), 0.45f * band * cloud);
    // Moonlight around the crescent.
    float dm = std::hypot(x - MOON_X, y - MOON_Y);
    c = c + Col{0.10f, 0.11f, 0.16f} * Gauss(dm, 38.0f);
    return c;
}

// The crescent: the moon's disc without the part that a shifted disc covers.
float MoonCover(float x, float y)
{
    float inDisc = Clamp01(MOON_R + 0.5f - std::hypot(x - MOON_X, y - MOON_Y));
    float inShadow = Clamp01(MOON_R + 0.5f - std::hypot(x - MOON_X - 7.0f, y - MOON_Y + 4.0f));
    return inDisc * (1.0f - inShadow);
}

struct Star {
    float x, y, brightness;
    Col tint;
    bool bGlint;
};

std::vector<Star> MakeStars()
{
    std::vector<Star> stars;
    for (uint32_t i = 0; stars.size() < 420 && i < 20000; ++i) {
        float x = Unit(Hash(i, 11u)) * W, y = Unit(Hash(i, 12u)) * 215.0f;
        // Fewer towards the bright horizon; none on the moon.
        if (Unit(Hash(i, 13u)) > 1.0f - Smooth(0.0f, 200.0f, y) * 0.9f || std::hypot(x - MOON_X, y - MOON_Y) < MOON_R + 6)
            continue;
        float m = Unit(Hash(i, 14u));
        float brightness = 0.12f + 0.9f * m * m * m;
        float hue = Unit(Hash(i, 15u));
        Col tint = hue < 0.3f ? Col{0.80f, 0.88f, 1.0f} : hue < 0.45f ? Col{1.0f, 0.92f, 0.78f} : Col{1.0f, 1.0f, 1.0f};
        stars.push_back({x, y, brightness, tint, brightness > 0.82f});
    }
    return stars;
}

// ---- Land -------------------------------------------------------------------

// Height of each range (the y of its crest) at x; a dip lets the glow through.
float FarRidge(float x)
{
    float dip = 1.0f - 0.6f * Gauss(x - GLOW_X, 55.0f);
    return 246.0f - 100.0f * dip * Ridged1(x / 140.0f + 2.3f, 21u, 5);
}

float MidRidge(float x)
{
    float dip = 1.0f - 0.8f * Gauss(x - GLOW_X + 20.0f, 70.0f);
    return 258.0f - 52.0f * dip * Ridged1(x / 95.0f + 7.9f, 33u, 5);
}

// The crag that carries the fortress, right of the middle: a flat top, a
// sheer cliff towards the glow and a long ragged slope to the right.
constexpr float CRAG_X = 431.0f, CRAG_TOP = 165.0f, CRAG_HALF = 36.0f;
float CragTop(float x)
{
    float d = x - CRAG_X, top;
    if (std::fabs(d) < CRAG_HALF)
        return CRAG_TOP + 2.0f * (Noise1(x / 5.0f, 43u) - 0.5f);
    if (d < 0.0f)
        top = CRAG_TOP + (WATER_Y + 2.0f - CRAG_TOP) * std::pow(Clamp01((-d - CRAG_HALF) / 42.0f), 0.75f);
    else
        top = CRAG_TOP + (WATER_Y + 2.0f - CRAG_TOP) * std::pow(Clamp01((d - CRAG_HALF) / 150.0f), 0.9f);
    // Ledges and broken rock, more of it further from the top.
    float rough = Clamp01((std::fabs(d) - CRAG_HALF) / 12.0f);
    return top + rough * (9.0f * (Fbm1(x / 11.0f, 41u, 4) - 0.5f) + 3.0f * std::floor(4.0f * Noise1(x / 6.0f, 42u)));
}

bool InRect(float x, float y, float left, float top, float right, float bottom)
{
    return x >= left && x < right && y >= top && y < bottom;
}

// A roof: the triangle over [left, right) with its apex above the middle.
bool InRoof(float x, float y, float left, float right, float base, float apexY)
{
    float mid = (left + right) / 2.0f, half = (right - left) / 2.0f;
    if (y < apexY || y >= base)
        return false;
    return std::fabs(x - mid) <= half * (y - apexY) / (base - apexY);
}

// Battlements: merlons 3 pixels wide with 3-pixel gaps along a wall top.
bool InMerlons(float x, float y, float left, float right, float top)
{
    return x >= left && x < right && y >= top - 4.0f && y < top && std::fmod(x - left, 6.0f) < 3.0f;
}

constexpr float FORT_BASE = 168.0f;

bool InFortress(float x, float y)
{
    return InRect(x, y, 396, 140, 467, FORT_BASE) || InMerlons(x, y, 396, 467, 140) ||
           InRect(x, y, 419, 102, 444, FORT_BASE) || InRoof(x, y, 416, 447, 103, 80) ||
           InRect(x, y, 399, 118, 412, FORT_BASE) || InRoof(x, y, 396, 415, 118, 98) ||
           InRect(x, y, 452, 124, 464, FORT_BASE) || InRoof(x, y, 449, 467, 124, 108) ||
           InRect(x, y, 430.6f, 66, 431.6f, 80) ||
           (x >= 431.6f && y >= 67 && y < 75 && x < 431.6f + 9.0f * (1.0f - std::fabs(y - 71.0f) / 4.0f));
}

struct Window {
    float x, y, w, h;
};
const Window kWindows[] = {
    {425, 114, 2, 4}, {435, 114, 2, 4}, {430, 127, 2, 4}, {404, 129, 2, 3},
    {457, 134, 2, 3}, {423, 150, 2, 3}, {447, 151, 2, 3}, {409, 152, 2, 3},
};

float WindowLight(float x, float y)
{
    float light = 0.0f;
    for (const Window& w : kWindows) {
        if (InRect(x, y, w.x, w.y, w.x + w.w, w.y + w.h))
            return -1.0f;
        light += Gauss(std::hypot(x - w.x - w.w / 2, y - w.y - w.h / 2), 3.0f);
    }
    return light;
}

// The shore line in front of the lake, rising into hills at both edges.
float ShoreTop(float x)
{
    return 300.0f + 7.0f * (Fbm1(x / 40.0f, 51u, 4) - 0.5f) - 30.0f * Gauss(x, 95.0f) - 24.0f * Gauss(x - W, 90.0f);
}

struct Pine {
    float x, base, height, width;
};
const Pine kPines[] = {
    {21, 300, 170, 46}, {50, 296, 118, 34}, {4, 292, 132, 30},  {74, 300, 70, 22},
    {534, 296, 158, 44}, {508, 301, 104, 30}, {553, 290, 120, 30}, {486, 304, 56, 18},
};

// A pine of stacked, drooping tiers with a ragged outline.
bool InPine(const Pine& p, float x, float y)
{
    float top = p.base - p.height;
    if (y < top || y > p.base)
        return false;
    if (y > p.base - p.height * 0.12f)
        return std::fabs(x - p.x) < 1.5f;
    float t = (y - top) / (p.height * 0.88f);
    const float tiers = 6.0f;
    float tier = std::floor(t * tiers), u = t * tiers - tier;
    float half = p.width / 2.0f * (0.18f + 0.82f * (tier + u) / tiers) * (0.45f + 0.55f * u);
    half *= 0.85f + 0.3f * Noise1(y / 2.0f + p.x, 61u);
    return std::fabs(x - p.x) < std::max(half, 0.9f);
}

const Col kFortress = {0.040f, 0.030f, 0.075f};
const Col kGround = {0.030f, 0.026f, 0.060f};

// The scene behind the water line, also what the lake reflects.
Col SceneBehindWater(float x, float y, const std::vector<Col>& starLight, int sx, int sy)
{
    Col c = Sky(x, y);
    c = c + starLight[static_cast<size_t>(sy) * W * SS + static_cast<size_t>(sx)];
    c = Mix(c, Col{0.99f, 0.96f, 0.84f}, MoonCover(x, y));

    float far = FarRidge(x);
    if (y >= far) {
        float depth = Clamp01((y - far) / (WATER_Y - far + 1.0f));
        Col rock = Mix(Col{0.26f, 0.17f, 0.36f}, Col{0.50f, 0.30f, 0.45f}, depth * depth);
        // Light spills over the crest nearest the glow.
        float rim = Gauss(y - far, 1.6f) * Gauss(x - GLOW_X, 90.0f);
        c = rock + Col{0.85f, 0.45f, 0.30f} * (0.9f * rim);
    }
    float mid = MidRidge(x);
    if (y >= mid) {
        float depth = Clamp01((y - mid) / (WATER_Y - mid + 1.0f));
        c = Mix(Col{0.12f, 0.08f, 0.20f}, Col{0.26f, 0.15f, 0.28f}, depth) +
            Col{0.55f, 0.28f, 0.22f} * (0.6f * Gauss(y - mid, 1.3f) * Gauss(x - GLOW_X, 80.0f));
    }
    // Mist over the water at the foot of the ranges.
    float mist = Gauss(y - WATER_Y + 6.0f, 8.0f) * (0.55f + 0.45f * Noise2(x / 60.0f, y / 5.0f, 81u));
    c = Mix(c, Col{0.72f, 0.45f, 0.50f} * (0.6f + 0.6f * Gauss(x - GLOW_X, 130.0f)), 0.45f * mist);

    float crag = CragTop(x);
    if (y >= crag) {
        // Dark rock with faint vertical seams; the cliff face towards the
        // glow holds a last trace of light along its edge.
        float seam = Noise2(x / 2.5f, y / 16.0f, 44u);
        c = Mix(kFortress, Col{0.10f, 0.065f, 0.14f}, Smooth(crag, WATER_Y, y)) * (0.85f + 0.3f * seam);
        if (x < CRAG_X - CRAG_HALF)
            c = c + Col{0.45f, 0.22f, 0.20f} * (0.5f * Gauss(y - crag, 1.4f));
    }
    if (InFortress(x, y)) {
        c = kFortress;
        // The side facing the afterglow catches a little of it.
        if (!InFortress(x - 1.0f, y))
            c = c + Col{0.20f, 0.10f, 0.10f};
    }
    float light = WindowLight(x, y);
    if (light < 0.0f)
        c = Col{1.0f, 0.80f, 0.42f};
    else
        c = c + Col{0.50f, 0.30f, 0.10f} * (0.35f * light);
    return c;
}

// ---- Palette ------------------------------------------------------------------

struct Box {
    size_t begin, end;
};

// Median cut over the pixel colours, then a few rounds of moving each entry
// to the mean of the pixels nearest to it.
std::vector<Rgb> MakePalette(const std::vector<Rgb>& pixels, size_t cColours)
{
    std::vector<Rgb> points = pixels;
    std::vector<Box> boxes = {{0, points.size()}};
    auto channel = [](const Rgb& c, int k) { return k == 0 ? c.r : k == 1 ? c.g : c.b; };
    auto widest = [&](const Box& b, int& range) {
        int best = 0;
        range = -1;
        for (int k = 0; k < 3; ++k) {
            int lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, static_cast<int>(channel(points[i], k)));
                hi = std::max(hi, static_cast<int>(channel(points[i], k)));
            }
            if (hi - lo > range) {
                range = hi - lo;
                best = k;
            }
        }
        return best;
    };
    while (boxes.size() < cColours) {
        size_t pick = boxes.size();
        double score = 0.0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int range;
            widest(boxes[i], range);
            double s = static_cast<double>(range) * std::sqrt(static_cast<double>(boxes[i].end - boxes[i].begin));
            if (range > 0 && s > score) {
                score = s;
                pick = i;
            }
        }
        if (pick == boxes.size())
            break;
        int range;
        int k = widest(boxes[pick], range);
        Box b = boxes[pick];
        auto first = points.begin() + static_cast<long>(b.begin), last = points.begin() + static_cast<long>(b.end);
        std::sort(first, last, [&](const Rgb& p, const Rgb& q) {
            if (channel(p, k) != channel(q, k))
                return channel(p, k) < channel(q, k);
            return (p.r << 16 | p.g << 8 | p.b) < (q.r << 16 | q.g << 8 | q.b);
        });
        size_t middle = b.begin + (b.end - b.begin) / 2;
        boxes[pick] = {b.begin, middle};
        boxes.push_back({middle, b.end});
    }
    std::vector<Rgb> palette;
    for (const Box& b : boxes) {
        double sum[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i)
            for (int k = 0; k < 3; ++k)
                sum[k] += channel(points[i], k);
        double n = static_cast<double>(b.end - b.begin);
        palette.push_back({static_cast<uint8_t>(sum[0] / n + 0.5), static_cast<uint8_t>(sum[1] / n + 0.5),
                           static_cast<uint8_t>(sum[2] / n + 0.5)});
    }
    return palette;
}

int Distance(const Rgb& a, int r, int g, int b)
{
    int dr = a.r - r, dg = a.g - g, db = a.b - b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// The palette entry closest to a colour. Neighbouring pixels mostly share
// colours, so the answers are remembered for one palette at a time.
class NearestColour {
public:
    explicit NearestColour(const std::vector<Rgb>& palette) : palette_(palette) {}

    uint8_t operator()(int r, int g, int b)
    {
        uint32_t key = static_cast<uint32_t>(r << 16 | g << 8 | b);
        auto found = memo_.find(key);
        if (found != memo_.end())
            return found->second;
        size_t best = 0;
        int bestDistance = Distance(palette_[0], r, g, b);
        for (size_t i = 1; i < palette_.size(); ++i) {
            int d = Distance(palette_[i], r, g, b);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        memo_.emplace(key, static_cast<uint8_t>(best));
        return static_cast<uint8_t>(best);
    }

private:
    const std::vector<Rgb>& palette_;
    std::unordered_map<uint32_t, uint8_t> memo_;
};

void Refine(std::vector<Rgb>& palette, const std::vector<Rgb>& pixels, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        std::vector<double> sum(palette.size() * 3, 0.0);
        std::vector<size_t> count(palette.size(), 0);
        NearestColour nearest(palette);
        for (const Rgb& p : pixels) {
            size_t i = nearest(p.r, p.g, p.b);
            sum[i * 3] += p.r;
            sum[i * 3 + 1] += p.g;
            sum[i * 3 + 2] += p.b;
            ++count[i];
        }
        for (size_t i = 0; i < palette.size(); ++i) {
            if (count[i] == 0)
                continue;
            double n = static_cast<double>(count[i]);
            palette[i] = {static_cast<uint8_t>(sum[i * 3] / n + 0.5), static_cast<uint8_t>(sum[i * 3 + 1] / n + 0.5),
                          static_cast<uint8_t>(sum[i * 3 + 2] / n + 0.5)};
        }
    }
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

}  // namespace

IndexedImage DrawKorven()
{
    constexpr int HW = W * SS, HH = H * SS;
    auto index = [](int sx, int sy) { return static_cast<size_t>(sy) * HW + static_cast<size_t>(sx); };
    auto world = [](int s) { return (static_cast<float>(s) + 0.5f) / SS; };

    // Stars as small soft points, so that they survive the downsampling.
    std::vector<Col> starLight(static_cast<size_t>(HW) * HH, Col{0.0f, 0.0f, 0.0f});
    for (const Star& s : MakeStars()) {
        int cx = static_cast<int>(s.x * SS), cy = static_cast<int>(s.y * SS);
        int reach = s.bGlint ? 6 * SS : 2 * SS;
        for (int sy = std::max(0, cy - reach); sy < std::min(HH, cy + reach); ++sy)
            for (int sx = std::max(0, cx - reach); sx < std::min(HW, cx + reach); ++sx) {
                float dx = world(sx) - s.x, dy = world(sy) - s.y;
                float v = s.brightness * Gauss(std::hypot(dx, dy), 0.45f);
                if (s.bGlint)  // a faint cross on the brightest
                    v += 0.35f * s.brightness * (Gauss(dx, 0.3f) * Gauss(dy, 2.2f) + Gauss(dy, 0.3f) * Gauss(dx, 2.2f));
                starLight[index(sx, sy)] = starLight[index(sx, sy)] + s.tint * v;
            }
    }

    std::vector<Col> scene(static_cast<size_t>(HW) * HH);
    int waterRow = static_cast<int>(WATER_Y * SS);
    for (int sy = 0; sy < waterRow; ++sy)
        for (int sx = 0; sx < HW; ++sx)
            scene[index(sx, sy)] = SceneBehindWater(world(sx), world(sy), starLight, sx, sy);

    // The lake mirrors the scene above the water line, broken by ripples and
    // darkened; the afterglow leaves a trail of glints.
    for (int sy = waterRow; sy < HH; ++sy) {
        float y = world(sy), depth = y - WATER_Y;
        for (int sx = 0; sx < HW; ++sx) {
            float x = world(sx);
            float wave = std::sin(y * 1.7f + 6.0f * Noise2(x / 25.0f, y / 3.0f, 91u)) * (0.6f + depth * 0.05f);
            int rx = std::clamp(static_cast<int>((x + wave) * SS), 0, HW - 1);
            int ry = std::clamp(2 * waterRow - sy - 1 - static_cast<int>(depth * 0.15f * SS), 0, waterRow - 1);
            Col c = scene[index(rx, ry)] * (0.62f - 0.25f * Clamp01(depth / 45.0f)) + Col{0.010f, 0.015f, 0.045f};
            float streak = Noise2(x / 7.0f, y / 1.2f, 92u);
            float glint = Smooth(0.62f, 0.9f, streak) * Gauss(x - GLOW_X, 38.0f + depth * 1.2f) * Gauss(depth, 26.0f);
            c = c + Col{0.95f, 0.62f, 0.35f} * (0.75f * glint);
            scene[index(sx, sy)] = c;
        }
    }

    // Ground and pines in front of everything.
    for (int sy = 0; sy < HH; ++sy)
        for (int sx = 0; sx < HW; ++sx) {
            float x = world(sx), y = world(sy);
            // Tufts of grass break the shore line.
            float shore = ShoreTop(x) - 3.5f * Smooth(0.55f, 0.95f, Noise1(x * 0.9f, 53u)) * Noise1(x * 2.3f, 54u);
            bool bPine = false;
            for (const Pine& p : kPines)
                bPine = bPine || InPine(p, x, y);
            if (y >= shore) {
                float t = Clamp01((y - shore) / 60.0f);
                Col ground = Mix(Col{0.055f, 0.040f, 0.085f}, kGround * 0.7f, t);
                // A wet edge that catches the glow.
                ground = ground + Col{0.30f, 0.16f, 0.14f} * (Gauss(y - shore, 0.8f) * Gauss(x - GLOW_X, 110.0f));
                scene[index(sx, sy)] = ground;
            } else if (bPine) {
                scene[index(sx, sy)] = kGround;
            }
        }

    // Average the samples, darken the corners a little.
    std::vector<Rgb> pixels(static_cast<size_t>(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Col sum = {0, 0, 0};
            for (int j = 0; j < SS; ++j)
                for (int i = 0; i < SS; ++i)
                    sum = sum + scene[index(x * SS + i, y * SS + j)];
            float nx = (static_cast<float>(x) - W / 2.0f) / (W / 2.0f), ny = (static_cast<float>(y) - H / 2.0f) / (H / 2.0f);
            Col c = sum * ((1.0f - 0.18f * (nx * nx + ny * ny)) / (SS * SS));
            pixels[static_cast<size_t>(y) * W + static_cast<size_t>(x)] = {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
        }

    IndexedImage image;
    image.width = W;
    image.height = H;
    image.palette = MakePalette(pixels, 256);
    Refine(image.palette, pixels, 3);
    std::sort(image.palette.begin(), image.palette.end(), [](const Rgb& a, const Rgb& b) {
        int la = 3 * a.r + 6 * a.g + a.b, lb = 3 * b.r + 6 * b.g + b.b;
        return la != lb ? la < lb : (a.r << 16 | a.g << 8 | a.b) < (b.r << 16 | b.g << 8 | b.b);
    });
    image.palette.resize(256, Rgb{0, 0, 0});

    // Floyd-Steinberg error diffusion, in alternate directions per row, keeps
    // the sky's gradient free of bands.
    std::vector<float> error(static_cast<size_t>(W + 2) * 2 * 3, 0.0f);
    NearestColour nearest(image.palette);
    image.pixels.resize(static_cast<size_t>(W) * H);
    for (int y = 0; y < H; ++y) {
        float* cur = &error[static_cast<size_t>(y % 2) * (W + 2) * 3];
        float* next = &error[static_cast<size_t>((y + 1) % 2) * (W + 2) * 3];
        std::fill(next, next + (W + 2) * 3, 0.0f);
        bool bLeft = y % 2 == 0;
        for (int n = 0; n < W; ++n) {
            int x = bLeft ? n : W - 1 - n, dir = bLeft ? 1 : -1;
            const Rgb& p = pixels[static_cast<size_t>(y) * W + static_cast<size_t>(x)];
            float want[3] = {p.r + cur[(x + 1) * 3], p.g + cur[(x + 1) * 3 + 1], p.b + cur[(x + 1) * 3 + 2]};
            int r = std::clamp(static_cast<int>(std::lround(want[0])), 0, 255);
            int g = std::clamp(static_cast<int>(std::lround(want[1])), 0, 255);
            int b = std::clamp(static_cast<int>(std::lround(want[2])), 0, 255);
            uint8_t i = nearest(r, g, b);
            image.pixels[static_cast<size_t>(y) * W + static_cast<size_t>(x)] = i;
            const Rgb& got = image.palette[i];
            float e[3] = {want[0] - got.r, want[1] - got.g, want[2] - got.b};
            for (int k = 0; k < 3; ++k) {
                cur[(x + 1 + dir) * 3 + k] += e[k] * 7.0f / 16.0f;
                next[(x + 1 - dir) * 3 + k] += e[k] * 3.0f / 16.0f;
                next[(x + 1) * 3 + k] += e[k] * 5.0f / 16.0f;
                next[(x + 1 + dir) * 3 + k] += e[k] * 1.0f / 16.0f;
            }
        }
    }
    return image;
}

}  // namespace art
