#include "sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kSimUsage =
    R"(usage: gps-sim [options]
Simulates a GPS receiver module on a pseudo-terminal (or on a tty) and prints
the device path on the first line of stdout. Commands received and their
verdicts are logged to stderr. Stops cleanly on SIGINT, SIGTERM or SIGHUP.

  --link PATH          create a symbolic link PATH (such as COM3, or dir/COM3)
                       to the device; removed on exit. An old link there is
                       replaced.
  --device PATH        use this tty instead of a new pseudo-terminal
  --baud N             set the line speed (1200 to 921600). A pseudo-terminal
                       passes every burst at once whatever the speed; on a
                       tty the line paces it. On a pseudo-terminal whose
                       reader set another speed, the bursts arrive as a UART
                       at that speed would take them: framing garbage (the
                       same for the same --seed)
  --start LAT,LON[,ALT]  starting place in degrees (default 25.0339,121.5645,45)
  --fix-after SECONDS  time without a fix after power-on (default 8); restarts
                       take 2 (hot), 5 (warm) and 12 (cold) s, scaled by this/8
  --seed N             satellites and track (default: from the clock; logged)
  --mask HEX           sentences at power-on, as for $PXEMSNM (default 013F)
  --gnss               a multi-GNSS receiver: GPS, GLONASS, Galileo and BeiDou,
                       $GN sentences, a GSA per system, GSV pages per talker
                       and band (about 1.6 KB a second); the line speed is
                       38400 unless --baud says otherwise
  --period-ms N        one burst every N ms (default 1000). Every duration
                       counts bursts, so a shorter period runs time-lapse.
  --replay FILE        send a recorded log instead (one burst per GGA/RMC time;
                       '#' lines skipped, CR LF added); loops at the end
  --replay-once        with --replay: fall silent after the last burst
  --garbage            mix noise, binary junk, over-long lines and bad
                       checksums into the bursts
  --burst-bytes N      pad every burst to at least N bytes with $GPTXT lines
  --silent-after SECONDS  stop talking after this long, like an unplugged receiver
  --unplug-after SECONDS  close the pseudo-terminal after this long, as when a
                       USB receiver is pulled: the reader gets a hang-up and
                       --link is removed
  --replug-after SECONDS  with --unplug-after: a new pseudo-terminal appears
                       under the same --link this long after an unplug; the
                       unplug follows again --unplug-after later, and so on
  --flood              write sentences continuously, as fast as the line takes them
  --record FILE        append every burst written to the line to FILE (for tests
                       that compare what the program saw with what was sent)
  --help               this text

Output mask bits ($PXEMSNM,hhhh,rr): 0001 GGA, 0002 GLL, 0004 VTG, 0008 GSA,
0010 GSV, 0020 ZDA, 0100 RMC; 0119 is the default set, 013F all of them.
rr sends the sentences every rr seconds.
)";

namespace {

bool ToDouble(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool ToLong(const std::string& text, long long lo, long long hi, long long& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size())
        return false;
    if (v < static_cast<unsigned long long>(lo) || v > static_cast<unsigned long long>(hi))
        return false;
    value = static_cast<long long>(v);
    return true;
}

bool ParseStart(const std::string& text, ModelConfig& model) {
    std::vector<double> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        double v = 0;
        if (!ToDouble(text.substr(at, comma == std::string::npos ? comma : comma - at), v))
            return false;
        parts.push_back(v);
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    if (parts.size() < 2 || parts.size() > 3 || std::fabs(parts[0]) > 90.0 ||
        std::fabs(parts[1]) > 180.0)
        return false;
    model.latitude = parts[0];
    model.longitude = parts[1];
    if (parts.size() == 3) {
        if (parts[2] < -9999.0 || parts[2] > 99999.0)
            return false;
        model.altitude = parts[2];
    }
    return true;
}

} // namespace

