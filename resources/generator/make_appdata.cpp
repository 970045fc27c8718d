// Generates the bundled application folder: the sample picture, border sets,
// stamps and the scheme store (from resources/appdata/schemes.json).
// Usage: make_appdata OUTPUT_FOLDER SCHEMES_JSON
#include "common/PendingFile.h"
#include "imaging/ImagingRuntime.h"
#include "schemes/SchemeJson.h"
#include "schemes/StoreFormat.h"

#include <vips/vips8>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

using vips::VImage;
namespace fs = std::filesystem;

namespace {

using Colour = std::vector<double>;

VImage solid(int w, int h, const Colour& c) {
    return VImage::black(w, h, VImage::option()->set("bands", 3))
        .new_from_image(c)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Blend a toward b by t (a one-band image of 0..1).
VImage mix(const VImage& a, const VImage& b, const VImage& t) {
    return a * (1 - t) + b * t;
}

VImage toUchar(const VImage& im) {
    return im.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage clamp01(const VImage& im) {
    return (im < 0).ifthenelse(0, (im > 1).ifthenelse(1, im));
}

// A lake under mountains at dusk, with the sun low over the ridge.
VImage landscape(int w, int h) {
    const VImage xy = VImage::xyz(w, h);
    const VImage x = xy[0], y = xy[1];
    const double horizon = h * 0.62;

    VImage sky = mix(solid(w, h, {32, 56, 120}), solid(w, h, {250, 170, 110}),
                     clamp01(y / horizon).pow(1.6));
    const double sunX = w * 0.68, sunY = h * 0.47;
    const VImage d = ((x - sunX).pow(2) + (y - sunY).pow(2)).pow(0.5);
    const VImage glow = clamp01(1 - d / (h * 0.35)).pow(2) * 0.6;
    sky = mix(sky, solid(w, h, {255, 235, 190}), glow);
    sky = (d < h * 0.06).ifthenelse(solid(w, h, {255, 246, 220}), sky);

    // Far and near ridges: sums of sines of the column.
    const VImage far = horizon - h * 0.14 - (x * (360.0 / w * 1.3)).sin() * h * 0.05 -
                       (x * (360.0 / w * 3.7) + 40).sin() * h * 0.025;
    const VImage near = horizon - h * 0.05 - (x * (360.0 / w * 0.8) + 120).sin() * h * 0.06 -
                        (x * (360.0 / w * 5.3)).sin() * h * 0.015;
    VImage land = sky;
    land = (y > far).ifthenelse(
        mix(solid(w, h, {92, 84, 140}), solid(w, h, {70, 70, 110}), clamp01((y - far) / (h * 0.2))),
        land);
    land = (y > near).ifthenelse(
        mix(solid(w, h, {40, 70, 60}), solid(w, h, {20, 40, 35}), clamp01((y - near) / (h * 0.1))),
        land);

    // The lake mirrors everything above the horizon, darker and rippled.
    const int top = static_cast<int>(horizon);
    VImage above = land.extract_area(0, 0, w, top).flip(VIPS_DIRECTION_VERTICAL);
    const int lakeHeight = h - top;
    above = above.extract_area(0, 0, w, std::min(lakeHeight, top));
    if (above.height() < lakeHeight)
        above = above.embed(0, 0, w, lakeHeight, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    const VImage ly = VImage::xyz(w, lakeHeight)[1];
    const VImage ripple = (ly * ly * 0.02).sin() * 0.08 + 0.78;
    const VImage lake =
        mix(above * ripple, solid(w, lakeHeight, {20, 30, 60}), clamp01(ly / lakeHeight) * 0.6);
    return toUchar(land.extract_area(0, 0, w, top).join(lake, VIPS_DIRECTION_VERTICAL));
}

void saveBmp(const VImage& im, const fs::path& path, bool keepAlpha = false) {
    varnetto::PendingFile pending(path);
    (keepAlpha ? im : toUchar(im)).write_to_file(pending.tempPath().c_str());
    pending.commit();
}

void saveJpeg(const VImage& im, const fs::path& path, int quality) {
    varnetto::PendingFile pending(path);
    toUchar(im).jpegsave(pending.tempPath().c_str(), VImage::option()->set("Q", quality));
    pending.commit();
}

// A horizontal strip of thickness t and length len, lit from the outside edge.
VImage bevel(int len, int t, const Colour& light, const Colour& dark) {
    const VImage ramp = VImage::xyz(len, t)[1] / std::max(1, t - 1);
    return mix(solid(len, t, light), solid(len, t, dark), ramp);
}

struct BorderSet {
    VImage top, left, bottom, right, tl, bl, br, tr;
};

// Rotate a top strip into the other three sides so the light stays outside.
BorderSet fromTop(const VImage& top, const VImage& bottomStrip, const VImage& leftStrip,
                  const VImage& rightStrip, const Colour& corner) {
    BorderSet s;
    s.top = top;
    s.bottom = bottomStrip;
    s.left = leftStrip;
    s.right = rightStrip;
    const int wl = leftStrip.width(), wr = rightStrip.width();
    const int ht = top.height(), hb = bottomStrip.height();
    s.tl = solid(wl, ht, corner);
    s.bl = solid(wl, hb, corner);
    s.br = solid(wr, hb, corner);
    s.tr = solid(wr, ht, corner);
    return s;
}

BorderSet woodBorder() {
    const int t = 28, len = 96;
    const VImage xy = VImage::xyz(len, t);
    const VImage grain = (xy[0] * 9 + (xy[1] * 40).sin() * 25).sin() * 0.5 + 0.5;
    const VImage wood =
        mix(solid(len, t, {150, 96, 52}), solid(len, t, {110, 66, 32}), grain * 0.7);
    const VImage shade = mix(wood * 1.15, wood * 0.75, xy[1] / (t - 1));
    const VImage top = toUchar(shade);
    BorderSet s = fromTop(top, top.flip(VIPS_DIRECTION_VERTICAL), top.rot(VIPS_ANGLE_D270),
                          top.rot(VIPS_ANGLE_D90), {96, 58, 28});
    const VImage knot = solid(t, t, {120, 74, 38});
    const VImage diag = VImage::xyz(t, t);
    s.tl = toUchar((diag[0] + diag[1] < t).ifthenelse(knot * 1.15, knot * 0.8));
    s.br = s.tl.rot(VIPS_ANGLE_D180);
    s.bl = s.tl.rot(VIPS_ANGLE_D270);
    s.tr = s.tl.rot(VIPS_ANGLE_D90);
    return s;
}

BorderSet goldBorder() {
    const int t = 18, len = 36;
    VImage top = bevel(len, t, {255, 236, 150}, {150, 110, 30});
    const VImage xy = VImage::xyz(len, t);
    const VImage diamond = ((xy[0] - len / 2.0).abs() + (xy[1] - t / 2.0).abs()) < 6;
    top = toUchar(diamond.ifthenelse(solid(len, t, {200, 40, 40}), top));
    BorderSet s = fromTop(top, top.flip(VIPS_DIRECTION_VERTICAL), top.rot(VIPS_ANGLE_D270),
                          top.rot(VIPS_ANGLE_D90), {220, 180, 70});
    return s;
}

// Film strip: thick top and bottom with sprocket holes, thin sides of
// different widths, so pieces of different thickness meet at the corners.
BorderSet filmBorder() {
    const auto strip = [](int len, int t) {
        const VImage xy = VImage::xyz(len, t);
        const VImage hole =
            ((xy[0] % 24) > 6) & ((xy[0] % 24) < 18) & (xy[1] > t * 0.3) & (xy[1] < t * 0.7);
        return toUchar(
            hole.ifthenelse(solid(len, t, {235, 230, 215}), solid(len, t, {18, 18, 18})));
    };
    const VImage top = strip(48, 30), bottom = strip(48, 40);
    const VImage left = toUchar(solid(12, 48, {18, 18, 18}));
    const VImage right = toUchar(solid(20, 48, {30, 26, 22}));
    return fromTop(top, bottom, left, right, {10, 10, 10});
}

void writeBorderSet(const BorderSet& s, const fs::path& folder, const std::string& name) {
    const VImage pieces[] = {s.top, s.left, s.bottom, s.right, s.tl, s.bl, s.br, s.tr};
    for (int i = 0; i < 8; ++i)
        saveBmp(pieces[i], folder / (name + "_" + std::to_string(i + 1) + ".bmp"));
}

VImage textImage(const std::string& markup, const char* font, int dpi) {
    return VImage::text(markup.c_str(), VImage::option()->set("font", font)->set("dpi", dpi));
}

// A red round seal reading 样张 (sample); only the ink is opaque, so the
// picture shows around it.
VImage sealStamp() {
    const int size = 180;
    const VImage xy = VImage::xyz(size, size);
    const VImage d = ((xy[0] - size / 2.0).pow(2) + (xy[1] - size / 2.0).pow(2)).pow(0.5);
    // Soft edges: coverage falls off over one pixel at both sides of the ring.
    const VImage ring = clamp01(d - size * 0.40 + 0.5) * clamp01(size * 0.47 - d + 0.5);
    const VImage label = textImage("样张", "Noto Sans CJK SC Bold 40", 72);
    const VImage text =
        label.embed((size - label.width()) / 2, (size - label.height()) / 2, size, size) / 255.0;
    const VImage coverage = (ring + text - ring * text) * 255;
    return solid(size, size, {200, 30, 30})
        .bandjoin(coverage)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage logoStamp() {
    const int w = 300, h = 90;
    const VImage base =
        mix(solid(w, h, {20, 40, 90}), solid(w, h, {40, 90, 160}), VImage::xyz(w, h)[0] / (w - 1));
    const VImage label = textImage("Varnetto", "Liberation Sans Bold 40", 72);
    const VImage ink = label.embed((w - label.width()) / 2, (h - label.height()) / 2, w, h);
    return toUchar(mix(base, solid(w, h, {255, 255, 255}), ink / 255.0));
}

void writeStore(const fs::path& jsonPath, const fs::path& storePath) {
    std::ifstream in(jsonPath);
    const auto parsed = varnetto::storeFromJson(nlohmann::json::parse(in));
    varnetto::writeFileAtomically(storePath,
                                  varnetto::writeStoreBytes(parsed.header, parsed.schemes));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_appdata OUTPUT_FOLDER SCHEMES_JSON\n";
        return 2;
    }
    const fs::path out = argv[1];
    try {
        varnetto::initImaging(argv[0]);
        for (const char* sub : {"Schemes", "Borders", "Stamps"}) fs::create_directories(out / sub);
        writeStore(argv[2], out / "Schemes" / "Schemes.bis");
        saveJpeg(landscape(1600, 1200), out / "Preview.jpg", 90);
        writeBorderSet(woodBorder(), out / "Borders", "Wood");
        writeBorderSet(goldBorder(), out / "Borders", "Gold");
        writeBorderSet(filmBorder(), out / "Borders", "Film");
        saveBmp(sealStamp(), out / "Stamps" / "Seal.bmp", /*keepAlpha=*/true);
        saveJpeg(logoStamp(), out / "Stamps" / "Logo.jpg", 92);
    } catch (const std::exception& error) {
        std::cerr << "make_appdata: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
