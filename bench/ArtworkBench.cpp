// Composing the default DMG background for the standard window (1600 × 1000 points) at backing
// scale 2, PNG encoding included, with both label pills and the arrow. The figure is reported as a
// ratio to a plain baseline measured in the same run: a 3200 × 2000 bitmap filled with one colour
// by cairo and written as PNG, the least any background costs. Goal: at most 3 times the baseline.
//
// The preview of the whole standard window (`--preview`: the background, then the frame, a
// 1,024-pixel app icon, the Applications folder and the labels drawn over it) is reported as a
// ratio to the background alone, measured in the same run.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <string>

#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/FinderWindowScene.hpp"

using namespace halyard;

namespace {

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

double plainFillAndWriteSeconds() {
  constexpr int rounds = 5;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3200, 2000);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 0.08, 0.08, 0.08);
    cairo_paint(context);
    cairo_destroy(context);
    std::string png;
    cairo_surface_write_to_png_stream(surface, appendToString, &png);
    benchmark::DoNotOptimize(png.data());
    cairo_surface_destroy(surface);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

DMGBuildRequest standardRequest() {
  DMGBuildRequest request;
  request.dmgName = "Demo";
  request.arrowSymbol = "arrow.right";
  request.installerWindowSize = {1600, 1000};
  request.exportLabelPillEnabled = true;
  request.exportLabelPillColor = CodableColor::white();
  request.exportLabelTextColor = CodableColor::black();
  return request;
}

void BM_ComposeStandardBackground(benchmark::State& state) {
  const DMGBuildRequest request = standardRequest();
  const DMGWindowArtwork artwork = DMGWindowArtwork::make(request, "Demo");
  const double baseline = plainFillAndWriteSeconds();
  double total = 0;
  long long rounds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto png = artwork.backgroundPNG(request);
    benchmark::DoNotOptimize(png);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++rounds;
  }
  state.counters["plain_fill_png_ms"] = baseline * 1000;
  state.counters["x_plain_fill_png"] = total / static_cast<double>(rounds) / baseline;
}

// A 1,024-pixel square icon: an opaque tile with a circle, as an app's largest icon image.
std::string iconPNG() {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1024, 1024);
  cairo_t* context = cairo_create(surface);
  cairo_set_source_rgb(context, 1, 0.5, 0);
  cairo_paint(context);
  cairo_arc(context, 512, 512, 300, 0, 6.3);
  cairo_set_source_rgb(context, 1, 1, 1);
  cairo_fill(context);
  cairo_destroy(context);
  std::string png;
  cairo_surface_write_to_png_stream(surface, appendToString, &png);
  cairo_surface_destroy(surface);
  return png;
}

void BM_StandardWindowPreview(benchmark::State& state) {
  const DMGBuildRequest request = standardRequest();
  const auto backgroundSeconds = [&] {
    const auto start = std::chrono::steady_clock::now();
    auto png = DMGWindowArtwork::make(request, "Demo").backgroundPNG(request);
    benchmark::DoNotOptimize(png);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  double background = 0;
  for (int i = 0; i < 3; ++i)
    background += backgroundSeconds() / 3;
  const std::string icon = iconPNG();
  double total = 0;
  long long rounds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto scene = FinderWindowScene::forRelease(
        request, "/nonexistent/Demo.app",
        DMGWindowArtwork::make(request, "Demo").backgroundPNG(request));
    scene.items.front().iconPNG = icon;
    auto png = scene.png();
    benchmark::DoNotOptimize(png);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++rounds;
  }
  state.counters["background_ms"] = background * 1000;
  state.counters["x_background"] = total / static_cast<double>(rounds) / background;
}

} // namespace

BENCHMARK(BM_ComposeStandardBackground)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandardWindowPreview)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
