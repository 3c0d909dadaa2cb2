// Full-screen BitBlt between the program's surfaces (the 24-bit bottom-up canvas, 32-bit device
// bitmaps), each beside a memcpy of the same frame measured in the same run, plus the clock line.
// The same conversions done by pixman show why BitBlt converts with loops of its own.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr std::size_t kFrame24 = kWidth * 3 * kHeight;  // rows of 2400 bytes, already 4-aligned
constexpr std::size_t kFrame32 = kWidth * 4 * kHeight;

struct Surface {
  HDC dc;
  HBITMAP bitmap;
};

Surface Dib24() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  Surface surface{CreateCompatibleDC(nullptr),
                  CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
  std::memset(bits, 0x5A, kFrame24);
  SelectObject(surface.dc, surface.bitmap);
  return surface;
}

Surface Device32() {
  HDC dc = CreateCompatibleDC(nullptr);
  Surface surface{dc, CreateCompatibleBitmap(dc, kWidth, kHeight)};
  SelectObject(surface.dc, surface.bitmap);
  return surface;
}

void Memcpy(benchmark::State& state, std::size_t bytes) {
  std::vector<std::uint8_t> source(bytes, 0x5A), target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Memcpy24BitFrame(benchmark::State& state) { Memcpy(state, kFrame24); }
void BM_Memcpy32BitFrame(benchmark::State& state) { Memcpy(state, kFrame32); }

void Blit(benchmark::State& state, const Surface& to, const Surface& from, std::size_t bytes) {
  for (auto _ : state) {
    BitBlt(to.dc, 0, 0, kWidth, kHeight, from.dc, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

// The canvas into the back buffer.
void BM_BitBlt24To32(benchmark::State& state) { Blit(state, Device32(), Dib24(), kFrame32); }
// The back buffer to the window, and a picture into the back buffer.
void BM_BitBlt32To32(benchmark::State& state) { Blit(state, Device32(), Device32(), kFrame32); }
// The panel picture into the backdrop.
void BM_BitBlt32To24(benchmark::State& state) { Blit(state, Dib24(), Device32(), kFrame24); }

// pixman's composite with PIXMAN_OP_SRC, a bottom-up 24-bit image given by its top row and a
// negative stride.
void Pixman(benchmark::State& state, bool expand) {
  std::vector<std::uint8_t> rows24(kFrame24, 0x5A);
  std::vector<std::uint32_t> rows32(kWidth * kHeight);
  pixman_image_t* image24 = pixman_image_create_bits(
      PIXMAN_r8g8b8, kWidth, kHeight,
      reinterpret_cast<std::uint32_t*>(rows24.data() + (kHeight - 1) * kWidth * 3), -kWidth * 3);
  pixman_image_t* image32 =
      pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, rows32.data(), kWidth * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, expand ? image24 : image32, nullptr,
                             expand ? image32 : image24, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(image24);
  pixman_image_unref(image32);
  state.SetBytesProcessed(state.iterations() * (expand ? kFrame32 : kFrame24));
}

void BM_Pixman24To32(benchmark::State& state) { Pixman(state, true); }
void BM_Pixman32To24(benchmark::State& state) { Pixman(state, false); }

void BM_DrawTextClockLine(benchmark::State& state) {
  Surface back = Device32();
  LOGFONTW logfont{};
  logfont.lfHeight = 26;
  logfont.lfWidth = 10;
  logfont.lfWeight = 200;
  logfont.lfQuality = 4;
  std::memcpy(logfont.lfFaceName, u"Arial", sizeof u"Arial");
  SetBkColor(back.dc, 0);
  SetTextColor(back.dc, 0x808080);
  for (auto _ : state) {
    // As the clock does it: a font made, selected, drawn with and deleted each time.
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ previous = SelectObject(back.dc, font);
    RECT rect{240, 447, 558, 477};
    DrawTextW(back.dc, u"  Dec.7 Mon am 9:05  ", -1, &rect, DT_CENTER);
    SelectObject(back.dc, previous);
    DeleteObject(font);
  }
}

BENCHMARK(BM_Memcpy24BitFrame);
BENCHMARK(BM_Memcpy32BitFrame);
BENCHMARK(BM_BitBlt24To32);
BENCHMARK(BM_BitBlt32To32);
BENCHMARK(BM_BitBlt32To24);
BENCHMARK(BM_Pixman24To32);
BENCHMARK(BM_Pixman32To24);
BENCHMARK(BM_DrawTextClockLine);

}  // namespace

BENCHMARK_MAIN();
