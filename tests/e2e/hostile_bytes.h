// Bursts of hostile receiver output from a seeded generator: sentences of
// every talker and type a receiver may send, with fields that are empty,
// huge, negative, signed, blank, long runs or binary; right and wrong
// checksums; lines without CR LF, lines of 300 bytes and bursts over 4 KB.
// Burst n of a seed is always the same bytes, whatever was sent before.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace hostile {

inline constexpr std::array<const char*, 8> kTalkers = {"GP", "GN", "GL", "GA",
                                                        "GB", "BD", "GQ", "GI"};
// Types with the number of fields a receiver sends after the address.
struct SentenceType {
    const char* name;
    int fields;
};
inline constexpr std::array<SentenceType, 13> kTypes = {{{"GGA", 14},
                                                         {"GSA", 18},
                                                         {"GSV", 19},
                                                         {"RMC", 13},
                                                         {"VTG", 9},
                                                         {"ZDA", 6},
                                                         {"GLL", 7},
                                                         {"TXT", 4},
                                                         {"GNS", 13},
                                                         {"GST", 8},
                                                         {"GBS", 10},
                                                         {"DTM", 8},
                                                         {"GRS", 16}}};
inline constexpr std::array<const char*, 6> kProprietary = {"PUBX",  "PMTK",  "PSRF",
                                                            "PGRME", "PSTMT", "P"};

class BurstMaker {
public:
    explicit BurstMaker(uint64_t seed) : seed_(seed) {}

    // Burst n: a mix of plausible sentences, damaged ones and junk. About one
    // burst in six is over 4 KB; every other one ends in a fix, so that SAVE
    // can be pressed now and then.
    std::string Burst(int n) {
        rng_.seed(seed_ * 1000003u + static_cast<uint64_t>(n));
        const std::size_t target = Chance(6) ? Pick(4100, 6500) : Pick(40, 1600);
        std::string burst;
        while (burst.size() < target)
            burst += Line();
        if (Chance(2))
            burst += Fix();
        return burst;
    }

private:
    uint32_t Pick(uint32_t low, uint32_t high) { // low..high inclusive
        return std::uniform_int_distribution<uint32_t>(low, high)(rng_);
    }
    bool Chance(uint32_t oneIn) { return Pick(1, oneIn) == 1; }

