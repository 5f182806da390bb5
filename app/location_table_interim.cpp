// TEMPORARY stand-in until the real location table lands; delete on merge.
// A handful of rows only, enough to link and to try the cascade by hand.
#include <cstdio>

#include "location_table.h"

const CityRow CityTable[kCityRowCount] = {
    {"Africa", "Algeria", "Algiers", "0.642", "0.053"},
    {"Africa", "Cape Verde Islands", "None", "0.000", "0.000"},
    {"Antarctica", "Antarctica", "None", "-1.553", "0.000"},
    {"Asia", "India, S", "Bombay", "0.331", "1.271"},
    {"Asia", "India, S", "Madurai", "0.000", "0.000"},
    {"Asia", "India, S", "Mumbai", "0.331", "1.271"},
};

const char* const DatumItems[kDatumCount] = {
    "Wales-Cardiff",       "Australia-Sydney",       "Japan-Tokyo",         "Namibia-Windhoek",
    "Cuba-Havana",         "Senegal-Dakar",          "Brunei-Bandar S.B.",  "Thailand-Bangkok",
    "India-Calcutta",      "Pakistan-Karachi",       "Singapore-Singapore", "Russia-Moscow",
    "Egypt-Cairo",         "Marshall Island-Majuro", "Indonesia-Djakarta",  "France-Paris",
    "Somalia-Mogadisicio", "Ireland-Dublin",         "Singapore-Singapore",
};

const char* const DatumCommandTable[kDatumCount] = {
    "   $PXEMSGS,00,375,-111,431*78", "   $PXEMSGS,01,-134,-48,149*40",
    "   $PXEMSGS,02,-148,507,685*5C", "   $PXEMSGS,03,616,-97,251*60",
    "   $PXEMSGS,04,-3,142,183*50",   "   $PXEMSGS,05,-128,-18,224*44",
    "   $PXEMSGS,06,-679,669,-48*4C", "   $PXEMSGS,07,210,814,289*7D",
    "   $PXEMSGS,08,295,736,257*73",  "   $PXEMSGS,09,283,682,231*7B",
    "   $PXEMSGS,10,-11,851,5*62",    "   $PXEMSGS,11,1.08,0.27,0.9*6C",
    "   $PXEMSGS,12,-130,110,-13*44", "   $PXEMSGS,13,102,52,-38*78",
    "   $PXEMSGS,14,-24,-15,5*75",    "   $PXEMSGS,15,-87,-96,-120*5D",
    "   $PXEMSGS,16,-43,-163,45*72",  "   $PXEMSGS,17,506,-122,611*78",
    "   $PXEMSGS,18,7,-10,26*78",
};

const char* const ZoneItems[kZoneCount] = {
    "Africa",         "Antarctica",  "Asia",          "Central America",
    "Europe",         "Middle East", "North America", "Oceania/Australia",
    "Sourth America",
};

namespace {
template <typename Keep> LocationLists Lists(Keep keep) {
    LocationLists lists;
    std::string previous = "None";
    for (const CityRow& row : CityTable) {
        if (row.Zone == nullptr || !keep(row))
            continue;
        if (row.Country != previous) {
            lists.countries.push_back(row.Country);
            previous = row.Country;
        }
        lists.cities.push_back(row.City);
    }
    return lists;
}
} // namespace

LocationLists AllLocationLists() {
    return Lists([](const CityRow&) { return true; });
}

LocationLists ZoneLocationLists(std::string_view zone) {
    return Lists([zone](const CityRow& row) { return zone == row.Zone; });
}

std::vector<std::string> CountryCities(std::string_view country) {
    std::vector<std::string> cities;
    for (const CityRow& row : CityTable) {
        if (row.Country != nullptr && country == row.Country)
            cities.push_back(row.City);
    }
    return cities;
}

const CityRow* FindCity(std::string_view city) {
    for (const CityRow& row : CityTable) {
        if (row.City != nullptr && city == row.City)
            return &row;
    }
    return nullptr;
}

std::string InitialPositionCommand(const CityRow& row, int altitudeMetres) {
    char text[96];
    std::snprintf(text, sizeof text, "   $PXEMSTR,SSIP,%s,%s,%d,-1*", row.Latitude, row.Longitude,
                  altitudeMetres);
    return text;
}
