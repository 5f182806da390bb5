#include "replay_reader.h"

#include <fstream>
#include <sstream>

namespace {

// "GGA" of "$GPGGA,..." / "$GNGGA,...", or "".
std::string_view CycleType(std::string_view line) {
    if (line.size() < 7 || line[0] != '$' || line[6] != ',')
        return {};
    const std::string_view type = line.substr(3, 3);
    return type == "GGA" || type == "RMC" ? type : std::string_view{};
}

// The first field: the UTC time of GGA and RMC.
std::string_view TimeField(std::string_view line) {
    const std::string_view rest = line.substr(7);
    return rest.substr(0, rest.find_first_of(",*"));
}

} // namespace

std::vector<std::string> SplitIntoBursts(std::string_view log) {
    std::vector<std::string> bursts;
    std::string burst;
    std::string burstTime;
    bool hasGga = false, hasRmc = false;

    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string_view::npos)
            end = log.size();
        std::string_view line = log.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line[0] == '#')
            continue;

        const std::string_view type = CycleType(line);
        if (!type.empty()) {
            const std::string_view time = TimeField(line);
            const bool seen = type == "GGA" ? hasGga : hasRmc;
            const bool newCycle =
                time.empty() ? seen : (!burstTime.empty() && time != burstTime) || seen;
            if (newCycle && !burst.empty()) {
                bursts.push_back(std::move(burst));
                burst.clear();
                burstTime.clear();
                hasGga = hasRmc = false;
            }
            if (!time.empty())
                burstTime = time;
            (type == "GGA" ? hasGga : hasRmc) = true;
        }
        burst.append(line);
        burst += "\r\n";
    }
    if (!burst.empty())
        bursts.push_back(std::move(burst));
    return bursts;
}

bool LoadReplayFile(const std::string& path, std::vector<std::string>& bursts, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bursts = SplitIntoBursts(text.str());
    if (bursts.empty()) {
        error = path + " holds no sentences";
        return false;
    }
    return true;
}
