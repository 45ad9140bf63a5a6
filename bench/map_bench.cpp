// Drawing a whole survey's soils map: load time, then the full extent plain and coloured by
// a rating theme, at a window's size.
// Run: quillon_map_bench SOILS.shp   (a state-sized one comes from quillon-sample --preset state)
#include "quillon/gis/Legend.h"
#include "quillon/gis/MapRenderer.h"
#include "quillon/gis/SoilsLayer.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>

namespace {

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: quillon_map_bench SOILS.shp\n";
        return 64;
    }
    QGuiApplication app(argc, argv);
    std::shared_ptr<const qln::gis::SoilsLayer> layer;
    const double load = secondsOf([&] {
        layer = std::make_shared<const qln::gis::SoilsLayer>(qln::gis::SoilsLayer::load(argv[1]));
    });
    std::size_t points = 0;
    for (std::size_t s = 0; s < layer->size(); ++s)
        for (auto r = layer->firstRing(s); r < layer->endRing(s); ++r)
            points += layer->ringEnd(r) - layer->ringBegin(r);
    std::printf("%zu polygons, %zu points, loaded in %.3f s\n", layer->size(), points, load);

    // A theme of ten classes by key, as a rating column would colour it.
    std::vector<qln::Variant> ratings;
    for (std::size_t s = 0; s < layer->size(); ++s)
        ratings.emplace_back(std::string(1, static_cast<char>('A' + std::hash<std::string> {}(layer->mukey(s)) % 10)));
    qln::gis::Legend legend = qln::gis::Legend::dynamic(ratings);
    std::vector<QColor> fill;
    for (const auto& r : ratings)
        fill.push_back(legend.entries()[legend.classify(r)].colour);

    const qln::gis::MapView full {qln::gis::fullExtent(*layer), QSize(1200, 800)};
    QRectF quarter = full.extent;
    quarter.setSize(quarter.size() / 4);
    const struct {
        const char* name;
        qln::gis::RenderJob job;
    } cases[] = {
        {"full extent, plain", {layer, {}, full}},
        {"full extent, rating theme", {layer, fill, full}},
        {"zoomed 4x, rating theme", {layer, fill, {quarter, QSize(1200, 800)}}},
    };
    for (const auto& c : cases) {
        double best = 1e9;
        for (int i = 0; i < 3; ++i)
            best = std::min(best, secondsOf([&] { qln::gis::render(c.job); }));
        std::printf("%-28s %.3f s (best of 3)\n", c.name, best);
    }
    return 0;
}