    std::string Number(int digits) {
        std::string text;
        for (int i = 0; i < digits; ++i)
            text += static_cast<char>('0' + Pick(0, 9));
        return text;
    }
    // Each part drawn after the one before it, so a seed gives the same bytes
    // whatever order a compiler evaluates operands in.
    std::string Decimal(uint32_t whole, uint32_t fraction) {
        std::string text = Number(static_cast<int>(whole));
        return text + "." + Number(static_cast<int>(fraction));
    }
    std::string Binary(std::size_t count) {
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i)
            bytes += static_cast<char>(Pick(0, 255));
        return bytes;
    }

    // One field's text, of every kind the line may carry.
    std::string Field() {
        switch (Pick(0, 15)) {
        case 0:
        case 1:
            return "";
        case 2: { // a plain value of the usual shape
            const uint32_t whole = Pick(1, 5);
            return Decimal(whole, Pick(1, 4));
        }
        case 3:
            return Number(static_cast<int>(Pick(1, 3)));
        case 4: { // huge
            std::string text = Number(static_cast<int>(Pick(12, 30)));
            return Chance(2) ? text + "." + Number(9) : text;
        }
        case 5: {
            std::string text = "-" + Number(static_cast<int>(Pick(1, 6)));
            return Chance(2) ? text + ".5" : text;
        }
        case 6: { // signs and blanks
            static constexpr std::array<const char*, 12> odd = {
                "-", "+", " ", "  ", "+-1", "-.", ".", " 12", "12 ", "-0", "1e308", "nan"};
            return odd[Pick(0, odd.size() - 1)];
        }
        case 7: { // 40 of one character
            static constexpr char runs[] = "09.-+ ANSEWZ\xA2\xFF";
            return std::string(40, runs[Pick(0, sizeof runs - 2)]);
        }
        case 8:
            return Binary(Pick(1, 12));
        case 9: { // letters the fields of a fix hold
            static constexpr char letters[] = "NSEWAVMTKDRFP";
            return std::string(1, letters[Pick(0, sizeof letters - 2)]);
        }
        case 10: { // a satellite id with a letter
            std::string text(1, "GRJCEB"[Pick(0, 5)]);
            return text + Number(static_cast<int>(Pick(1, 3)));
        }
        case 11: // ddmm.mmmm
            return Decimal(4, 4);
        case 12: // dddmm.mmmm
            return Decimal(5, 4);
        case 13: // hhmmss.ss
            return Decimal(6, 2);
        case 14: {
            std::string text = Number(static_cast<int>(Pick(1, 3)));
            return Chance(2) ? text : text + ",";
        }
        default:
            return std::string(1, static_cast<char>(Pick(0x21, 0x7E)));
        }
    }

    std::string Address() {
        if (Chance(10))
            return kProprietary[Pick(0, kProprietary.size() - 1)];
        if (Chance(25)) { // an address of any three letters
            std::string any(5, 'A');
            for (char& c : any)
                c = static_cast<char>('A' + Pick(0, 25));
            return any;
        }
        std::string address = kTalkers[Pick(0, kTalkers.size() - 1)];
        return address + kTypes[Pick(0, kTypes.size() - 1)].name;
    }

    int FieldCount(const std::string& address) {
        int count = static_cast<int>(Pick(0, 20));
        for (const SentenceType& type : kTypes) {
            if (address.size() == 5 && address.compare(2, 3, type.name) == 0)
                count = type.fields;
        }
        // Now and then too few or too many.
        if (Chance(5))
            count = std::max(0, count + static_cast<int>(Pick(0, 8)) - 4);
        return count;
    }

    static std::string Framed(const std::string& body) {
        unsigned char sum = 0;
        for (char c : body)
            sum ^= static_cast<unsigned char>(c);
        char tail[8];
        std::snprintf(tail, sizeof tail, "*%02X\r\n", static_cast<unsigned>(sum));
        return "$" + body + tail;
    }

    // A 3D fix, whole and with right checksums, whose fields are still drawn
    // from the hostile kinds ('#') where the fix does not depend on them.
    std::string Fix() {
        const std::string talker = kTalkers[Pick(0, kTalkers.size() - 1)];
        auto fill = [this](std::string pattern) {
            std::string out;
            for (char c : pattern)
                out += c == '#' ? Field() : std::string(1, c);
            return out;
        };
        std::string fix = Framed(talker + fill("GGA,#,2503.1234,N,12130.5678,E,1,#,#,#,M,#,M,,"));
        fix += Framed(talker + fill("GSA,A,3,#,#,#,,,,,,,,,,#,#,#"));
        fix += Framed(talker + fill("RMC,#,A,#,N,#,E,#,#,#,,"));
        return fix;
    }

    // One line: "$", address, fields, a checksum of some kind, a line end of some kind.
    std::string Line() {
        if (Chance(20)) // junk between sentences
            return Binary(Pick(1, 60));
        const std::string address = Address();
        std::string body = address;
        const int fields = FieldCount(address);
        const bool long300 = Chance(25);
        for (int i = 0; i < fields; ++i)
            body += "," + Field();
        if (long300 && body.size() < 300)
            body += "," + std::string(300 - body.size() - 1, static_cast<char>('0' + Pick(0, 9)));
        unsigned char sum = 0;
        for (char c : body)
            sum ^= static_cast<unsigned char>(c);
        char tail[8];
        switch (Pick(0, 9)) {
        case 0: // wrong
            std::snprintf(tail, sizeof tail, "*%02X", static_cast<unsigned>(sum ^ Pick(1, 255)));
            break;
        case 1: // none
            tail[0] = '\0';
            break;
        case 2: // lower case
            std::snprintf(tail, sizeof tail, "*%02x", static_cast<unsigned>(sum));
            break;
        case 3: { // cut short or not hex
            static constexpr std::array<const char*, 4> odd = {"*", "*4", "*ZZ", "**"};
            std::snprintf(tail, sizeof tail, "%s", odd[Pick(0, odd.size() - 1)]);
            break;
        }
        default:
            std::snprintf(tail, sizeof tail, "*%02X", static_cast<unsigned>(sum));
        }
        std::string line = (Chance(30) ? "" : "$") + body + tail;
        switch (Pick(0, 11)) {
        case 0: // no line end: glued to the next
            break;
        case 1:
            line += "\n";
            break;
        case 2:
            line += "\r";
            break;
        case 3:
            line += "\r\r\n";
            break;
        default:
            line += "\r\n";
        }
        return line;
    }

    uint64_t seed_;
    std::mt19937_64 rng_;
};

} // namespace hostile
