#include "location_table.h"

#include <cstdio>
#include <functional>

const char* const DatumItems[kDatumCount] = {
    "Wales-Cardiff",       "Australia-Sydney",       "Japan-Tokyo",         "Namibia-Windhoek",
    "Cuba-Havana",         "Senegal-Dakar",          "Brunei-Bandar S.B.",  "Thailand-Bangkok",
    "India-Calcutta",      "Pakistan-Karachi",       "Singapore-Singapore", "Russia-Moscow",
    "Egypt-Cairo",         "Marshall Island-Majuro", "Indonesia-Djakarta",  "France-Paris",
    "Somalia-Mogadisicio", "Ireland-Dublin",         "Singapore-Singapore",
};

// Stored with their "*hh" as they stand; four of those pairs are not the sentence's checksum.
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

// Rows of one country must stay adjacent: the list walks below rely on it.
// "None" rows carry the position of the country's capital or main place.
// clang-format off
const CityRow CityTable[kCityRowCount] = {
    // Africa
    {"Africa", "Algeria", "Algiers", "0.642", "0.053"},
    {"Africa", "Algola", "Luanda", "-0.154", "0.231"},
    {"Africa", "Cape Verde Islands", "None", "0.261", "-0.410"},
    {"Africa", "Chad", "Djamena", "0.211", "0.263"},
    {"Africa", "Congo, Republic of", "Brazzaville", "-0.074", "0.267"},
    {"Africa", "Egypt", "Aswan", "0.420", "0.574"},
    {"Africa", "Egypt", "Cairo", "0.525", "0.545"},
    {"Africa", "Ethiopia", "Adis Abeba", "0.158", "0.676"},
    {"Africa", "Ivory Coast", "Abidjan", "0.093", "-0.070"},
    {"Africa", "Kenya", "Nairobi", "-0.022", "0.643"},
    {"Africa", "Libya", "Tripoli", "0.574", "0.230"},
    {"Africa", "Madagascar", "Antananarivo", "-0.330", "0.830"},
    {"Africa", "Mauritius", "Port Louis", "-0.352", "1.004"},
    {"Africa", "Morocco", "Casablanca", "0.586", "-0.133"},
    {"Africa", "Morocco", "Tangier", "0.624", "-0.101"},
    {"Africa", "Mozambique", "Maputo", "-0.453", "0.569"},
    {"Africa", "Namibia", "Windhoek", "-0.394", "0.298"},
    {"Africa", "Nigeria", "Kano", "0.209", "0.149"},
    {"Africa", "Nigeria", "Lagos", "0.113", "0.059"},
    {"Africa", "Nigeria", "Niamey", "0.236", "0.037"},
    {"Africa", "Senegal", "Dakar", "0.256", "-0.304"},
    {"Africa", "Somalia", "Muqdisho", "0.036", "0.791"},
    {"Africa", "South Africa", "Cape Town", "-0.592", "0.322"},
    {"Africa", "South Africa", "Johannesburg", "-0.457", "0.489"},
    {"Africa", "Suden", "Khartoum", "0.271", "0.568"},
    {"Africa", "Tanzania", "Dar Es Salaam", "-0.119", "0.685"},
    {"Africa", "Tunisia", "Tunis", "0.643", "0.177"},
    {"Africa", "Uganda", "Kampala", "0.006", "0.569"},
    // Antarctica
    {"Antarctica", "Antarctica", "None", "-1.553", "0.000"},
    // Asia
    {"Asia", "Afghanistan", "Kabul", "0.603", "1.207"},
    {"Asia", "Armenia", "Erevan", "0.701", "0.777"},
    {"Asia", "Azerbaijan", "Baki", "0.705", "0.871"},
    {"Asia", "Bangladesh", "Dhaka", "0.415", "1.578"},
    {"Asia", "Bhutan", "Thimphu", "0.479", "1.565"},
    {"Asia", "Brunei", "Brunei", "0.085", "2.006"},
    {"Asia", "Burma (Myanmar)", "Rangoon", "0.293", "1.678"},
    {"Asia", "Cambodia", "Phnum Penh", "0.202", "1.831"},
    {"Asia", "China, NC", "Chongging", "0.516", "1.860"},
    {"Asia", "China, NE", "Beijing", "0.697", "2.032"},
    {"Asia", "China, SC", "Lhasa", "0.517", "1.590"},
    {"Asia", "China, SE", "Shangai", "0.545", "2.120"},
    {"Asia", "China, W", "Urumqi", "0.764", "1.529"},
    {"Asia", "Georgia", "Tbilsi", "0.728", "0.783"},
    {"Asia", "Hong Kong", "Hong Kong", "0.389", "1.993"},
    {"Asia", "India, N", "New Delhi", "0.500", "1.348"},
    {"Asia", "India, S", "Bombay", "0.331", "1.271"},
    {"Asia", "India, S", "Madurai", "0.173", "1.363"},
    {"Asia", "India, S", "Mumbai", "0.331", "1.271"},
    {"Asia", "Indonesia", "Jakarta", "-0.108", "1.865"},
    {"Asia", "Iran", "Tahran", "0.623", "0.897"},
    {"Asia", "Japan", "Hiroshima", "0.600", "2.312"},
    {"Asia", "Japan", "Sapporo", "0.752", "2.467"},
    {"Asia", "Japan", "Tokyo", "0.623", "2.438"},
    {"Asia", "Kazakhstan", "Akmola", "0.893", "1.247"},
    {"Asia", "Kazakhstan", "Almaty", "0.755", "1.342"},
    {"Asia", "Kyrgyzstan", "Bishkek", "0.748", "1.302"},
    {"Asia", "Laos", "Viangchan", "0.314", "1.791"},
    {"Asia", "Malaysia", "Kuala Lumpur", "0.055", "1.775"},
    {"Asia", "Maldives", "Male", "0.073", "1.283"},
    {"Asia", "Mongolia", "Ulaanbaatar", "0.836", "1.865"},
    {"Asia", "Nepal", "Kathmandu", "0.483", "1.489"},
    {"Asia", "North Korea", "Pyongyang", "0.681", "2.195"},
    {"Asia", "Pakistan", "Islamabad", "0.589", "1.275"},
    {"Asia", "Pakistan", "Karachi", "0.434", "1.170"},
    {"Asia", "Papua New Guinea", "Port Moresby", "-0.165", "2.568"},
    {"Asia", "Philippines", "Manila", "0.255", "2.112"},
    {"Asia", "Russia - Siberia, SC", "Krasnoyarsk", "0.978", "1.622"},
    {"Asia", "Russia - Siberia, SE", "Vladivostok", "0.752", "2.302"},
    {"Asia", "Singapore", "Singapore", "0.023", "1.813"},
    {"Asia", "South Korea", "Seoul", "0.656", "2.216"},
    {"Asia", "Sri Lanka", "Colombo", "0.121", "1.394"},
    {"Asia", "Taiwan", "Taipei", "0.437", "2.121"},
    {"Asia", "Tajikistan", "Dushanbe", "0.673", "1.200"},
    {"Asia", "Thailand", "Bangkok", "0.240", "1.754"},
    {"Asia", "Turkmenistan", "Ashgabat", "0.662", "1.019"},
    {"Asia", "Uzbekistan", "Samarqand", "0.692", "1.169"},
    {"Asia", "Vietnam", "Ha Noi", "0.367", "1.847"},
    {"Asia", "Vietnam", "Ho Chi Minh City", "0.189", "1.861"},
    // Central America
    {"Central America", "Bahamas", "Nassau", "0.437", "-1.350"},
    {"Central America", "Belize", "Belize City", "0.305", "-1.539"},
    {"Central America", "Cayman Islands", "George Town", "0.337", "-1.420"},
    {"Central America", "Costa Rica", "San Jose", "0.173", "-1.468"},
    {"Central America", "Cuba", "Havana", "0.404", "-1.438"},
    {"Central America", "Donminican Republic", "Santo Domingo", "0.322", "-1.220"},
    {"Central America", "El Salvador", "San Salvador", "0.239", "-1.557"},
    {"Central America", "Guatemala", "Guatemala City", "0.256", "-1.580"},
    {"Central America", "Honduras", "Tegucigalpa", "0.246", "-1.522"},
    {"Central America", "Jamaica", "Kingston", "0.314", "-1.340"},
    {"Central America", "Mexico, N", "Monterrey", "0.448", "-1.751"},
    {"Central America", "Mexico, S", "Mexico City", "0.339", "-1.730"},
    {"Central America", "Neth. Antilles", "Aruba", "0.219", "-1.222"},
    {"Central America", "Nicaragua", "Managua", "0.212", "-1.505"},
    {"Central America", "Panama", "Panama City", "0.157", "-1.388"},
    {"Central America", "West Indies", "None", "0.227", "-1.030"},
    {"Central America", "West Indies", "St Kitts - Nevis", "0.227", "-1.030"},
    {"Central America", "West Indies", "St Lucia", "0.227", "-1.030"},
    {"Central America", "West Indies", "St Martin", "0.227", "-1.030"},
    {"Central America", "West Indies", "Anguila", "0.227", "-1.030"},
    {"Central America", "West Indies", "Antigua", "0.227", "-1.030"},
    {"Central America", "West Indies", "Guadeloupe", "0.227", "-1.030"},
    {"Central America", "West Indies", "Martinique", "0.227", "-1.030"},
    {"Central America", "West Indies", "Grenada", "0.227", "-1.030"},
    {"Central America", "West Indies", "Barbados", "0.230", "-1.039"},
    // Europe
    {"Europe", "Albania", "Tirana", "0.721", "0.346"},
    {"Europe", "Austria", "Salzburg", "0.834", "0.228"},
    {"Europe", "Austria", "Vienna", "0.841", "0.286"},
    {"Europe", "Azores Islands", "None", "0.659", "-0.448"},
    {"Europe", "Belarus", "Minsk", "0.941", "0.481"},
    {"Europe", "Belgium", "Brussels", "0.888", "0.076"},
    {"Europe", "Bosnia", "Sarajevo", "0.765", "0.320"},
    {"Europe", "Bulgaria", "Sofla", "0.745", "0.407"},
    {"Europe", "Croatia", "Zagreb", "0.800", "0.279"},
    {"Europe", "Cyprus", "Nicosia", "0.614", "0.582"},
    {"Europe", "Czech Republic", "Prague", "0.874", "0.252"},
    {"Europe", "Denmark", "Copenhagen", "0.972", "0.219"},
    {"Europe", "Estonia", "Tallin", "1.037", "0.432"},
    {"Europe", "Finland", "Helsinki", "1.050", "0.435"},
    {"Europe", "France, N", "Paris", "0.853", "0.041"},
    {"Europe", "France, S", "Nice", "0.763", "0.127"},
    {"Europe", "Germany, E.", "Berlin", "0.917", "0.234"},
    {"Europe", "Germany, W.", "Frankfurt", "0.875", "0.152"},
    {"Europe", "Germany, W.", "Munich", "0.840", "0.202"},
    {"Europe", "Greece", "Athens", "0.663", "0.414"},
    {"Europe", "Hungary", "Budapest", "0.829", "0.332"},
    {"Europe", "Iceland", "Reykjavic", "1.119", "-0.382"},
    {"Europe", "Ireland", "Dublin", "0.931", "-0.109"},
    {"Europe", "Italy, C", "Rome", "0.731", "0.218"},
    {"Europe", "Italy, N", "Milan", "0.794", "0.160"},
    {"Europe", "Italy, N", "Venice", "0.793", "0.215"},
    {"Europe", "Latvia", "Riga", "0.994", "0.421"},
    {"Europe", "Lithuania", "Vilnius", "0.955", "0.441"},
    {"Europe", "Luxemburg", "Luxemburg", "0.866", "0.107"},
    {"Europe", "Macedonia", "Skopje", "0.733", "0.374"},
    {"Europe", "Madeira Island", "Sao Martinho", "0.569", "-0.295"},
    {"Europe", "Madeira Island", "Madeira Island", "0.569", "-0.295"},
    {"Europe", "Malta", "Valetta", "0.627", "0.253"},
    {"Europe", "Moldova", "Chisinau", "0.820", "0.504"},
    {"Europe", "Montenegro", "Podgorica", "0.741", "0.336"},
    {"Europe", "Netherlands", "Amsterdam", "0.914", "0.085"},
    {"Europe", "Norway", "Oslo", "1.046", "0.188"},
    {"Europe", "Poland", "Warsaw", "0.912", "0.367"},
    {"Europe", "Portugal", "Lisbon", "0.676", "-0.160"},
    {"Europe", "Romania", "Bucharest", "0.775", "0.456"},
    {"Europe", "Russia - Siberia, SW", "Omsk", "0.960", "1.281"},
    {"Europe", "Russia, SC", "Samara", "0.929", "0.875"},
    {"Europe", "Russia, W", "Moscow", "0.973", "0.657"},
    {"Europe", "Russia, W", "Sankt - Peterburg", "1.046", "0.529"},
    {"Europe", "Serbia", "Belgrad", "0.782", "0.357"},
    {"Europe", "Slovakia", "Bratislava", "0.840", "0.299"},
    {"Europe", "Spain", "Barcelona", "0.722", "0.038"},
    {"Europe", "Spain", "Madrid", "0.705", "-0.065"},
    {"Europe", "Sweden", "Stockholm", "1.035", "0.315"},
    {"Europe", "Switzerland", "Geneva", "0.806", "0.107"},
    {"Europe", "Switzerland", "Zurich", "0.827", "0.149"},
    {"Europe", "UK - England", "London", "0.899", "0.003"},
    {"Europe", "UK - Scotland", "Glasgow", "0.975", "-0.074"},
    {"Europe", "Ukraine", "Kiev", "0.881", "0.533"},
    // Middle East
    {"Middle East", "Bahrain", "Bahrain", "0.458", "0.883"},
    {"Middle East", "Iraq", "Baghdad", "0.582", "0.775"},
    {"Middle East", "Israel", "Jerusalem", "0.554", "0.615"},
    {"Middle East", "Israel", "Tel Aviv", "0.560", "0.607"},
    {"Middle East", "Jordan", "Amman", "0.558", "0.627"},
    {"Middle East", "Kuwait", "Kuwait City", "0.513", "0.837"},
    {"Middle East", "Lebanon", "Bayrut", "0.592", "0.620"},
    {"Middle East", "Oman", "Masqat", "0.412", "1.019"},
    {"Middle East", "Qatar", "Ad Dawhah", "0.441", "0.899"},
    {"Middle East", "Saudi Arabia", "Jeddah", "0.375", "0.684"},
    {"Middle East", "Saudi Arabia", "Riyadh", "0.431", "0.815"},
    {"Middle East", "Syria", "Dimashq", "0.585", "0.633"},
    {"Middle East", "Turkey", "Ankara", "0.697", "0.573"},
    {"Middle East", "Turkey", "Istanbul", "0.716", "0.505"},
    {"Middle East", "U A Emirates", "Dubai", "0.441", "0.965"},
    {"Middle East", "Yemen", "Aden", "0.223", "0.786"},
    // North America
    {"North America", "Canada, NC", "Yellowknive", "1.090", "-1.996"},
    {"North America", "Canada, NE", "Iqaluit", "1.113", "-1.196"},
    {"North America", "Canada, NW", "Whitehores", "1.060", "-2.357"},
    {"North America", "Canada, SC", "Winnipeg", "0.871", "-1.696"},
    {"North America", "Canada, SE", "Montreal", "0.794", "-1.284"},
    {"North America", "Canada, SE", "Toronto", "0.763", "-1.386"},
    {"North America", "Canada, SM", "Edmonton", "0.935", "-1.980"},
    {"North America", "Canada, SW", "Vancouver", "0.860", "-2.149"},
    {"North America", "Puerto Rico", "San Juan", "0.322", "-1.154"},
    {"North America", "USA - Alaska", "Anchorage", "1.068", "-2.616"},
    {"North America", "USA - Hawaii", "Honolulu", "0.372", "-2.755"},
    {"North America", "USA, NC", "Chicago", "0.730", "-1.530"},
    {"North America", "USA, NC", "Cleveland - Ohio", "0.724", "-1.426"},
    {"North America", "USA, NC", "Indianapolis", "0.694", "-1.504"},
    {"North America", "USA, NC", "Minneapolis", "0.785", "-1.628"},
    {"North America", "USA, NE", "Boston", "0.739", "-1.240"},
    {"North America", "USA, NE", "New York City", "0.711", "-1.292"},
    {"North America", "USA, NE", "Washington DC", "0.679", "-1.345"},
    {"North America", "USA, NM", "Helena - Montana", "0.813", "-1.955"},
    {"North America", "USA, NM", "Salt Lake City", "0.711", "-1.953"},
    {"North America", "USA, NW", "Seattle", "0.831", "-2.135"},
    {"North America", "USA, SC", "Dallas", "0.572", "-1.690"},
    {"North America", "USA, SC", "Houston", "0.519", "-1.664"},
    {"North America", "USA, SC", "Wichita-Kansas", "0.658", "-1.699"},
    {"North America", "USA, SE", "Atlanta", "0.589", "-1.473"},
    {"North America", "USA, SE", "New Orleans", "0.523", "-1.572"},
    {"North America", "USA, SM", "Denver", "0.694", "-1.832"},
    {"North America", "USA, SM", "Phoenix", "0.584", "-1.956"},
    {"North America", "USA, SW", "Los Angeles", "0.594", "-2.064"},
    {"North America", "USA, SW", "San Francisco", "0.659", "-2.137"},
    // Oceania/Australia
    {"Oceania/Australia", "Australia, NC", "Alice Springs", "-0.414", "2.337"},
    {"Oceania/Australia", "Australia, NC", "Darwin", "-0.217", "2.284"},
    {"Oceania/Australia", "Australia, NE", "Brisbane", "-0.479", "2.671"},
    {"Oceania/Australia", "Australia, NE", "Cairns", "-0.295", "2.544"},
    {"Oceania/Australia", "Australia, NW", "Marble Bar", "-0.369", "2.090"},
    {"Oceania/Australia", "Australia, SC", "Adelaide", "-0.610", "2.419"},
    {"Oceania/Australia", "Australia, SE", "Melbourne", "-0.660", "2.530"},
    {"Oceania/Australia", "Australia, SE", "Sydney", "-0.591", "2.637"},
    {"Oceania/Australia", "Australia, SW", "Perth", "-0.558", "2.022"},
    {"Oceania/Australia", "Fiji Islands", "Suva", "-0.316", "3.114"},
    {"Oceania/Australia", "vFiji Islands", "None", "-0.316", "3.114"},
    {"Oceania/Australia", "French Polynesia", "Papeete", "-0.306", "-2.610"},
    {"Oceania/Australia", "New Zealand, N", "Auckland", "-0.643", "3.050"},
    {"Oceania/Australia", "New Zealand, S", "Wellington", "-0.721", "3.050"},
    {"Oceania/Australia", "Tonga", "None", "-0.369", "-3.058"},
    // Sourth America
    {"Sourth America", "Argentina, N", "San Miguel de Tucuman", "-0.468", "-1.138"},
    {"Sourth America", "Argentina, NE", "Buenos Aires", "-0.628", "-1.047"},
    {"Sourth America", "Argentina, S", "Perito Moreno", "-0.813", "-1.238"},
    {"Sourth America", "Argentina, S", "Ushuaia", "-0.957", "-1.192"},
    {"Sourth America", "Bolivia", "La Paz", "-0.288", "-1.189"},
    {"Sourth America", "Brazil, NC", "Belem", "-0.025", "-0.847"},
    {"Sourth America", "Brazil, NE", "Recife", "-0.141", "-0.609"},
    {"Sourth America", "Brazil, NW", "Manaus", "-0.054", "-1.048"},
    {"Sourth America", "Brazil, S", "Porto Allegre", "-0.524", "-0.894"},
    {"Sourth America", "Brazil, SC", "Brasilia", "-0.275", "-0.837"},
    {"Sourth America", "Brazil, SE", "Rio de Janeiro", "-0.400", "-0.754"},
    {"Sourth America", "Brazil, SE", "Sao Paulo", "-0.411", "-0.814"},
    {"Sourth America", "Chile, N", "Antofagasta", "-0.413", "-1.229"},
    {"Sourth America", "Chile, S", "Punta Arenas", "-0.928", "-1.238"},
    {"Sourth America", "Chili, C", "Santiago", "-0.584", "-1.233"},
    {"Sourth America", "Columbia", "Bogota", "0.082", "-1.293"},
    {"Sourth America", "Ecuador", "Quito", "-0.004", "-1.371"},
    {"Sourth America", "French Guvana", "Cavenne", "0.086", "-0.913"},
    {"Sourth America", "Guyana", "Georgetown", "0.119", "-1.015"},
    {"Sourth America", "Paraguay", "Asuncion", "-0.441", "-1.006"},
    {"Sourth America", "Peru", "Lima", "-0.210", "-1.344"},
    {"Sourth America", "Suriname", "Paramaribo", "0.102", "-0.963"},
    {"Sourth America", "Uruguay", "Montevideo", "-0.609", "-0.981"},
    {"Sourth America", "Venezueia", "Caracas", "0.183", "-1.167"},
};
// clang-format on

