// Rendering a standard 1600 × 1000 canvas at scale 2 (a 3200 × 2000 bitmap) with a gradient and a
// few stickers. Figures are reported against a plain baseline measured in the same run: one
// bitmap of the same size filled with the same linear gradient by cairo directly, which is the
// least any renderer has to do. The peak resident size shows that memory stays at one bitmap
// (25.6 MB) plus the sticker pictures.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "core/Design/DesignRenderer.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;

namespace {

constexpr double canvasWidth = 1600;
constexpr double canvasHeight = 1000;
constexpr double renderScale = 2;

double plainFillSeconds() {
  const auto start = std::chrono::steady_clock::now();
  constexpr int rounds = 5;
  for (int i = 0; i < rounds; ++i) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3200, 2000);
    cairo_t* context = cairo_create(surface);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 3200, 2000);
    cairo_pattern_add_color_stop_rgba(pattern, 0, 0.1, 0.2, 0.5, 1);
    cairo_pattern_add_color_stop_rgba(pattern, 1, 0.6, 0.3, 0.6, 1);
    cairo_set_source(context, pattern);
    cairo_paint(context);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    cairo_pattern_destroy(pattern);
    cairo_destroy(context);
    cairo_surface_destroy(surface);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

double peakResidentMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

StickerItem sticker(const std::string& id, StickerSource source, double x, double y, double scale) {
  StickerItem item;
  item.id = id;
  item.asset = {id, id, std::move(source)};
  item.position = {x, y};
  item.scale = scale;
  return item;
}

DesignSpec standardCanvas(GradientKind kind, const std::filesystem::path& picture) {
  DesignSpec spec;
  spec.size = {canvasWidth, canvasHeight};
  spec.gradient.kind = kind;
  spec.gradient.stops = {{{0.1, 0.2, 0.5, 1}, 0, {0, 0}}, {{0.6, 0.3, 0.6, 1}, 1, {1, 1}}};
  spec.gradient.angleDegrees = 35;
  spec.gradient.radialCenter = {0.5, 0.5};
  spec.gradient.radialRadius = 0.6;

  DesignerTextSpec text;
  text.text = "Drag the app to Applications";
  text.fontSize = 48;
  text.isBold = true;
  auto title = sticker("title", StickerSource::text(text), 800, 880, 1);
  title.outlineEnabled = true;
  title.outlineWidth = 3;
  title.outlineColor = {0.1, 0.1, 0.3, 1};
  auto arrow = sticker("arrow", StickerSource::sfSymbol("arrow.right"), 800, 500, 0.25);
  arrow.outline = OutlineSpec{{1, 1, 1, 1}, 4};
  auto chevron = sticker("chevron", StickerSource::sfSymbol("chevron.right.2"), 1300, 200, 0.12);
  chevron.rotationRadians = -0.4;
  chevron.opacity = 0.6;
  auto badge = sticker("badge", StickerSource::file(FileURL::fromPath(picture)), 250, 180, 0.5);
  badge.mirroredHorizontally = true;
  spec.stickers = {title, arrow, chevron, badge};
  return spec;
}

std::filesystem::path writeBadge(const TemporaryFolder& folder) {
  const auto path = folder.path() / "badge.png";
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 512, 384);
  cairo_t* context = cairo_create(surface);
  cairo_set_source_rgb(context, 0.95, 0.55, 0.1);
  cairo_arc(context, 256, 192, 180, 0, 2 * M_PI);
  cairo_fill(context);
  cairo_destroy(context);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return path;
}

void renderStandardCanvas(benchmark::State& state, GradientKind kind) {
  TemporaryFolder folder("Halyard_DesignBench_");
  const auto spec = standardCanvas(kind, writeBadge(folder));
  const double baseline = plainFillSeconds();
  double total = 0;
  long long rounds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto image = DesignRenderer::render(spec, renderScale);
    benchmark::DoNotOptimize(image.surface());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++rounds;
  }
  state.counters["plain_fill_ms"] = baseline * 1000;
  state.counters["x_plain_fill"] = total / static_cast<double>(rounds) / baseline;
  state.counters["peak_rss_MB"] = peakResidentMB();
}

void BM_RenderLinearWithStickers(benchmark::State& state) {
  renderStandardCanvas(state, GradientKind::linear);
}
void BM_RenderAngularWithStickers(benchmark::State& state) {
  renderStandardCanvas(state, GradientKind::angular);
}

} // namespace

BENCHMARK(BM_RenderLinearWithStickers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderAngularWithStickers)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
