// BitBlt between the program's kinds of bitmap (the 24-bit bottom-up DIB sections, 32-bit device
// bitmaps), each against a memcpy of the bytes it writes: first whole frames of every conversion,
// then the copies into bitmaps that a refresh of the panel makes, with their own rectangles and
// source offsets; last the clock line. pixman's conversions are measured beside them. The copy
// onto the window is measured with its presentation, in present_bench.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench/against_memcpy.h"
#include "platform/resources.h"
#include "platform/win32.h"
#include "resources/panel_resources.h"

namespace {

using bench::AgainstMemcpy;

constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr std::size_t kFrame24 = kWidth * 3 * kHeight;  // rows of 2400 bytes, already 4-aligned
constexpr std::size_t kFrame32 = kWidth * 4 * kHeight;

struct Surface {
  HDC dc;
  HBITMAP bitmap;
};

// Pictures with some content, so that no path meets a blank frame it could treat specially.
void Scramble(std::uint8_t* bytes, std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(random() >> 7);
}

Surface Dib24(int width = kWidth, int height = kHeight) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  Surface surface{CreateCompatibleDC(nullptr),
                  CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
  Scramble(static_cast<std::uint8_t*>(bits),
           static_cast<std::size_t>((width * 3 + 3) & ~3) * height, 1);
  SelectObject(surface.dc, surface.bitmap);
  return surface;
}

// A device bitmap holding a scrambled picture, as LoadBitmapW leaves the panel's pictures.
Surface Device32(int width = kWidth, int height = kHeight, unsigned seed = 2) {
  HDC dc = CreateCompatibleDC(nullptr);
  Surface surface{dc, CreateCompatibleBitmap(dc, width, height)};
  SelectObject(surface.dc, surface.bitmap);
  Surface source = Dib24(width, height);
  BITMAP header{};
  GetObjectW(source.bitmap, sizeof header, &header);
  Scramble(static_cast<std::uint8_t*>(header.bmBits),
           static_cast<std::size_t>(header.bmWidthBytes) * height, seed);
  BitBlt(surface.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY);
  DeleteDC(source.dc);
  DeleteObject(source.bitmap);
  return surface;
}

void Blit(benchmark::State& state, const Surface& to, const Surface& from, std::size_t bytes) {
  AgainstMemcpy(state, bytes,
                [&] { BitBlt(to.dc, 0, 0, kWidth, kHeight, from.dc, 0, 0, SRCCOPY); });
}

// Whole frames.
void BM_BitBlt24To32(benchmark::State& state) { Blit(state, Device32(), Dib24(), kFrame32); }
void BM_BitBlt32To24(benchmark::State& state) { Blit(state, Dib24(), Device32(), kFrame24); }
void BM_BitBlt32To32(benchmark::State& state) { Blit(state, Device32(), Device32(), kFrame32); }

// One of the panel's own pictures, as LoadBitmapW leaves it.
Surface PanelPicture(int id) {
  SetResourceTable(&PanelResources());
  Surface surface{CreateCompatibleDC(nullptr), LoadBitmapW(nullptr, MAKEINTRESOURCEW(id))};
  SelectObject(surface.dc, surface.bitmap);
  return surface;
}

// The copies of a refresh, from the panel's pictures. The backdrop fill asks for the whole 800 x
// 480 from an offset into the 800 x 480 picture, so clipping leaves 722 x 451 (full panel) or
// 330 x 120 (compact view; its background is a picture of the same kind from the card).
void BM_BackdropFillFullPanel(benchmark::State& state) {
  const Surface backdrop = Dib24(), picture = PanelPicture(188);
  AgainstMemcpy(state, std::size_t{722} * 451 * 3,
                [&] { BitBlt(backdrop.dc, 0, 0, kWidth, kHeight, picture.dc, 78, 29, SRCCOPY); });
}

void BM_BackdropFillCompact(benchmark::State& state) {
  const Surface backdrop = Dib24(), picture = PanelPicture(188);
  AgainstMemcpy(state, std::size_t{330} * 120 * 3,
                [&] { BitBlt(backdrop.dc, 0, 0, kWidth, kHeight, picture.dc, 470, 360, SRCCOPY); });
}

void BM_CanvasToBackBufferFullPanel(benchmark::State& state) {
  const Surface back = Device32(), canvas = Dib24();
  AgainstMemcpy(state, std::size_t{614} * 210 * 4,
                [&] { BitBlt(back.dc, 93, 61, 614, 210, canvas.dc, 15, 32, SRCCOPY); });
}

void BM_CanvasToBackBufferCompact(benchmark::State& state) {
  const Surface back = Device32(), canvas = Dib24();
  AgainstMemcpy(state, std::size_t{320} * 110 * 4,
                [&] { BitBlt(back.dc, 470, 360, 320, 110, canvas.dc, 0, 0, SRCCOPY); });
}

void BM_Indicators(benchmark::State& state) {
  const Surface back = Device32(), aux = PanelPicture(211), usb = PanelPicture(212),
                link = PanelPicture(214);
  AgainstMemcpy(
      state, std::size_t{52 * 14 + 72 * 14 + 15 * 10} * 4,
      [&] {
        BitBlt(back.dc, 176, 16, 52, 14, aux.dc, 0, 14, SRCCOPY);
        BitBlt(back.dc, 269, 16, 72, 14, usb.dc, 0, 0, SRCCOPY);
        BitBlt(back.dc, 780, 470, 15, 10, link.dc, 15, 0, SRCCOPY);
      },
      16);
}

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
  AgainstMemcpy(state, expand ? kFrame32 : kFrame24, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, expand ? image24 : image32, nullptr,
                             expand ? image32 : image24, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  });
  pixman_image_unref(image24);
  pixman_image_unref(image32);
}

void BM_Pixman24To32(benchmark::State& state) { Pixman(state, true); }
void BM_Pixman32To24(benchmark::State& state) { Pixman(state, false); }

// As the clock does it: a font made, selected, drawn with and deleted each time; against the
// bytes of the clock's rectangle.
void BM_DrawTextClockLine(benchmark::State& state) {
  const Surface back = Device32();
  LOGFONTW logfont{};
  logfont.lfHeight = 26;
  logfont.lfWidth = 10;
  logfont.lfWeight = 200;
  logfont.lfQuality = 4;
  std::memcpy(logfont.lfFaceName, u"Arial", sizeof u"Arial");
  SetBkColor(back.dc, 0);
  SetTextColor(back.dc, 0x808080);
  AgainstMemcpy(state, std::size_t{318} * 30 * 4, [&] {
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ previous = SelectObject(back.dc, font);
    RECT rect{240, 447, 558, 477};
    DrawTextW(back.dc, u"  Dec.7 Mon am 9:05  ", -1, &rect, DT_CENTER);
    SelectObject(back.dc, previous);
    DeleteObject(font);
  });
}

BENCHMARK(BM_BitBlt24To32);
BENCHMARK(BM_BitBlt32To24);
BENCHMARK(BM_BitBlt32To32);
BENCHMARK(BM_BackdropFillFullPanel);
BENCHMARK(BM_BackdropFillCompact);
BENCHMARK(BM_CanvasToBackBufferFullPanel);
BENCHMARK(BM_CanvasToBackBufferCompact);
BENCHMARK(BM_Indicators);
BENCHMARK(BM_Pixman24To32);
BENCHMARK(BM_Pixman32To24);
BENCHMARK(BM_DrawTextClockLine);

}  // namespace

BENCHMARK_MAIN();
