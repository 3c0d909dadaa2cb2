#include "tests/platform_gdi/bmp_file.h"

#include <cstdlib>

namespace platform::test {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value);
  Put16(out, value >> 16);
}

// Runs of one value in a row, as (value, length).
std::vector<std::pair<std::uint32_t, int>> Runs(int width, int y, const PixelValue& value) {
  std::vector<std::pair<std::uint32_t, int>> runs;
  for (int x = 0; x < width; ++x) {
    const std::uint32_t v = value(x, y);
    if (!runs.empty() && runs.back().first == v && runs.back().second < 255) {
      ++runs.back().second;
    } else {
      runs.emplace_back(v, 1);
    }
  }
  return runs;
}

void PutAbsolute(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& values,
                 int bits) {
  out.push_back(0);
  out.push_back(static_cast<std::uint8_t>(values.size()));
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (bits == 8) {
      bytes.push_back(static_cast<std::uint8_t>(values[i]));
    } else if (i % 2 == 0) {
      bytes.push_back(static_cast<std::uint8_t>(values[i] << 4));
    } else {
      bytes.back() |= static_cast<std::uint8_t>(values[i]);
    }
  }
  // Absolute runs end on a 16-bit boundary.
  if (bytes.size() % 2) bytes.push_back(0);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::uint8_t> BmpFile(const BmpLayout& layout) {
  const bool core = layout.header_size == 12;
  const std::uint32_t palette_bytes =
      static_cast<std::uint32_t>(layout.palette.size()) * (core ? 3 : 4);
  const std::uint32_t offset = 14 + layout.header_size + palette_bytes;
  std::vector<std::uint8_t> file{'B', 'M'};
  Put32(file, offset + static_cast<std::uint32_t>(layout.pixels.size()));
  Put32(file, 0);
  Put32(file, offset);
  Put32(file, layout.header_size);
  if (core) {
    Put16(file, static_cast<std::uint32_t>(layout.width));
    Put16(file, static_cast<std::uint32_t>(layout.height));
    Put16(file, 1);
    Put16(file, static_cast<std::uint32_t>(layout.bits));
  } else {
    Put32(file, static_cast<std::uint32_t>(layout.width));
    Put32(file, static_cast<std::uint32_t>(layout.height));
    Put16(file, 1);
    Put16(file, static_cast<std::uint32_t>(layout.bits));
    Put32(file, layout.compression);
    Put32(file, static_cast<std::uint32_t>(layout.pixels.size()));
    Put32(file, 2835);  // 72 dots per inch
    Put32(file, 2835);
    Put32(file, static_cast<std::uint32_t>(layout.palette.size()));
    Put32(file, 0);
    file.resize(14 + layout.header_size, 0);
  }
  for (std::uint32_t colour : layout.palette) {
    file.push_back(static_cast<std::uint8_t>(colour));
    file.push_back(static_cast<std::uint8_t>(colour >> 8));
    file.push_back(static_cast<std::uint8_t>(colour >> 16));
    if (!core) file.push_back(0);
  }
  file.insert(file.end(), layout.pixels.begin(), layout.pixels.end());
  return file;
}

std::vector<std::uint8_t> StoredRows(int width, int height, int bits, const PixelValue& value) {
  const int rows = std::abs(height);
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> stored(stride * rows, 0);
  for (int s = 0; s < rows; ++s) {
    const int y = height > 0 ? rows - 1 - s : s;
    std::uint8_t* row = stored.data() + s * stride;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = value(x, y);
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          const int bit = x * bits;
          row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
          break;
        }
        case 16: {
          const std::uint32_t packed =
              ((v >> 19) & 0x1F) << 10 | ((v >> 11) & 0x1F) << 5 | ((v >> 3) & 0x1F);
          row[2 * x] = static_cast<std::uint8_t>(packed);
          row[2 * x + 1] = static_cast<std::uint8_t>(packed >> 8);
          break;
        }
        default:
          for (int byte = 0; byte < bits / 8; ++byte) {
            // The fourth byte of a 32-bit pixel carries something unrelated to the colour.
            row[x * bits / 8 + byte] = static_cast<std::uint8_t>(byte < 3 ? v >> (8 * byte) : 0x7F);
          }
      }
    }
  }
  return stored;
}

std::vector<std::uint8_t> RunLengthStream(int width, int height, int bits,
                                          const PixelValue& value) {
  std::vector<std::uint8_t> out;
  for (int y = height - 1; y >= 0; --y) {
    std::vector<std::uint32_t> literal;
    const auto flush = [&] {
      if (literal.size() >= 3) {
        PutAbsolute(out, literal, bits);
      } else {
        for (std::uint32_t v : literal) {
          out.push_back(1);
          out.push_back(static_cast<std::uint8_t>(bits == 8 ? v : v << 4 | v));
        }
      }
      literal.clear();
    };
    for (const auto& [v, length] : Runs(width, y, value)) {
      if (length == 1) {
        literal.push_back(v);
        continue;
      }
      flush();
      out.push_back(static_cast<std::uint8_t>(length));
      out.push_back(static_cast<std::uint8_t>(bits == 8 ? v : v << 4 | v));
    }
    flush();
    out.push_back(0);  // end of line
    out.push_back(0);
  }
  out.push_back(0);  // end of bitmap
  out.push_back(1);
  return out;
}

}  // namespace platform::test
