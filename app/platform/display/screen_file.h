// The headless screen as a PNG file (QUELT_SCREENSHOT=PATH), so that a user of a unit without a
// display can see what the panel shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::display {

// The visible top-level windows composed in stacking order over black: RGB, three bytes a pixel,
// the screen's size (testing::kScreenWidth x kScreenHeight).
std::vector<std::uint8_t> ComposeScreen();

enum class ScreenFileOutcome { Unchanged, Written, Failed };

// Writes the screen to path when it differs from *last_written, which then holds it. After a
// failed write *last_written stays, so the next call tries again.
ScreenFileOutcome WriteScreenFileIfChanged(const std::string& path,
                                           std::vector<std::uint8_t>* last_written);

// With QUELT_SCREENSHOT set, writes the screen to that file from now on, at most twice a second
// and only when it changed, and once more at exit if it changed since.
void StartScreenFile();

}  // namespace platform::display
