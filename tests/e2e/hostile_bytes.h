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
        case 2: // a plain value of the usual shape
            return Number(static_cast<int>(Pick(1, 5))) + "." +
                   Number(static_cast<int>(Pick(1, 4)));
        case 3:
            return Number(static_cast<int>(Pick(1, 3)));
        case 4: // huge
            return Number(static_cast<int>(Pick(12, 30))) + (Chance(2) ? "." + Number(9) : "");
        case 5:
            return "-" + Number(static_cast<int>(Pick(1, 6))) + (Chance(2) ? ".5" : "");
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
        case 10: // a satellite id with a letter
            return std::string(1, "GRJCEB"[Pick(0, 5)]) + Number(static_cast<int>(Pick(1, 3)));
        case 11: // ddmm.mmmm
            return Number(4) + "." + Number(4);
        case 12: // dddmm.mmmm
            return Number(5) + "." + Number(4);
        case 13: // hhmmss.ss
            return Number(6) + "." + Number(2);
        case 14:
            return Number(static_cast<int>(Pick(1, 3))) + (Chance(2) ? "" : ",");
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
        return std::string(kTalkers[Pick(0, kTalkers.size() - 1)]) +
               kTypes[Pick(0, kTypes.size() - 1)].name;
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
    // from the hostile kinds where the fix does not depend on them.
    std::string Fix() {
        const std::string talker = kTalkers[Pick(0, kTalkers.size() - 1)];
        return Framed(talker + "GGA," + Field() + ",2503.1234,N,12130.5678,E,1," + Field() + "," +
                      Field() + "," + Field() + ",M," + Field() + ",M,,") +
               Framed(talker + "GSA,A,3," + Field() + "," + Field() + "," + Field() +
                      ",,,,,,,,,," + Field() + "," + Field() + "," + Field()) +
               Framed(talker + "RMC," + Field() + ",A," + Field() + ",N," + Field() + ",E," +
                      Field() + "," + Field() + "," + Field() + ",,");
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
