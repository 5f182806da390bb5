// The datum box and the location cascade (zone, country, city, altitude),
// which fill the command box for the user. GUI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "location_table.h"

class CommandSender;

// What the cascade needs of the main window. Changes made here are made by
// program: they never run the boxes' own change handlers.
class LocationBoxes {
  public:
    virtual ~LocationBoxes() = default;
    // Replaces a list by `items` (already sorted); the box keeps its text.
    virtual void SetCountryItems(const std::vector<std::string>& items) = 0;
    virtual void SetCityItems(const std::vector<std::string>& items) = 0;
    virtual void SetCountryText(const std::string& text) = 0;
    virtual void SetCityText(const std::string& text) = 0;
    virtual void SetCommandText(const std::string& text) = 0;
};

class LocationCascade {
  public:
    LocationCascade(LocationBoxes& boxes, CommandSender& commands);

    // Every country and every city, at the main window's first showing.
    void FillLocationLists();
    void ZoneComboBoxChange(const std::string& zone);
    void CountryComboBoxChange(const std::string& country);
    // A change of the city box or of the altitude: builds the initial-position
    // command for the place and arms the warm restart before it.
    void CityComboBoxChange(const std::string& city, const std::string& country,
                            const std::string& altitudeText);
    // The datum box: index 0..18 puts that datum command into the command box.
    void DatumsComboBoxChange(int index);

  private:
    LocationBoxes& boxes_;
    CommandSender& commands_;
};

// Sorts the way a sorted Windows list box does: case-insensitively.
void SortLikeListBox(std::vector<std::string>& items);

// A whole number the way the toolkit's StrToInt reads it: leading blanks, an
// optional sign, decimal digits or "$"/"0x" hexadecimal, nothing after, and
// within 32 bits. nullopt otherwise (an empty text included).
std::optional<int> StrToInt(std::string_view text);

// The place for a city name: the row of the chosen country when there is
// one (six countries share the city "None"), else the first row of that name.
const CityRow* FindPlace(std::string_view country, std::string_view city);