bool IsSupportedBaud(int baud) {
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
        if (baud == rate)
            return true;
    return false;
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        const auto take = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto bad = [&]() {
            error = "bad value for " + name + ": '" + value + "'";
            return false;
        };
        const auto flag = [&](bool& target) {
            if (hasValue) {
                error = name + " takes no value";
                return false;
            }
            target = true;
            return true;
        };

        long long number = 0;
        double seconds = 0;
        if (name == "--help" || name == "-h") {
            if (!flag(options.help))
                return false;
        } else if (name == "--garbage") {
            if (!flag(options.sim.garbage))
                return false;
        } else if (name == "--flood") {
            if (!flag(options.flood))
                return false;
        } else if (name == "--gnss") {
            if (!flag(options.sim.model.multiGnss))
                return false;
        } else if (name == "--replay-once") {
            bool once = false;
            if (!flag(once))
                return false;
            options.sim.replayLoop = false;
        } else if (name == "--link") {
            if (!take())
                return false;
            if (value.empty())
                return bad();
            options.link = value;
        } else if (name == "--device") {
            if (!take())
                return false;
            if (value.empty())
                return bad();
            options.device = value;
        } else if (name == "--record") {
            if (!take())
                return false;
            if (value.empty())
                return bad();
            options.recordPath = value;
        } else if (name == "--replay") {
            if (!take())
                return false;
            if (value.empty())
                return bad();
            options.replayPath = value;
        } else if (name == "--baud") {
            if (!take())
                return false;
            if (!ToLong(value, 1, 921600, number) || !IsSupportedBaud(static_cast<int>(number)))
                return bad();
            options.baud = static_cast<int>(number);
        } else if (name == "--start") {
            if (!take())
                return false;
            if (!ParseStart(value, options.sim.model))
                return bad();
        } else if (name == "--fix-after") {
            if (!take())
                return false;
            if (!ToDouble(value, seconds) || seconds < 0.0 || seconds > 86400.0)
                return bad();
            options.sim.model.fixAfter = seconds;
        } else if (name == "--silent-after") {
            if (!take())
                return false;
            if (!ToDouble(value, seconds) || seconds < 0.0)
                return bad();
            options.sim.silentAfter = seconds;
        } else if (name == "--unplug-after" || name == "--replug-after") {
            if (!take())
                return false;
            if (!ToDouble(value, seconds) || seconds <= 0.0 || seconds > 86400.0)
                return bad();
            (name == "--unplug-after" ? options.unplugAfter : options.replugAfter) = seconds;
        } else if (name == "--seed") {
            if (!take())
                return false;
            char* end = nullptr;
            errno = 0;
            const unsigned long long seed = std::strtoull(value.c_str(), &end, 0);
            if (value.empty() || value[0] == '-' || errno != 0 || *end != '\0')
                return bad();
            options.sim.model.seed = seed;
            options.seedGiven = true;
        } else if (name == "--mask") {
            if (!take())
                return false;
            if (value.empty() || value.size() > 4 ||
                value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return bad();
            const unsigned long mask = std::strtoul(value.c_str(), nullptr, 16);
            options.sim.mask = static_cast<uint16_t>(mask & kAllSentenceMask);
        } else if (name == "--period-ms") {
            if (!take())
                return false;
            if (!ToLong(value, 10, 60000, number))
                return bad();
            options.periodMs = static_cast<int>(number);
        } else if (name == "--burst-bytes") {
            if (!take())
                return false;
            if (!ToLong(value, 0, 65536, number))
                return bad();
            options.sim.burstBytes = static_cast<std::size_t>(number);
        } else {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
    }
    if (!options.sim.replayLoop && options.replayPath.empty()) {
        error = "--replay-once needs --replay";
        return false;
    }
    if (options.replugAfter > 0 && options.unplugAfter <= 0) {
        error = "--replug-after needs --unplug-after";
        return false;
    }
    if (options.unplugAfter > 0 && !options.device.empty()) {
        error = "--unplug-after works on a pseudo-terminal, not with --device";
        return false;
    }
    if (options.sim.model.multiGnss) {
        if (!options.replayPath.empty()) {
            error = "--gnss and --replay exclude each other";
            return false;
        }
        // Its bursts would not fit into a second at the usual 9600 bit/s.
        if (options.baud == 0)
            options.baud = kGnssBaud;
    }
    return true;
}

int LineMs(std::size_t bytes, int baud) {
    // Ten bits a byte: start, eight data bits, stop.
    return baud <= 0
               ? 0
               : static_cast<int>((bytes * 10 * 1000 + std::size_t(baud) - 1) / std::size_t(baud));
}
