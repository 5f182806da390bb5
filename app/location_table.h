// The built-in datum commands and the 242 places of the location cascade.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CityRow {
    const char* Zone;
    const char* Country;
    const char* City;
    const char* Latitude;  // radians, three decimals, north positive
    const char* Longitude; // radians, three decimals, east positive
};

constexpr int kCityRowCount = 242;
extern const CityRow CityTable[kCityRowCount];

constexpr int kDatumCount = 19;
extern const char* const DatumItems[kDatumCount];        // the items of DatumsComboBox
extern const char* const DatumCommandTable[kDatumCount]; // "   $PXEMSGS,..." per item

constexpr int kZoneCount = 9;
extern const char* const ZoneItems[kZoneCount]; // the items of ZoneComboBox

// What the country and city boxes receive, in table order (the boxes sort).
struct LocationLists {
    std::vector<std::string> countries;
    std::vector<std::string> cities;
};

// Every country once and every city entry: the lists at start-up.
LocationLists AllLocationLists();
// The countries and cities of one zone (exact, case-sensitive match).
LocationLists ZoneLocationLists(std::string_view zone);
// The cities of one country, in table order.
std::vector<std::string> CountryCities(std::string_view country);
// The first row whose city is exactly `city`, or nullptr. "None" always yields the
// first country without a city (Cape Verde Islands), whatever country was chosen.
const CityRow* FindCity(std::string_view city);
// "   $PXEMSTR,SSIP,<lat>,<lon>,<altitude>,-1*" for a row.
std::string InitialPositionCommand(const CityRow& row, int altitudeMetres);
