// Rendering the standard 1600 × 1000 window background at scale 2 (a 3200 × 2000 bitmap) and
// writing it as PNG, the way a disk image's background is made. Each iteration is an interleaved
// pair, so a busy machine weighs on both sides alike, and each prints its ratio:
// - the linear background against a plain cairo program that fills the same surface with the same
//   gradient and writes it with cairo's own PNG writer (the least a renderer has to do);
// - the angular background against the linear one, both written.
// A third figure renders the canvas with a few stickers and reports the peak resident size, which
// stays at one bitmap (25.6 MB) plus the sticker pictures.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignRenderer.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;

namespace {

constexpr double canvasWidth = 1600;
constexpr double canvasHeight = 1000;
constexpr double renderScale = 2;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The baseline: one surface of the same size, the same linear gradient painted by cairo, written
// by cairo's PNG writer into memory. Returns the PNG's size.
std::size_t plainCairoPNG() {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3200, 2000);
  cairo_t* context = cairo_create(surface);
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 3200, 0);
  cairo_pattern_add_color_stop_rgba(pattern, 0, 0.1, 0.2, 0.5, 1);
  cairo_pattern_add_color_stop_rgba(pattern, 1, 0.6, 0.3, 0.6, 1);
  cairo_set_source(context, pattern);
  cairo_paint(context);
  std::string bytes;
  cairo_surface_write_to_png_stream(surface, appendBytes, &bytes);
  cairo_pattern_destroy(pattern);
  cairo_destroy(context);
  cairo_surface_destroy(surface);
  return bytes.size();
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

DesignSpec background(GradientKind kind) {
  DesignSpec spec;
  spec.size = {canvasWidth, canvasHeight};
  spec.gradient.kind = kind;
  spec.gradient.stops = {{{0.1, 0.2, 0.5, 1}, 0, {0, 0}}, {{0.6, 0.3, 0.6, 1}, 1, {1, 1}}};
  return spec;
}

std::size_t renderedPNG(const DesignSpec& spec) {
  return DesignImageEffects::pngData(DesignRenderer::render(spec, renderScale)).size();
}

// Times `baseline` and `measured` alternately, once each per iteration, and reports the ratio of
// their total times.
template <class Baseline, class Measured>
void comparePairs(benchmark::State& state, const char* label, Baseline baseline,
                  Measured measured) {
  double baseSeconds = 0, measuredSeconds = 0;
  std::size_t baseBytes = 0, measuredBytes = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    baseBytes = baseline();
    baseSeconds += secondsSince(start);
    start = Clock::now();
    measuredBytes = measured();
    measuredSeconds += secondsSince(start);
  }
  const auto rounds = static_cast<double>(state.iterations());
  state.counters["base_ms"] = baseSeconds / rounds * 1000;
  state.counters["measured_ms"] = measuredSeconds / rounds * 1000;
  state.counters["ratio"] = measuredSeconds / baseSeconds;
  std::printf("%s: %.1f ms against %.1f ms: %.2fx (PNG %zu against %zu bytes)\n", label,
              measuredSeconds / rounds * 1000, baseSeconds / rounds * 1000,
              measuredSeconds / baseSeconds, measuredBytes, baseBytes);
}

void BM_LinearBackgroundPNGAgainstPlainCairo(benchmark::State& state) {
  const auto spec = background(GradientKind::linear);
  comparePairs(state, "linear background with PNG against plain cairo", plainCairoPNG,
               [&] { return renderedPNG(spec); });
}

void BM_AngularAgainstLinearBackgroundPNG(benchmark::State& state) {
  const auto linear = background(GradientKind::linear);
  const auto angular = background(GradientKind::angular);
  comparePairs(
      state, "angular background against linear, both with PNG",
      [&] { return renderedPNG(linear); }, [&] { return renderedPNG(angular); });
}

void BM_RenderWithStickers(benchmark::State& state) {
  TemporaryFolder folder("Halyard_DesignBench_");
  const auto spec = standardCanvas(GradientKind::linear, writeBadge(folder));
  for (auto _ : state) {
    auto image = DesignRenderer::render(spec, renderScale);
    benchmark::DoNotOptimize(image.surface());
  }
  state.counters["peak_rss_MB"] = peakResidentMB();
}

} // namespace

BENCHMARK(BM_LinearBackgroundPNGAgainstPlainCairo)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_AngularAgainstLinearBackgroundPNG)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_RenderWithStickers)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
