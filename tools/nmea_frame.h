// NMEA 0183 checksum framing: what the simulated module sends and how it
// checks what it is sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Exclusive-or of every character of text.
uint8_t NmeaChecksum(std::string_view text);

// "$" + body + "*" + two upper-case hex digits + CR LF.
std::string FrameSentence(std::string_view body);

// True when line (with or without CR LF) is "$...*hh" and hh is the checksum
// of what lies between '$' and '*'. Used by tests and the replay tools.
bool HasValidChecksum(std::string_view line);

enum class FrameVerdict {
    Ok,
    NotSentence, // does not start with '$'
    NoChecksum,  // no '*', or no two hex digits at the end after it
    BadChecksum, // the final pair does not match
    Malformed,   // other text between the first '*' and the final pair
};

struct CommandFrame {
    FrameVerdict verdict = FrameVerdict::NotSentence;
    std::string_view payload;    // between '$' and the first '*'
    std::string_view storedPair; // a pair carried inside the command ("5C" of "*5C"), or ""
    uint8_t received = 0;        // the final pair, as sent
    uint8_t expected = 0;        // what the final pair should have been
};

// Checks one command line (CR LF already removed).
//
// The final two characters are the checksum (hex digits of either case). It
// covers everything from after '$' up to, not including, the character just
// before it. For a plain command ending in "*hh" that is the usual NMEA rule.
// The program frames every command that way, even a datum text that already
// ends in its own "*hh": "$PXEMSGS,02,-148,507,685*5C" goes out as
// "$PXEMSGS,02,-148,507,685*5C" + checksum("PXEMSGS,02,-148,507,685*5") . So
// such a line is accepted on its final pair, and the inner pair is handed back
// in storedPair for the caller to judge.
CommandFrame CheckCommandFrame(std::string_view line);

const char* FrameVerdictName(FrameVerdict verdict);
