// Reads what a whole-program run left in its working directory and checks it
// against what gps-sim sent (its --record file).
//
//   e2e-check session DIR   every trace file of the run tells the same story
//   e2e-check ticks DIR     prints the slowest tick of each window, in ms
//   e2e-check flood DIR S   every window ticked about once a batch for S
//                           seconds, each tick short, and lines were shown
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++g_failures;
}

void Check(bool ok, const std::string& what) {
    if (!ok)
        Fail(what);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Lines of a file written with CR LF ends (the CR LF removed).
std::vector<std::string> CrLfLines(const std::string& path) {
    const std::string text = ReadAll(path);
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> fields;
    const std::string body = sentence.substr(0, sentence.find('*'));
    std::size_t at = 0;
    for (;;) {
        std::size_t comma = body.find(',', at);
        fields.push_back(
            body.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos)
            return fields;
        at = comma + 1;
    }
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// "<label> : %15.10f seconds" -> seconds, or -1.
double TimingValue(const std::string& line, const std::string& label) {
    const std::string head = label + " : ";
    if (!StartsWith(line, head) || line.size() != head.size() + 15 + 8)
        return -1;
    return std::atof(line.c_str() + head.size());
}

struct Sent {
    std::vector<std::string> lines;
    std::set<std::string> lineSet;
    // Tracked satellites (PRN, elevation, azimuth) of each burst's GSV pages.
    std::vector<std::set<std::string>> trackedPerBurst;
    std::set<std::string> ggaPositions; // "lat,lon" as sent
};

Sent LoadSent(const std::string& dir) {
    Sent sent;
    std::set<std::string> tracked;
    for (const std::string& line : CrLfLines(dir + "/sent.txt")) {
        sent.lines.push_back(line);
        sent.lineSet.insert(line);
        const std::vector<std::string> f = Fields(line);
        if (f[0] == "$GPGGA" && f.size() > 5) {
            if (!tracked.empty())
                sent.trackedPerBurst.push_back(tracked);
            tracked.clear();
            sent.ggaPositions.insert(f[2] + "," + f[4]);
        } else if (f[0] == "$GPGSV") {
            for (std::size_t i = 4; i + 3 < f.size(); i += 4)
                if (std::atoi(f[i + 3].c_str()) > 0)
                    tracked.insert(f[i] + "/" + f[i + 1] + "/" + f[i + 2]);
        }
    }
    if (!tracked.empty())
        sent.trackedPerBurst.push_back(tracked);
    return sent;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& wanted) {
    for (const std::string& l : lines)
        if (l == wanted)
            return true;
    return false;
}

int CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : lines)
        n += StartsWith(l, prefix) ? 1 : 0;
    return n;
}

void CheckComLog(const std::string& dir) {
    const std::vector<std::string> log = CrLfLines(dir + "/ComLog.txt");
    for (const char* wanted :
         {"COM1", "InitRs232_WIN CommBaudRate =1", "InitRs232_WIN CommByteSize =3",
          "InitRs232_WIN CommParity =1", "InitRs232_WIN CommStopBits =0",
          "InitRs232_WIN dcb.Parity = 0,(0-4=no,odd,even,mark,space)",
          "InitRs232_WIN dcb.ByteSize = 8,(number of bits/byte, 4-8)",
          "InitRs232_WIN dcb.StopBits = 0,(0,1,2 = 1, 1.5, 2)",
          "InitRs232_WIN dcb.BaudRate = 9600,(current baud rate)",
          "InitRs232_WIN Call Set All Timeout to 3000", "Set_TimeOut_WIN:"})
        Check(HasLine(log, wanted), std::string("ComLog.txt lacks \"") + wanted + "\"");
    Check(!log.empty() && log[0] == "COM1", "ComLog.txt does not start with the port name");
    Check(CountPrefix(log, "Start Receive : ") > 5, "ComLog.txt has no reads traced");
}

