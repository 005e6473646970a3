#pragma once
// The twenty user-drawn component buttons of the main tool bar: the component each one places and
// its picture, kept as 17 row words (bit x, 2 to 20, of word r is the dark pixel at column x of
// picture row r + 2). The Tool Bar dialog edits working copies that OK makes current.
#include <array>
#include <cstdint>
#include <string>

namespace kq5 {

constexpr int kComponentPictureRows = 17;
constexpr int kComponentPictureFirstBit = 2;
constexpr int kComponentPictureLastBit = 20;

struct ComponentButtonPicture {
    std::string name;  // the component placed; empty when none
    std::array<std::uint32_t, kComponentPictureRows> rows{};
};

struct ComponentButtonState {
    std::array<ComponentButtonPicture, 20> current;
    std::array<ComponentButtonPicture, 20> working;  // the Tool Bar dialog's copies
};

ComponentButtonState& ComponentButtons();

// The names and pictures a new settings file has ("GROUND" ... "PULSE SOURCE" on 1 to 8).
void ResetComponentButtonPictures(bool workingCopies);
const std::string& ComponentButtonName(int index, bool workingCopies = false);

}  // namespace kq5
