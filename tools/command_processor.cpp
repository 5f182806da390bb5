#include "command_processor.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "nmea_frame.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Printf(const char* format, auto... args) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer,
                       n < 0 ? 0 : std::min<std::size_t>(std::size_t(n), sizeof buffer - 1));
}

std::vector<std::string> SplitFields(std::string_view payload) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = payload.find(',', at);
        fields.emplace_back(
            payload.substr(at, comma == std::string_view::npos ? comma : comma - at));
        if (comma == std::string_view::npos)
            return fields;
        at = comma + 1;
    }
}

// "SNM" of "PXEMSNM", the whole address otherwise; only letters and digits,
// since it is echoed into a reply sentence.
std::string CommandName(std::string_view payload) {
    std::string_view address = payload.substr(0, payload.find(','));
    if (address.size() > 4 && address.substr(0, 4) == "PXEM")
        address.remove_prefix(4);
    std::string name;
    for (char c : address)
        if (std::isalnum(static_cast<unsigned char>(c)) && name.size() < 8)
            name += c;
    return name.empty() ? "NONE" : name;
}

bool ParseNumber(const std::string& text, double& value) {
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            digits = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (!digits)
        return false;
    value = std::strtod(text.c_str(), nullptr);
    return true;
}

bool ParseHex(const std::string& text, unsigned& value) {
    if (text.empty() || text.size() > 4)
        return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::toupper(c) - 'A' + 10);
    }
    return true;
}

bool ParseSmallInt(const std::string& text, int lo, int hi, int& value) {
    if (text.empty() || text.size() > 2)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::atoi(text.c_str());
    return value >= lo && value <= hi;
}

CommandOutcome Ack(const std::string& name, const std::string& detail, const std::string& verdict) {
    return {"ok: " + verdict,
            {FrameSentence("PXEMACK," + name + (detail.empty() ? "" : ",") + detail)}};
}

CommandOutcome Error(const std::string& name, const char* reason, const std::string& verdict) {
    return {"error: " + verdict, {FrameSentence("PXEMERR," + name + "," + reason)}};
}

const char* VersionText(char which) {
    switch (which) {
    case 'M':
        return "GPS-SIM MODULE FW 1.2.0";
    case 'A':
        return "NAV API 3.1";
    case 'N':
        return "NAV LIBRARY 5.4.2 BUILD 20240611";
    case 'R':
        return "RTOS KERNEL 2.7.1";
    case 'U':
        return "CPU ARM7TDMI 49.107 MHZ";
    case 'V':
        return "FLASH FW 1.2.0 CRC 5A3C";
    }
    return nullptr;
}

int FixDigit(FixKind fix) {
    return fix == FixKind::ThreeD ? 3 : fix == FixKind::TwoD ? 2 : 1;
}

} // namespace

std::string QuotedLine(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7F) ? std::string(1, c) : Printf("\\x%02X", u);
    }
    return out + "\"";
}

std::string MaskSentenceNames(uint16_t mask) {
    static const struct {
        uint16_t bit;
        const char* name;
    } kNames[] = {{kGgaBit, "GGA"}, {kGllBit, "GLL"}, {kGsaBit, "GSA"}, {kGsvBit, "GSV"},
                  {kRmcBit, "RMC"}, {kVtgBit, "VTG"}, {kZdaBit, "ZDA"}};
    std::string names;
    for (const auto& entry : kNames)
        if (mask & entry.bit)
            names += (names.empty() ? "" : " ") + std::string(entry.name);
    return names.empty() ? "none" : names;
}

CommandProcessor::CommandProcessor(ReceiverModel& model, ModuleSettings& settings)
    : model_(model), settings_(settings) {}

CommandOutcome CommandProcessor::handle(const ReceivedLine& line) {
    const std::string shown = QuotedLine(line.text);
    if (line.overlong)
        return {"ignored: line over " + std::to_string(LineAssembler::kMaxLine) + " bytes " + shown,
                {}};
    const CommandFrame frame = CheckCommandFrame(line.text);
    if (frame.verdict == FrameVerdict::NotSentence)
        return {"ignored: not a sentence " + shown, {}};

    const std::vector<std::string> fields = SplitFields(frame.payload);
    const std::string name = CommandName(frame.payload);

    if (settings_.asleep) {
        // Asleep, only the wake-up command gets through.
        if (frame.verdict == FrameVerdict::Ok && fields.size() == 1 && fields[0] == "PXEMQVR") {
            settings_.asleep = false;
            model_.restart(RestartKind::Hot);
            return Ack("QVR", "AWAKE", "woken up " + shown);
        }
        return {"ignored: asleep " + shown, {}};
    }

    switch (frame.verdict) {
    case FrameVerdict::NoChecksum:
        return Error(name, "NOCHECKSUM", "no checksum " + shown);
    case FrameVerdict::BadChecksum:
        return Error(name, "CHECKSUM",
                     Printf("bad checksum %02x, expected %02x ", frame.received, frame.expected) +
                         shown);
    case FrameVerdict::Malformed:
        return Error(name, "FORMAT", "text after the checksum " + shown);
    default:
        break;
    }

    std::string storedNote;
    if (!frame.storedPair.empty()) {
        const std::string stored(frame.storedPair);
        const uint8_t own = NmeaChecksum(frame.payload);
        storedNote =
            std::strtoul(stored.c_str(), nullptr, 16) == own
                ? " (inner *" + stored + " matches)"
                : Printf(" (inner *%s does not match %02X, taken anyway)", stored.c_str(), own);
    }
    CommandOutcome out = dispatch(fields, storedNote);
    out.verdict += " " + shown;
    return out;
}