namespace {

// Adds a country only when it differs from the previous row's, so adjacent rows of
// one country list it once. The previous country starts as "None", which no row uses.
LocationLists walkRows(const std::function<bool(const CityRow&)>& take) {
    LocationLists lists;
    std::string_view previousCountry = "None";
    for (const CityRow& row : CityTable) {
        if (!take(row)) {
            continue;
        }
        if (row.Country != previousCountry) {
            lists.countries.emplace_back(row.Country);
            previousCountry = row.Country;
        }
        lists.cities.emplace_back(row.City);
    }
    return lists;
}

} // namespace

LocationLists AllLocationLists() {
    return walkRows([](const CityRow&) { return true; });
}

LocationLists ZoneLocationLists(std::string_view zone) {
    return walkRows([zone](const CityRow& row) { return row.Zone == zone; });
}

std::vector<std::string> CountryCities(std::string_view country) {
    std::vector<std::string> cities;
    for (const CityRow& row : CityTable) {
        if (row.Country == country) {
            cities.emplace_back(row.City);
        }
    }
    return cities;
}

const CityRow* FindCity(std::string_view city) {
    for (const CityRow& row : CityTable) {
        if (row.City == city) {
            return &row;
        }
    }
    return nullptr;
}

std::string InitialPositionCommand(const CityRow& row, int altitudeMetres) {
    char altitude[16];
    std::snprintf(altitude, sizeof altitude, "%d", altitudeMetres);
    return std::string("   $PXEMSTR,SSIP,") + row.Latitude + "," + row.Longitude + "," + altitude +
           ",-1*";
}
