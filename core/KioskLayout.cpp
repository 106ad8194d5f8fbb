#include "core/KioskLayout.h"

#include "core/Text.h"

namespace kiosk {

namespace {

constexpr int kBoxWidth = 450;
constexpr int kBoxHeight = 600;
constexpr int kTextSize = 18;

// Offsets from the box's top-left corner, placed from the bottom of the box upwards.
struct Rule
{
    const char* name;
    int top;
    std::optional<int> left;
    std::optional<int> width;
    std::optional<int> height;
    bool text;
};

constexpr std::nullopt_t none = std::nullopt;

// clang-format off
const Rule kRules[] = {
    {"QuillmoreLogo",      540, none, none, none, false},
    // Widened so the credit line is not cut at 18 points; it stays where the box carries it.
    {"QuillmoreLabel",     515, none, 430, none, true},
    {"SaveButton",         475, 275, 150, 22, true},
    {"ClearButton",        475, 115, 150, 22, true},
    {"MySpaceURLField",    435, 255, 175, 28, true},
    {"MyspaceUrl",         437,  10, 245, 28, true},
    {"MySpaceLabel",       410,  10, 245, 28, true},
    {"AOLScreenNameField", 370,  10, 175, 28, true},
    {"GenderPopUp",        370, 195, 100, 28, true},
    {"YearBornPopUp",      370, 305, 100, 28, true},
    {"AolScreenLabel",     340,  10, 175, 28, true},
    {"GenderLabel",        340, 195, 100, 28, true},
    {"BirthYearLabel",     340, 305, 100, 28, true},
    {"CellField",          300,  10, 200, 28, true},
    {"CellCarrierPopUp",   300, 225, 175, 28, true},
    {"CellLabel",          270,  10, 200, 28, true},
    {"CarrierLabel",       270, 225, 150, 28, true},
    {"CityField",          230,  10, 200, 28, true},
    {"PostCodeField",      230, 225, 175, 28, true},
    {"CityLabel",          200,  10, 200, 28, true},
    {"ZipLabel",           200, 225, 180, 28, true},
    {"CountryLabel",       160,  10,  80, 28, true},
    {"CountryField",       160, 100, 200, 28, true},
    {"FirstNameField",     120,  10, 200, 28, true},
    {"LastNameField",      120, 220, 200, 28, true},
    {"FirstNameLabel",      90,  10, 200, 28, true},
    {"LastNameLabel",       90, 220, 200, 28, true},
    {"EmailField",          50,  10, 300, 28, true},
    {"EmailLabel",          20,  10, 300, 28, true},
};
// clang-format on

std::optional<int> offset(std::optional<int> value, int origin)
{
    return value ? std::optional<int>(*value + origin) : std::nullopt;
}

} // namespace

Arrangement layoutFor(QSize available, int menuBarHeight)
{
    // The halved difference is formed on integers and brought back toward zero.
    const int top = platform::toInt32((available.height() - menuBarHeight - kBoxHeight) / 2.0);
    const int left = platform::toInt32((available.width() - kBoxWidth) / 2.0);

    Arrangement arrangement;
    arrangement.box = QRect(left, top, kBoxWidth, kBoxHeight);
    arrangement.controls.reserve(std::size(kRules));
    for (const Rule& rule : kRules) {
        arrangement.controls.push_back(
            {rule.name, top + rule.top, offset(rule.left, left), rule.width, rule.height, rule.text ? kTextSize : 0});
    }
    return arrangement;
}

} // namespace kiosk
