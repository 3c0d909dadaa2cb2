#include "panel/lamp_table.h"

// Bitmap 190 is the red lamp of the preset bar; 191 the row of arrows and SCAN; 192 the side
// columns; 194 the top bar, ENTER and POWER.
const ButtonLamp ButtonLamps[ButtonLampCount] = {
    {1, 194, 36, 431},    // POWER
    {2, 190, 135, 290},   // preset 1
    {3, 190, 233, 290},   // preset 2
    {4, 190, 332, 290},   // preset 3
    {5, 190, 432, 290},   // preset 4
    {6, 190, 530, 290},   // preset 5
    {7, 190, 629, 290},   // preset 6
    {8, 191, 131, 355},   // VOL up (right arrow)
    {9, 191, 41, 355},    // VOL down (left arrow)
    {10, 191, 632, 355},  // FILE up (right arrow)
    {11, 191, 541, 355},  // FILE down (left arrow)
    {12, 191, 182, 355},  // SEEK down (left arrow)
    {13, 191, 272, 355},  // SEEK up (right arrow)
    {14, 191, 398, 355},  // FOLDER down (left arrow)
    {15, 191, 495, 355},  // FOLDER up (right arrow)
    {16, 191, 337, 355},  // SCAN
    {17, 192, 745, 67},   // AUX
    {18, 192, 745, 142},  // INFO
    {19, 192, 745, 215},  // SETUP
    {20, 192, 20, 215},   // CD
    {21, 192, 20, 67},    // FM
    {22, 192, 20, 142},   // AM
    {23, 194, 674, 1},    // BSM
    {24, 194, 579, 1},    // EJECT
    {25, 194, 89, 1},     // NAVI
    {26, 194, 187, 1},    // AUX indicator
    {27, 194, 287, 1},    // USB indicator
    {28, 194, 706, 355},  // ENTER
    {29, 194, 392, 1},    // LCD colour (empty top-bar segment)
};

const ButtonLamp* LampOfButton(int button_id) {
  if (button_id < 1 || button_id > ButtonLampCount) return nullptr;
  return &ButtonLamps[button_id - 1];
}
