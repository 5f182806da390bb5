// The NMEA sentence window's pure part: which received lines are shown, the
// speed-limit label and the information record as "GPS_INFO.txt" receives it.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receiver_state.h"

inline constexpr char kSentenceLogFile[] = "GPS_LOG.txt";
inline constexpr char kInformationFile[] = "GPS_INFO.txt";
inline constexpr char kErrorCaption[] = "ERROR";
inline constexpr char kCannotOpenLogFile[] = "Can not Open LOG File";
inline constexpr char kCannotWriteLogFile[] = "Can not Write LOG File";
inline constexpr char kLogFileRemoved[] = "LOG File was removed, a new GPS_LOG.txt is started";
inline constexpr char kInformationWrong[] = "Information is wrong ,Please try Again";
// Shown after the lines of a batch that looks like a wrong baud rate.
inline constexpr const char* kBaudRateHelp[3] = {
    "Please check baud rate setting.",
    "You should press \"Stop\" and change baud rate.",
    "and then press \"go\" to continue.",
};

constexpr int kSpeedLimitBytes = 15;

// A received line as a pane shows it: printable ASCII, tabs and whole Big5
// characters decoded, every other byte (a control byte, half a character)
// as U+FFFD, so that noise on one byte stays visible and hides nothing.
QString PaneText(std::string_view line);

// Whether a line is a whole NMEA sentence: '$', the sentence, '*' and two hex
// digits (either case) of the XOR of what lies between '$' and '*'. The CR of
// a batch cut before the line's LF may follow.
bool ValidNmeaSentence(std::string_view line);

// The sentence window's caption: "NMEA Sentence", and how many sentences of
// the run came damaged when there were any.
QString DamagedCaption(uint32_t damaged);

struct SentenceDisplay {
    // Every line of the batch in slot order, as received.
    std::vector<std::string_view> shown;
    // The proprietary ("$P") lines among them.
    std::vector<std::string_view> proprietary;
    // The batch brought bytes but not one whole sentence, which is what a
    // wrong baud rate gives: the help follows the lines.
    bool baudRateHelp = false;
};

// Views into state's SentenceLines; keep state alive while using them.
SentenceDisplay SelectSentenceLines(const ReceiverState& state);

// The speed-limit label as the file receives it: Big5 bytes, cut to at most
// 15 bytes without splitting a character.
std::string SpeedLimitText(const QString& comboText);

// One information record: twelve CR LF lines. An empty hemisphere or status
// slot gives an empty field, never a zero byte.
std::string BuildInformationRecord(int number, std::string_view speedLimit,
                                   const ReceiverState& state);
