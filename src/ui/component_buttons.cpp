#include "ui/component_buttons.h"

#include <string_view>

namespace kq5 {

namespace {

// The default pictures, drawn as text: 19 columns (bits 2 to 20), 17 rows, '#' dark.
using Drawing = std::array<std::string_view, kComponentPictureRows>;

constexpr Drawing kGround = {
    "...................", ".........#.........", ".........#.........", ".........#.........",
    ".........#.........", ".........#.........", ".........#.........", "..###############..",
    "...................", ".....#########.....", "...................", "........###........",
    "...................", "...................", "...................", "...................",
    "..................."};
constexpr Drawing kResistor = {
    "...................", "...................", "...................", "...................",
    "...................", "........#..........", "...#...#.#...#.....", "..#.#.#...#.#.#....",
    "##...#.....#...#.##", "................#..", "...................", "...................",
    "...................", "...................", "...................", "...................",
    "..................."};
constexpr Drawing kCapacitor = {
    "...................", "...................", "........#.#........", "........#.#........",
    "........#.#........", "........#.#........", "........#.#........", "........#.#........",
    "#########.#########", "........#.#........", "........#.#........", "........#.#........",
    "........#.#........", "........#.#........", "........#.#........", "...................",
    "..................."};
constexpr Drawing kDiode = {
    "...................", "...................", "...................", "......#....#.......",
    "......##...#.......", "......#.#..#.......", "......#..#.#.......", "......#...##.......",
    "######.....#######.", "......#...##.......", "......#..#.#.......", "......#.#..#.......",
    "......##...#.......", "......#....#.......", "...................", "...................",
    "..................."};
constexpr Drawing kNpn = {
    "............#......", "...........#.......", "..........#........", ".........#.........",
    "........#..........", "......#............", "......#............", "......#............",
    "######............", "......#............", "......#............", "......#.#..........",
    ".......#.##........", "..........###......", "...........##......", "............#......",
    "..................."};
constexpr Drawing kInverter = {
    "...................", "...................", "....#..............", "....##.............",
    "....#.#............", "....#..#...........", "....#...#..........", "....#....#.........",
    "#####.....#.##.####", "....#....#..##.....", "....#...#..........", "....#..#...........",
    "....#.#............", "....##.............", "....#..............", "...................",
    "..................."};
constexpr Drawing kBattery = {
    "...................", "...................", "...................", "........#..........",
    "........#..........", "........#...#......", "........#...#......", "........#...#......",
    "#########...#######", "........#...#......", "........#...#......", "........#...#......",
    "........#..........", "........#..........", "...................", "...................",
    "..................."};
constexpr Drawing kPulse = {
    "...................", "...................", "...................", "......#######......",
    "......#.....#......", "......#.....#......", "......#.....#......", "......#.....#......",
    "......#.....#......", "......#.....#......", "......#.....#......", "......#.....#......",
    "#######.....#######", "...................", "...................", "...................",
    "..................."};

struct Default {
    const char* name;
    const Drawing* drawing;
};
constexpr Default kDefaults[] = {
    {"GROUND", &kGround}, {"RESISTOR", &kResistor}, {"CAPACITOR", &kCapacitor}, {"DIODE", &kDiode},
    {"NPN", &kNpn},       {"INVERTER", &kInverter}, {"BATTERY", &kBattery},     {"PULSE SOURCE", &kPulse},
};

std::array<std::uint32_t, kComponentPictureRows> RowsOf(const Drawing& drawing)
{
    std::array<std::uint32_t, kComponentPictureRows> rows{};
    for (int r = 0; r < kComponentPictureRows; ++r) {
        std::string_view line = drawing[static_cast<std::size_t>(r)];
        for (std::size_t c = 0; c < line.size(); ++c) {
            if (line[c] == '#') rows[static_cast<std::size_t>(r)] |= 1u << (c + kComponentPictureFirstBit);
        }
    }
    return rows;
}

// The picture a button has before anyone edits it; buttons past the defaults are blank.
ComponentButtonPicture DefaultPicture(std::size_t index)
{
    if (index >= std::size(kDefaults)) return ComponentButtonPicture{};
    return ComponentButtonPicture{kDefaults[index].name, RowsOf(*kDefaults[index].drawing)};
}

}  // namespace

ComponentButtonState& ComponentButtons()
{
    static ComponentButtonState state = [] {
        ComponentButtonState s;
        for (std::size_t i = 0; i < s.current.size(); ++i) s.current[i] = DefaultPicture(i);
        s.working = s.current;
        return s;
    }();
    return state;
}

void ResetComponentButtonPictures(bool workingCopies)
{
    auto& pictures = workingCopies ? ComponentButtons().working : ComponentButtons().current;
    for (std::size_t i = 0; i < pictures.size(); ++i) pictures[i] = DefaultPicture(i);
}

const std::string& ComponentButtonName(int index, bool workingCopies)
{
    static const std::string none;
    if (index < 0 || index >= 20) return none;
    const auto& pictures = workingCopies ? ComponentButtons().working : ComponentButtons().current;
    return pictures[static_cast<std::size_t>(index)].name;
}

}  // namespace kq5
