#include "core/Design/DesignGradientPainter.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "core/Design/DesignRenderError.hpp"

namespace halyard {

namespace {

struct SaveState {
  cairo_t* context;
  explicit SaveState(cairo_t* value) : context(value) { cairo_save(context); }
  ~SaveState() { cairo_restore(context); }
};

double clampedUnit(double value) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, 0.0, 1.0);
}

uint32_t toByte(double value) {
  return static_cast<uint32_t>(std::round(value * 255));
}

// atan2 in single precision from a minimax polynomial on [0, 1] (error below 1e-5 radians, far
// under one step of the angular gradient's colour table). Exact on the axes.
float fastAtan2(float y, float x) {
  const float ax = std::fabs(x);
  const float ay = std::fabs(y);
  const float larger = std::max(ax, ay);
  if (larger == 0) return 0;
  const float a = std::min(ax, ay) / larger;
  const float s = a * a;
  float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
  if (ay > ax) r = std::numbers::pi_v<float> / 2 - r;
  if (x < 0) r = std::numbers::pi_v<float> - r;
  return y < 0 ? -r : r;
}

void fill(cairo_t* context, DesignSize size, const CodableColor& color) {
  cairo_set_source_rgba(context, color.r, color.g, color.b, color.a);
  cairo_rectangle(context, 0, 0, size.width, size.height);
  cairo_fill(context);
}

void paintPattern(cairo_t* context, DesignSize size, cairo_pattern_t* pattern,
                  const GradientSpec& gradient) {
  for (const auto& stop : gradient.stops) {
    cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.color.r, stop.color.g,
                                      stop.color.b, stop.color.a);
  }
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  const bool ok = cairo_pattern_status(pattern) == CAIRO_STATUS_SUCCESS;
  if (ok) {
    cairo_set_source(context, pattern);
    cairo_rectangle(context, 0, 0, size.width, size.height);
    cairo_fill(context);
  }
  cairo_pattern_destroy(pattern);
  if (!ok) throw DesignRenderError::renderFailed();
}

} // namespace

void DesignGradientPainter::draw(cairo_t* context, DesignSize size, const GradientSpec& gradient) {
  SaveState state(context);
  cairo_set_operator(context, CAIRO_OPERATOR_CLEAR);
  cairo_rectangle(context, 0, 0, size.width, size.height);
  cairo_fill(context);
  cairo_set_operator(context, CAIRO_OPERATOR_OVER);

  switch (gradient.kind) {
  case GradientKind::none:
    break;
  case GradientKind::linear: {
    const double theta = gradient.angleDegrees * std::numbers::pi / 180;
    const double cx = size.width / 2;
    const double cy = size.height / 2;
    const double r = std::hypot(size.width, size.height) * 0.5;
    const double dx = std::cos(theta) * r;
    const double dy = std::sin(theta) * r;
    paintPattern(context, size, cairo_pattern_create_linear(cx - dx, cy - dy, cx + dx, cy + dy),
                 gradient);
    break;
  }
  case GradientKind::radial: {
    const double cx = gradient.radialCenter.x * size.width;
    const double cy = gradient.radialCenter.y * size.height;
    const double radius = std::max(std::min(size.width, size.height) * gradient.radialRadius, 1.0);
    paintPattern(context, size, cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius), gradient);
    break;
  }
  case GradientKind::angular: {
    cairo_surface_t* target = cairo_get_target(context);
    cairo_surface_flush(target);
    drawAngular(target, gradient);
    cairo_surface_mark_dirty(target);
    break;
  }
  case GradientKind::solid:
    fill(context, size,
         gradient.stops.empty() ? CodableColor::black() : gradient.stops.front().color);
    break;
  }
  if (cairo_status(context) != CAIRO_STATUS_SUCCESS) throw DesignRenderError::renderFailed();
}

void DesignGradientPainter::drawAngular(cairo_surface_t* surface, const GradientSpec& gradient) {
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  if (data == nullptr || width < 1 || height < 1) return;

  struct Stop {
    double location, r, g, b, a;
  };
  std::vector<Stop> stops;
  for (const auto& stop : gradient.stops) {
    stops.push_back({std::clamp(std::isnan(stop.location) ? 0.0 : stop.location, 0.0, 1.0),
                     stop.color.r, stop.color.g, stop.color.b, stop.color.a});
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const Stop& a, const Stop& b) { return a.location < b.location; });

  const auto pack = [](double r, double g, double b, double a) {
    const double alpha = clampedUnit(a);
    return (toByte(alpha) << 24) | (toByte(clampedUnit(r * alpha)) << 16) |
           (toByte(clampedUnit(g * alpha)) << 8) | toByte(clampedUnit(b * alpha));
  };

  if (stops.size() < 2) {
    const uint32_t value =
        stops.empty() ? pack(0, 0, 0, 1) : pack(stops[0].r, stops[0].g, stops[0].b, stops[0].a);
    for (int i = 0; i < height; ++i) {
      for (int j = 0; j < width; ++j)
        std::memcpy(data + static_cast<size_t>(i) * stride + static_cast<size_t>(j) * 4, &value, 4);
    }
    return;
  }

  // The colours along the turn are computed once into a table; each pixel then only needs its
  // angle, in single precision. Quarter turns fall exactly on table entries.
  const size_t last = stops.size() - 2;
  const auto colourAt = [&](double t) {
    size_t k = 0;
    while (k < last && t > stops[k + 1].location)
      ++k;
    const Stop& from = stops[k];
    const Stop& to = stops[k + 1];
    const double u = (t - from.location) / std::max(to.location - from.location, 0.000001);
    const double alpha = clampedUnit(from.a + (to.a - from.a) * u);
    const auto channel = [&](double a, double b) { return clampedUnit((a + (b - a) * u) * alpha); };
    return (toByte(alpha) << 24) | (toByte(channel(from.r, to.r)) << 16) |
           (toByte(channel(from.g, to.g)) << 8) | toByte(channel(from.b, to.b));
  };
  constexpr int steps = 4096;
  std::vector<uint32_t> table(steps + 1);
  for (int i = 0; i <= steps; ++i)
    table[static_cast<size_t>(i)] = colourAt(static_cast<double>(i) / steps);

  const auto start = static_cast<float>(gradient.angleDegrees * std::numbers::pi / 180);
  constexpr float turn = 2 * std::numbers::pi_v<float>;
  const float cx = static_cast<float>(width) / 2;
  const float cy = static_cast<float>(height) / 2;
  for (int i = 0; i < height; ++i) {
    unsigned char* row = data + static_cast<size_t>(i) * stride;
    const float dy = static_cast<float>(i) - cy;
    for (int j = 0; j < width; ++j) {
      float t = (fastAtan2(dy, static_cast<float>(j) - cx) + start) / turn;
      t -= std::floor(t);
      const auto index = std::min(static_cast<int>(t * steps + 0.5f), steps);
      std::memcpy(row + static_cast<size_t>(j) * 4, &table[static_cast<size_t>(index)], 4);
    }
  }
}

} // namespace halyard
