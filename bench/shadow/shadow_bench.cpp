// Time of one main-window shadow picture (1365 × 902 target, size 30: a
// 1425 × 962 bitmap) against the memory-bandwidth bound of writing the same
// buffer once with memset.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "ui/shadow_render.h"

namespace {

zorv::ui::ShadowLayout MainWindowLayout() {
  float size = 30.0f;
  return *zorv::ui::LayoutShadow(0, 0, 1365, 902, size, 1, 1);
}

void BM_ShadowPixels(benchmark::State& state) {
  const zorv::ui::ShadowLayout layout = MainWindowLayout();
  std::vector<uint32_t> pixels(layout.PixelCount());
  const uint32_t color = zorv::ui::ComposeColor(0, 0, 0, 50);
  for (auto _ : state) {
    zorv::ui::RenderShadowPixels(layout, color, pixels);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pixels.size() * 4);
}

void BM_Memset(benchmark::State& state) {
  const zorv::ui::ShadowLayout layout = MainWindowLayout();
  std::vector<uint32_t> pixels(layout.PixelCount());
  int value = 0;
  for (auto _ : state) {
    std::memset(pixels.data(), ++value & 0xFF, pixels.size() * 4);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pixels.size() * 4);
}

}  // namespace

BENCHMARK(BM_Memset)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShadowPixels)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