bool IsHeadOfSentLine(const Sent& sent, const std::string& head) {
    for (const std::string& line : sent.lines)
        if (StartsWith(line, head))
            return true;
    return false;
}

// Every line slot the receive thread traced is a sentence gps-sim sent.
void CheckThreadLog(const std::string& dir, const Sent& sent) {
    const std::vector<std::string> log = CrLfLines(dir + "/ThreadLog.txt");
    int cycles = 0, fullCycles = 0, foreign = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (!StartsWith(log[i], "Receive Data Length = "))
            continue;
        ++cycles;
        int filled = 0;
        for (std::size_t k = i + 1; k <= i + 10 && k < log.size(); ++k) {
            if (log[k].empty())
                continue;
            ++filled;
            // A batch cut short (the port closed mid-burst) ends in the head of a sentence.
            const bool last = k == i + 10 || k + 1 >= log.size() || log[k + 1].empty();
            if (!sent.lineSet.count(log[k]) && !(last && IsHeadOfSentLine(sent, log[k]))) {
                ++foreign;
                std::fprintf(stderr, "  slot line never sent: %s\n", log[k].c_str());
            }
        }
        fullCycles += filled >= 7 ? 1 : 0;
        Check(i + 11 < log.size() ? StartsWith(log[i + 11], "Finish Check : ") : true,
              "ThreadLog.txt: ten slot lines are not followed by the finish line");
    }
    Check(cycles >= 8, "ThreadLog.txt has fewer than 8 cycles: " + std::to_string(cycles));
    Check(fullCycles >= cycles - 3, "ThreadLog.txt: too many cycles without a whole burst");
    Check(foreign == 0, "ThreadLog.txt holds lines gps-sim never sent");
    Check(CountPrefix(log, "Start Thread : ") == cycles ||
              CountPrefix(log, "Start Thread : ") == cycles + 1,
          "ThreadLog.txt: start lines and cycles disagree");
}

// Each "SV = " line is a satellite gps-sim tracked, at the place the sky
// mapping gives it: x = m + r sin(az), y = m - r cos(az), r = m (90 - el) / 90.
void CheckSatelliteLog(const std::string& dir, const Sent& sent) {
    const std::vector<std::string> log = CrLfLines(dir + "/SatelliteLog.txt");
    int ticks = 0, marks = 0, matchingTicks = 0;
    double m = -1;
    std::set<std::string> tick;
    auto endTick = [&] {
        if (tick.empty())
            return;
        for (const auto& burst : sent.trackedPerBurst)
            if (burst == tick) {
                ++matchingTicks;
                break;
            }
        tick.clear();
    };
    for (const std::string& line : log) {
        if (StartsWith(line, "Start Satellite Timer : ")) {
            endTick();
            ++ticks;
            continue;
        }
        char prn[8], el[8], az[8];
        double x = 0, y = 0;
        // The degree sign is the Big5 pair 0xA2 0x58.
        if (std::sscanf(line.c_str(), "SV = %7[^,], E=%7[^ ] ,A=%7[0-9]\xA2\x58, (%lf,%lf)", prn,
                        el, az, &x, &y) != 5)
            continue;
        ++marks;
        tick.insert(std::string(prn) + "/" + el + "/" + az);
        const double k = (90.0 - std::atoi(el)) / 90.0;
        const double t = std::atoi(az) * M_PI / 180.0;
        const double mx = x / (1 + k * std::sin(t));
        const double my = y / (1 - k * std::cos(t));
        const double here = std::isfinite(mx) && std::fabs(1 + k * std::sin(t)) > 0.2 ? mx : my;
        if (m < 0)
            m = here;
        if (std::fabs(here - m) > 0.01 || std::fabs(m + m * k * std::sin(t) - x) > 0.01 ||
            std::fabs(m - m * k * std::cos(t) - y) > 0.01)
            Fail("SatelliteLog.txt: " + line.substr(0, line.find('(')) +
                 " is not where the sky mapping puts it");
    }
    endTick();
    Check(ticks >= 8, "SatelliteLog.txt has fewer than 8 ticks");
    Check(marks > 0, "SatelliteLog.txt has no satellites");
    Check(matchingTicks >= ticks / 2,
          "SatelliteLog.txt: most ticks do not show one burst's tracked satellites (" +
              std::to_string(matchingTicks) + " of " + std::to_string(ticks) + ")");
}

