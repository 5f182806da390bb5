#include "location_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

double radians(const char* text) {
    return std::strtod(text, nullptr);
}

long countOf(const std::vector<std::string>& list, const std::string& item) {
    return std::count(list.begin(), list.end(), item);
}

const CityRow* rowOf(const char* country, const char* city) {
    for (const CityRow& row : CityTable) {
        if (std::string(row.Country) == country && std::string(row.City) == city) {
            return &row;
        }
    }
    return nullptr;
}

// Great-circle distance in km between two rows.
double distanceKm(const CityRow& a, const CityRow& b) {
    double lat1 = radians(a.Latitude), lat2 = radians(b.Latitude);
    double dLat = lat2 - lat1;
    double dLon = radians(b.Longitude) - radians(a.Longitude);
    double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

} // namespace

TEST(LocationLists, AllRowsGiveEachCountryOnceAndEveryCity) {
    LocationLists lists = AllLocationLists();
    EXPECT_EQ(lists.countries.size(), 194u);
    EXPECT_EQ(lists.cities.size(), 242u);
    EXPECT_EQ(countOf(lists.cities, "None"), 6);

    // No country is hidden by the walk's starting "None" nor listed twice.
    std::set<std::string> listed(lists.countries.begin(), lists.countries.end());
    std::set<std::string> inTable;
    for (const CityRow& row : CityTable) {
        inTable.insert(row.Country);
    }
    EXPECT_EQ(listed.size(), lists.countries.size());
    EXPECT_EQ(listed, inTable);
}

TEST(LocationLists, ZoneSelectsItsRowsByExactText) {
    LocationLists asia = ZoneLocationLists("Asia");
    EXPECT_EQ(asia.countries.size(), 42u);
    EXPECT_EQ(asia.cities.size(), 49u);
    EXPECT_EQ(CountryCities("India, S"), (std::vector<std::string>{"Bombay", "Madurai", "Mumbai"}));

    const std::map<std::string, size_t> rowsPerZone = {
        {"Africa", 28},        {"Antarctica", 1},
        {"Asia", 49},          {"Central America", 25},
        {"Europe", 54},        {"Middle East", 16},
        {"North America", 30}, {"Oceania/Australia", 15},
        {"Sourth America", 24}};
    size_t total = 0;
    for (const char* zone : ZoneItems) {
        size_t rows = ZoneLocationLists(zone).cities.size();
        EXPECT_EQ(rows, rowsPerZone.at(zone)) << zone;
        total += rows;
    }
    EXPECT_EQ(total, static_cast<size_t>(kCityRowCount));

    EXPECT_TRUE(ZoneLocationLists("asia").cities.empty());
    EXPECT_TRUE(ZoneLocationLists("Asia ").countries.empty());
    EXPECT_TRUE(ZoneLocationLists("South America").cities.empty());
    EXPECT_TRUE(CountryCities("India").empty());
}

TEST(LocationTable, RowsAreGroupedByZoneAndCountry) {
    int zoneIndex = 0;
    std::set<std::string> closedCountries;
    for (int i = 0; i < kCityRowCount; ++i) {
        const CityRow& row = CityTable[i];
        while (zoneIndex < kZoneCount && std::string(ZoneItems[zoneIndex]) != row.Zone) {
            ++zoneIndex;
        }
        ASSERT_LT(zoneIndex, kZoneCount) << "row " << i << " breaks the zone order";
        EXPECT_EQ(closedCountries.count(row.Country), 0u) << row.Country << " is split";
        if (i + 1 < kCityRowCount && std::string(CityTable[i + 1].Country) != row.Country) {
            closedCountries.insert(row.Country);
        }
    }
}

TEST(LocationTable, FindCityTakesTheFirstExactMatch) {
    const CityRow* none = FindCity("None");
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none->Country, "Cape Verde Islands");

    const CityRow* madeira = FindCity("Madeira Island");
    ASSERT_NE(madeira, nullptr);
    EXPECT_EQ(madeira, rowOf("Madeira Island", "Madeira Island"));

    EXPECT_EQ(FindCity("algiers"), nullptr);
    EXPECT_EQ(FindCity("Algiers "), nullptr);
    EXPECT_EQ(FindCity(""), nullptr);
}

TEST(LocationTable, ListedCoordinatesAreKeptExactly) {
    struct Listed {
        const char *country, *city, *lat, *lon;
    };
    const Listed listed[] = {
        {"Algeria", "Algiers", "0.642", "0.053"},
        {"Antarctica", "None", "-1.553", "0.000"},
        {"UK - England", "London", "0.899", "0.003"},
        {"Australia, SE", "Sydney", "-0.591", "2.637"},
        {"USA - Hawaii", "Honolulu", "0.372", "-2.755"},
        {"Fiji Islands", "Suva", "-0.316", "3.114"},
        {"Argentina, NE", "Buenos Aires", "-0.628", "-1.047"},
        {"West Indies", "Barbados", "0.230", "-1.039"},
        {"India, S", "Bombay", "0.331", "1.271"},
        {"India, S", "Mumbai", "0.331", "1.271"},
        {"Madeira Island", "Sao Martinho", "0.569", "-0.295"},
        {"Madeira Island", "Madeira Island", "0.569", "-0.295"},
    };
    for (const Listed& l : listed) {
        const CityRow* row = rowOf(l.country, l.city);
        ASSERT_NE(row, nullptr) << l.city;
        EXPECT_STREQ(row->Latitude, l.lat) << l.city;
        EXPECT_STREQ(row->Longitude, l.lon) << l.city;
    }
    int westIndies = 0;
    for (const CityRow& row : CityTable) {
        if (std::string(row.Country) == "West Indies" && std::string(row.City) != "Barbados") {
            ++westIndies;
            EXPECT_STREQ(row.Latitude, "0.227") << row.City;
            EXPECT_STREQ(row.Longitude, "-1.030") << row.City;
        }
    }
    EXPECT_EQ(westIndies, 9);
}

