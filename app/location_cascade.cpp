#include "location_cascade.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "nmea_checksum.h"
#include "notifier.h"

namespace {

int CompareIgnoringCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return 0;
}

// Sorts the way a sorted Windows list box does: case-insensitively.
void SortLikeListBox(std::vector<std::string>& items) {
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return CompareIgnoringCase(a, b) < 0;
    });
}

// A whole number the way the toolkit's StrToInt reads it: leading blanks, an
// optional sign, decimal digits or "$"/"0x" hexadecimal, nothing after, and
// within 32 bits. nullopt otherwise (an empty text included).
std::optional<int> StrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

// The place for a city name: the row of the chosen country when there is
// one (six countries share the city "None"), else the first row of that name.
const CityRow* FindPlace(std::string_view country, std::string_view city) {
    for (const CityRow& row : CityTable) {
        if (row.City != nullptr && row.Country != nullptr && city == row.City &&
            country == row.Country)
            return &row;
    }
    return FindCity(city);
}

} // namespace

LocationCascade::LocationCascade(LocationBoxes& boxes, RestartBeforeSendSwitch restartBeforeSend)
    : boxes_(boxes), restartBeforeSend_(std::move(restartBeforeSend)) {}

void LocationCascade::FillLists() {
    LocationLists lists = AllLocationLists();
    SortLikeListBox(lists.countries);
    SortLikeListBox(lists.cities);
    boxes_.SetCountryItems(lists.countries);
    boxes_.SetCityItems(lists.cities);
}

void LocationCascade::ZoneChanged(const std::string& zone) {
    boxes_.SetCountryItems({});
    boxes_.SetCityItems({});
    boxes_.SetCountryText("Country");
    boxes_.SetCityText("City");
    LocationLists lists = ZoneLocationLists(zone);
    SortLikeListBox(lists.countries);
    SortLikeListBox(lists.cities);
    boxes_.SetCountryItems(lists.countries);
    boxes_.SetCityItems(lists.cities);
}

void LocationCascade::CountryChanged(const std::string& country) {
    boxes_.SetCityItems({});
    boxes_.SetCityText("City");
    std::vector<std::string> cities = CountryCities(country);
    SortLikeListBox(cities);
    boxes_.SetCityItems(cities);
}

void LocationCascade::PlaceChanged(const std::string& city, const std::string& country,
                                   const std::string& altitudeText) {
    const CityRow* row = FindPlace(country, city);
    if (row == nullptr)
        return;
    const std::optional<int> altitude = StrToInt(altitudeText);
    if (!altitude) {
        // The command box keeps its text and the pending restart its value.
        CurrentNotifier().ShowError(QStringLiteral("'%1' is not a valid integer value")
                                        .arg(QString::fromUtf8(altitudeText)));
        return;
    }
    boxes_.SetCommandText(InitialPositionCommand(*row, *altitude));
    restartBeforeSend_(true);
}

void LocationCascade::DatumChanged(int index) {
    restartBeforeSend_(false);
    if (index >= 0 && index < kDatumCount)
        boxes_.SetCommandText(DatumCommandTable[index]);
}