// "ddmm.mmmm" -> "dd.dddddd": degrees + minutes / 60 with six decimals, so the
// end of a degree carries into the next one (2459.99997 -> "25.000000").
std::string DecimalDegrees(const std::string& nmea, int degreeDigits) {
    const double degrees = std::atof(nmea.substr(0, degreeDigits).c_str());
    const double minutes = std::atof(nmea.c_str() + degreeDigits);
    char text[32];
    std::snprintf(text, sizeof text, "%0*.6f", degreeDigits + 7, degrees + minutes / 60);
    return text;
}

void CheckRoadmapLog(const std::string& dir, const Sent& sent) {
    std::set<std::string> expected;
    for (const std::string& position : sent.ggaPositions) {
        const std::size_t comma = position.find(',');
        if (comma == 0 || comma + 1 == position.size())
            continue; // no fix yet
        expected.insert(DecimalDegrees(position.substr(0, comma), 2) + "," +
                        DecimalDegrees(position.substr(comma + 1), 3));
    }
    const std::vector<std::string> log = CrLfLines(dir + "/RoadmapLog.txt");
    int positions = 0;
    for (std::size_t i = 0; i + 1 < log.size(); ++i) {
        if (!StartsWith(log[i], "a = ") || !StartsWith(log[i + 1], "a = "))
            continue;
        const std::string lat = log[i].substr(log[i].find(", ") + 2);
        const std::string lon = log[i + 1].substr(log[i + 1].find(", ") + 2);
        ++positions;
        Check(expected.count(lat + "," + lon) == 1,
              "RoadmapLog.txt position " + lat + " " + lon + " is no GGA position sent");
        ++i;
    }
    Check(positions >= 3, "RoadmapLog.txt has fewer than 3 positions");
    Check(CountPrefix(log, "Start Roadmap Timer : ") >= 8, "RoadmapLog.txt has few ticks");
}

void CheckTimingLines(const std::string& dir, const char* file, const char* start,
                      const char* finish) {
    const std::vector<std::string> log = CrLfLines(dir + "/" + file);
    int starts = 0, finishes = 0;
    for (const std::string& line : log) {
        starts += TimingValue(line, start) >= 0 ? 1 : 0;
        finishes += TimingValue(line, finish) >= 0 ? 1 : 0;
    }
    Check(starts >= 8 && finishes >= 8, std::string(file) + " has " + std::to_string(starts) +
                                            " start and " + std::to_string(finishes) +
                                            " finish lines");
}

struct Window {
    const char* file;
    const char* start;
    const char* finish;
};
const Window kWindows[] = {
    {"MainLog.txt", "Start Main Timer", "Finish Main Timer"},
    {"NavigationLog.txt", "Start Navigation Timer", "Finish Navigation Timer"},
    {"SatelliteLog.txt", "Start Satellite Timer", "Finish Satellite Timer"},
    {"SingleLog.txt", "Start Single Timer", "Finish Single Timer"},
    {"RoadmapLog.txt", "Start Roadmap Timer", "Finish Roadmap Timer"},
    {"SentenceLog.txt", "Start Sentence Timer", "finish Sentence Timer"},
};