TEST(LocationTable, EveryPositionIsWellFormedAndInsideItsZone) {
    struct Box {
        double latMin, latMax, lonMin, lonMax; // degrees; lonMin > lonMax wraps past 180
    };
    const std::map<std::string, Box> zoneBoxes = {
        {"Africa", {-36, 38, -26, 58}},
        {"Antarctica", {-90, -60, -180, 180}},
        {"Asia", {-10, 57, 44, 148}},
        {"Central America", {7, 27, -101, -58}},
        {"Europe", {32, 65, -26, 74}},
        {"Middle East", {12, 42, 28, 59}},
        {"North America", {18, 64, -158, -66}},
        {"Oceania/Australia", {-42, -12, 113, -149}},
        {"Sourth America", {-56, 11, -82, -34}},
    };
    const std::regex format(R"(-?[0-3]\.[0-9]{3})");
    for (const CityRow& row : CityTable) {
        SCOPED_TRACE(std::string(row.Country) + " / " + row.City);
        for (const char* text : {row.Latitude, row.Longitude}) {
            EXPECT_TRUE(std::regex_match(text, format)) << text;
            EXPECT_STRNE(text, "-0.000");
            char again[16];
            std::snprintf(again, sizeof again, "%.3f", radians(text));
            EXPECT_STREQ(again, text);
        }
        double lat = radians(row.Latitude) * 180 / kPi;
        double lon = radians(row.Longitude) * 180 / kPi;
        EXPECT_LE(std::fabs(radians(row.Latitude)), 1.571);
        EXPECT_LE(std::fabs(radians(row.Longitude)), 3.142);
        const Box& box = zoneBoxes.at(row.Zone);
        EXPECT_GE(lat, box.latMin);
        EXPECT_LE(lat, box.latMax);
        if (box.lonMin <= box.lonMax) {
            EXPECT_TRUE(lon >= box.lonMin && lon <= box.lonMax) << lon;
        } else {
            EXPECT_TRUE(lon >= box.lonMin || lon <= box.lonMax) << lon;
        }
    }
}

// Catches a city taken from a namesake elsewhere and rows copied from a neighbour.
TEST(LocationTable, PositionsAgreeWithTheirCountry) {
    for (int i = 0; i < kCityRowCount; ++i) {
        for (int j = i + 1; j < kCityRowCount; ++j) {
            const CityRow& a = CityTable[i];
            const CityRow& b = CityTable[j];
            bool sameCountry = std::string(a.Country) == b.Country;
            if (sameCountry) {
                EXPECT_LT(distanceKm(a, b), 1500.0) << a.City << " / " << b.City;
            }
            bool samePosition =
                std::string(a.Latitude) == b.Latitude && std::string(a.Longitude) == b.Longitude;
            // Only a country without a city may borrow another row's position.
            bool borrowed = std::string(a.City) == "None" || std::string(b.City) == "None";
            if (samePosition && !sameCountry) {
                EXPECT_TRUE(borrowed) << a.City << " and " << b.City << " share a position";
            }
        }
    }
}

TEST(InitialPosition, CommandCarriesRowPositionAndAltitude) {
    const CityRow* algiers = FindCity("Algiers");
    ASSERT_NE(algiers, nullptr);
    EXPECT_EQ(InitialPositionCommand(*algiers, 100), "   $PXEMSTR,SSIP,0.642,0.053,100,-1*");
    EXPECT_EQ(InitialPositionCommand(*algiers, -5), "   $PXEMSTR,SSIP,0.642,0.053,-5,-1*");
    EXPECT_EQ(InitialPositionCommand(*algiers, 0), "   $PXEMSTR,SSIP,0.642,0.053,0,-1*");

    // The altitude box takes five characters; the widest command must still fit
    // the 78 characters that remain after the three leading spaces.
    for (const CityRow& row : CityTable) {
        std::string command = InitialPositionCommand(row, -9999);
        EXPECT_LE(command.size() - 3, 78u) << row.City;
        EXPECT_EQ(command.substr(0, 3), "   ");
    }
}

TEST(DatumTable, TextsMatchTheirItemIndex) {
    EXPECT_STREQ(DatumItems[2], "Japan-Tokyo");
    EXPECT_STREQ(DatumCommandTable[2], "   $PXEMSGS,02,-148,507,685*5C");
    const std::regex shape(R"(   \$PXEMSGS,([0-9]{2}),[-0-9.]+,[-0-9.]+,[-0-9.]+\*[0-9A-F]{2})");
    for (int i = 0; i < kDatumCount; ++i) {
        std::cmatch match;
        ASSERT_TRUE(std::regex_match(DatumCommandTable[i], match, shape)) << DatumCommandTable[i];
        EXPECT_EQ(std::stoi(match[1].str()), i);
    }
}
