#include "tests/soak/lcd_reference.h"

#include <cstring>

namespace {

// A frame shows pages 0 to 14 and, of each, columns 2 to 312; the chunk with row id 142 ends it.
void ApplyFrame(LcdReference* lcd) {
  for (int page = 0; page < 15; ++page) {
    for (int column = 2; column <= 312; ++column) {
      const std::uint8_t value = lcd->pages[page][column];
      if (value == lcd->applied[page][column]) continue;
      lcd->applied[page][column] = value;
      for (int bit = 0; bit < 8; ++bit) {
        lcd->matrix[8 * page + bit][column] = (value >> bit) & 1 ? 255 : 0;
      }
    }
  }
}

}  // namespace

void TakeStreamRead(LcdReference* lcd, const std::uint8_t* sectors) {
  for (int sector = 0; sector < 10; ++sector) {
    const std::uint8_t* data = sectors + 512 * sector;
    for (int chunk = 0; chunk < 3; ++chunk) {
      const std::uint8_t row_id = data[508 + chunk];
      // The low four bits name the page; ids from 127 up fill its right half.
      std::memcpy(&lcd->pages[row_id & 0x0F][row_id >= 127 ? 160 : 0], data + 160 * chunk, 160);
      if (row_id == 142) ApplyFrame(lcd);
    }
  }
}
