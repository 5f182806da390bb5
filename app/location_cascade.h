// The datum box and the location cascade (zone, country, city, altitude),
// which fill the command box for the user. GUI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "location_table.h"

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

// Arms (true) or cancels (false) the warm restart before the next SEND.
using RestartBeforeSendSwitch = std::function<void(bool)>;

class LocationCascade {
public:
    LocationCascade(LocationBoxes& boxes, RestartBeforeSendSwitch restartBeforeSend);

    // Every country and every city, at the main window's first showing.
    void FillLists();
    // The countries and cities of the zone; both boxes show their titles again.
    void ZoneChanged(const std::string& zone);
    void CountryChanged(const std::string& country);
    // A change of the city or of the altitude: puts the initial-position
    // command for the place into the command box and arms the warm restart.
    void PlaceChanged(const std::string& city, const std::string& country,
                      const std::string& altitudeText);
    // Index 0..18 puts that datum command into the command box; any change of
    // the datum box cancels the warm restart.
    void DatumChanged(int index);

private:
    LocationBoxes& boxes_;
    RestartBeforeSendSwitch restartBeforeSend_;
};