CommandOutcome CommandProcessor::dispatch(const std::vector<std::string>& f,
                                          const std::string& storedNote) {
    const std::string& address = f[0];
    const std::string name = CommandName(address);
    const std::size_t n = f.size();
    const auto badArgument = [&] { return Error(name, "ARGUMENT", "bad argument for " + name); };

    if (address == "PXEMSNM") {
        unsigned mask = 0;
        int rate = 1;
        if (n < 2 || n > 3 || !ParseHex(f[1], mask) ||
            (n == 3 && !ParseSmallInt(f[2], 1, 60, rate)))
            return badArgument();
        settings_.mask = static_cast<uint16_t>(mask & kAllSentenceMask);
        settings_.rate = rate;
        return Ack("SNM", Printf("%04X,%02d", settings_.mask, rate),
                   Printf("output %s every %d s", MaskSentenceNames(settings_.mask).c_str(), rate));
    }
    if (address == "PXEMRDI") {
        const ReceiverFix fix = model_.current();
        const std::string report =
            Printf("PXEMRDI,UP,%ld,FIX,%d,TRK,%02d,VIS,%02d,MASK,%04X,DATUM,%02d,PPS,%d,ANT,OK",
                   static_cast<long>(model_.uptime()), FixDigit(fix.fix), model_.trackedCount(),
                   static_cast<int>(fix.satellites.size()), settings_.mask, settings_.datum,
                   settings_.pulse ? 1 : 0);
        return {"ok: diagnostic report", {FrameSentence(report)}};
    }
    if (address == "PXEMSPS") {
        if (n != 2 || (f[1] != "0" && f[1] != "1"))
            return badArgument();
        settings_.pulse = f[1] == "1";
        return Ack("SPS", f[1], settings_.pulse ? "pulse on" : "pulse off");
    }
    if (address == "PXEMSRT") {
        if (n != 2 || f[1].size() != 1)
            return badArgument();
        switch (f[1][0]) {
        case 'C':
            model_.restart(RestartKind::Cold);
            return Ack(
                "SRT", "C",
                Printf("cold restart, no fix for %.0f s", model_.restartDelay(RestartKind::Cold)));
        case 'W':
            model_.restart(RestartKind::Warm);
            return Ack(
                "SRT", "W",
                Printf("warm restart, no fix for %.0f s", model_.restartDelay(RestartKind::Warm)));
        case 'H':
            model_.restart(RestartKind::Hot);
            return Ack(
                "SRT", "H",
                Printf("hot restart, no fix for %.0f s", model_.restartDelay(RestartKind::Hot)));
        case 'S':
            if (!model_.running())
                model_.restart(RestartKind::Hot);
            return Ack("SRT", "S", "navigation library started");
        case 'X':
            model_.stop();
            return Ack("SRT", "X", "navigation library shut down, output stopped");
        }
        return badArgument();
    }
    if (address == "PXEMQVR") {
        if (n == 1)
            return Ack("QVR", "AWAKE", "wake-up while awake");
        const char* text = (n == 2 && f[1].size() == 1) ? VersionText(f[1][0]) : nullptr;
        if (text == nullptr)
            return badArgument();
        return {"ok: version " + f[1], {FrameSentence("PXEMVER," + f[1] + "," + text)}};
    }
    if (address == "PXEMSLP") {
        if (n != 1)
            return badArgument();
        settings_.asleep = true;
        model_.stop();
        return Ack("SLP", "", "asleep until $PXEMQVR");
    }
    if (address == "PXEMQTR") {
        if (n != 2 || f[1] != "AQAS")
            return badArgument();
        const int count = model_.almanacCount();
        const std::string status =
            Printf("PXEMQTR,AQAS,%02d,%02d,%s", count, ReceiverModel::kAlmanacSize,
                   count >= ReceiverModel::kAlmanacSize ? "COMPLETE" : "COLLECTING");
        return {Printf("ok: almanac %d of %d", count, ReceiverModel::kAlmanacSize),
                {FrameSentence(status)}};
    }
    if (address == "PXEMSGS") {
        int datum = 0;
        double a = 0, b = 0, c = 0;
        if (n != 5 || f[1].size() != 2 || !ParseSmallInt(f[1], 0, 99, datum) ||
            !ParseNumber(f[2], a) || !ParseNumber(f[3], b) || !ParseNumber(f[4], c))
            return badArgument();
        settings_.datum = datum;
        settings_.datumParameters = f[2] + "," + f[3] + "," + f[4];
        return Ack("SGS", f[1],
                   "datum " + f[1] + " (" + settings_.datumParameters + ")" + storedNote);
    }
    if (address == "PXEMSTR") {
        double lat = 0, lon = 0, alt = 0, last = 0;
        if (n != 6 || f[1] != "SSIP" || !ParseNumber(f[2], lat) || !ParseNumber(f[3], lon) ||
            !ParseNumber(f[4], alt) || !ParseNumber(f[5], last) || std::fabs(lat) > kPi / 2 ||
            std::fabs(lon) > kPi || alt < -9999.0 || alt > 99999.0)
            return badArgument();
        const bool now = model_.fixKind() == FixKind::None;
        model_.setInitialPosition(lat * 180.0 / kPi, lon * 180.0 / kPi, alt);
        return Ack("STR", "SSIP",
                   Printf("initial position %.4f %.4f %.0f m, %s", lat * 180.0 / kPi,
                          lon * 180.0 / kPi, alt,
                          now ? "next fix starts there" : "after the next restart"));
    }
    return Error(name, "UNKNOWN", "unknown command");
}