int Session(const std::string& dir) {
    const Sent sent = LoadSent(dir);
    if (sent.lines.size() < 40) {
        Fail("sent.txt holds too little: " + std::to_string(sent.lines.size()) + " lines");
        return 1;
    }
    CheckComLog(dir);
    CheckThreadLog(dir, sent);
    CheckSatelliteLog(dir, sent);
    CheckRoadmapLog(dir, sent);
    const std::vector<std::string> main = CrLfLines(dir + "/MainLog.txt");
    Check(HasLine(main, "Use Thread To Receive!!!"), "MainLog.txt lacks the thread start line");
    for (const Window& w : kWindows)
        CheckTimingLines(dir, w.file, w.start, w.finish);
    std::fprintf(stderr, "%s\n", g_failures == 0 ? "session: all files agree" : "session: FAILED");
    return g_failures == 0 ? 0 : 1;
}

// Slowest and median tick per window. The views' lines both count from the
// main tick's stamp, so a tick's length is finish minus start.
int Ticks(const std::string& dir) {
    for (const Window& w : kWindows) {
        std::vector<double> lengths;
        double started = -1;
        for (const std::string& line : CrLfLines(dir + "/" + w.file)) {
            const double s = TimingValue(line, w.start);
            if (s >= 0) {
                started = s;
                continue;
            }
            const double f = TimingValue(line, w.finish);
            if (f >= 0 && started >= 0) {
                lengths.push_back(f - started);
                started = -1;
            }
        }
        if (lengths.empty()) {
            std::printf("%-18s no ticks\n", w.file);
            continue;
        }
        std::vector<double> sorted = lengths;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-18s ticks %5zu  median %7.3f ms  slowest %7.3f ms\n", w.file, sorted.size(),
                    1000 * sorted[sorted.size() / 2], 1000 * sorted.back());
    }
    return 0;
}

// A responsive GUI under a flood: each window ticked about once per batch (a
// tick may be late, never doubled), no tick took long, and the sentence log
// showed received lines in most of its ticks. The windows follow the batches,
// and with bytes always waiting the receive loop ends each cycle at 0.9 s.
int Flood(const std::string& dir, double seconds) {
    for (const Window& w : kWindows) {
        int starts = 0;
        double started = -1, slowest = 0;
        for (const std::string& line : CrLfLines(dir + "/" + w.file)) {
            const double s = TimingValue(line, w.start);
            if (s >= 0) {
                ++starts;
                started = s;
                continue;
            }
            const double f = TimingValue(line, w.finish);
            if (f >= 0 && started >= 0)
                slowest = std::max(slowest, f - started);
        }
        std::printf("%-18s %4d ticks in %.0f s, slowest %.1f ms\n", w.file, starts, seconds,
                    1000 * slowest);
        Check(starts >= 0.8 * seconds - 2 && starts <= seconds / 0.9 + 3,
              std::string(w.file) + ": not about one tick a batch");
        Check(slowest < 0.5, std::string(w.file) + ": a tick took half a second or more");
    }
    int ticks = 0, withLines = 0, lines = 0;
    bool inTick = false, shown = false;
    for (const std::string& line : CrLfLines(dir + "/SentenceLog.txt")) {
        if (TimingValue(line, "Start Sentence Timer") >= 0) {
            ++ticks;
            inTick = true;
            shown = false;
        } else if (TimingValue(line, "finish Sentence Timer") >= 0) {
            withLines += shown ? 1 : 0;
            inTick = false;
        } else if (inTick && StartsWith(line, "$GP")) {
            shown = true;
            ++lines;
        }
    }
    std::printf("SentenceLog.txt: %d of %d ticks showed lines, %d lines\n", withLines, ticks,
                lines);
    Check(withLines >= ticks / 2, "SentenceLog.txt: most ticks showed nothing of the flood");
    return g_failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "session")
        return Session(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "ticks")
        return Ticks(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "flood")
        return Flood(argv[2], std::atof(argv[3]));
    std::fprintf(stderr, "usage: e2e-check session|ticks DIR, e2e-check flood DIR SECONDS\n");
    return 2;
}
