// The handle tables of the drawing objects.
#include "platform/gdi/gdi_objects.h"

#include <cstdlib>
#include <new>
#include <unordered_map>

namespace platform::gdi {
namespace {

// Handle values: kHandleBase + 16 x serial + kind. The base keeps them clear of the stock objects
// (kStockObjectBase + n) and of small integers; the kind keeps a context from passing as a bitmap.
constexpr std::uintptr_t kHandleBase = 0x10000000;
enum HandleKind : std::uintptr_t { kDcHandle = 1, kBitmapHandle = 2, kFontHandle = 3 };

std::uintptr_t next_serial = 1;

template <typename Object>
using Table = std::unordered_map<std::uintptr_t, std::unique_ptr<Object>>;

Table<Bitmap>& Bitmaps() {
  static Table<Bitmap> table;
  return table;
}

Table<Font>& Fonts() {
  static Table<Font> table;
  return table;
}

Table<DeviceContext>& Dcs() {
  static Table<DeviceContext> table;
  return table;
}

std::uintptr_t NewHandleValue(HandleKind kind) { return kHandleBase + 16 * next_serial++ + kind; }

template <typename Object>
std::uintptr_t Add(Table<Object>& table, HandleKind kind, std::unique_ptr<Object> object) {
  if (!object) return 0;
  const std::uintptr_t value = NewHandleValue(kind);
  table[value] = std::move(object);
  return value;
}

template <typename Object>
Object* Find(Table<Object>& table, const void* handle) {
  const auto found = table.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == table.end() ? nullptr : found->second.get();
}

template <typename Object>
bool Remove(Table<Object>& table, const void* handle) {
  return table.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
}

// GetStockObject numbers: 0-5 brushes, 6-8 pens, 10-14, 16 and 17 fonts, 18 DC_BRUSH, 19 DC_PEN.
constexpr StockKind kStockKinds[] = {
    StockKind::Brush, StockKind::Brush, StockKind::Brush, StockKind::Brush, StockKind::Brush,
    StockKind::Brush, StockKind::Pen,   StockKind::Pen,   StockKind::Pen,   StockKind::None,
    StockKind::Font,  StockKind::Font,  StockKind::Font,  StockKind::Font,  StockKind::Font,
    StockKind::None,  StockKind::Font,  StockKind::Font,  StockKind::Brush, StockKind::Pen,
};

}  // namespace

void FreeMemory::operator()(std::uint8_t* memory) const { std::free(memory); }

std::mutex& GdiLock() {
  static std::mutex lock;
  return lock;
}

HBITMAP DefaultBitmap() { return reinterpret_cast<HBITMAP>(kHandleBase + kBitmapHandle); }

HBITMAP AddBitmap(std::unique_ptr<Bitmap> bitmap) {
  return reinterpret_cast<HBITMAP>(Add(Bitmaps(), kBitmapHandle, std::move(bitmap)));
}

Bitmap* FindBitmap(HGDIOBJ handle) { return Find(Bitmaps(), handle); }

bool RemoveBitmap(HGDIOBJ handle) { return Remove(Bitmaps(), handle); }

HFONT AddFont(const LOGFONTW& logfont) {
  auto font = std::unique_ptr<Font>(new (std::nothrow) Font{logfont});
  return reinterpret_cast<HFONT>(Add(Fonts(), kFontHandle, std::move(font)));
}

Font* FindFont(HGDIOBJ handle) { return Find(Fonts(), handle); }

bool RemoveFont(HGDIOBJ handle) { return Remove(Fonts(), handle); }

HDC AddDc(const DeviceContext& dc) {
  auto copy = std::unique_ptr<DeviceContext>(new (std::nothrow) DeviceContext(dc));
  return reinterpret_cast<HDC>(Add(Dcs(), kDcHandle, std::move(copy)));
}

DeviceContext* FindDc(HDC handle) { return Find(Dcs(), handle); }

bool RemoveDc(HDC handle) { return Remove(Dcs(), handle); }

bool SelectedAnywhere(HGDIOBJ object) {
  for (const auto& [value, dc] : Dcs()) {
    if (dc->font == object || dc->brush == object || dc->pen == object) return true;
  }
  return false;
}

std::unique_ptr<Bitmap> NewBitmap(int width, int height, int bits_per_pixel, bool bottom_up) {
  if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      std::int64_t{width} * height > kMaxBitmapPixels) {
    return nullptr;
  }
  auto bitmap = std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap);
  if (!bitmap) return nullptr;
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bits_per_pixel = bits_per_pixel;
  // Rows padded to 4 bytes, as every Win32 bitmap row is.
  bitmap->stride = (width * bits_per_pixel + 31) / 32 * 4;
  bitmap->bottom_up = bottom_up;
  const std::size_t bytes = static_cast<std::size_t>(bitmap->stride) * height;
  bitmap->memory.reset(static_cast<std::uint8_t*>(std::calloc(bytes == 0 ? 4 : bytes, 1)));
  if (!bitmap->memory) return nullptr;
  return bitmap;
}

const LOGFONTW& StockFont() {
  static const LOGFONTW font = [] {
    LOGFONTW logfont{};
    logfont.lfHeight = 16;
    logfont.lfWeight = 400;
    const char16_t face[] = u"Sans";
    std::copy(std::begin(face), std::end(face), logfont.lfFaceName);
    return logfont;
  }();
  return font;
}

StockKind StockObjectKind(HGDIOBJ object) {
  const int index = StockObjectIndex(object);
  if (index < 0 || index >= static_cast<int>(std::size(kStockKinds))) return StockKind::None;
  return kStockKinds[index];
}

}  // namespace platform::gdi

namespace platform {

void CountGdiObjects(std::size_t* device_contexts, std::size_t* bitmaps, std::size_t* fonts) {
  std::lock_guard<std::mutex> hold(gdi::GdiLock());
  *device_contexts = gdi::Dcs().size();
  *bitmaps = gdi::Bitmaps().size();
  *fonts = gdi::Fonts().size();
}

}  // namespace platform
