// The NMEA sentence window's pure part: which received lines are shown, the
// speed-limit label and the information record as "GPS_INFO.txt" receives it.
#pragma once

#include <QString>
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
// Shown in place of lines that cannot be displayed (garbage at a wrong baud rate).
inline constexpr const char* kBaudRateHelp[3] = {
    "Please check baud rate setting.",
    "You should press \"Stop\" and change baud rate.",
    "and then press \"go\" to continue.",
};

constexpr int kSpeedLimitBytes = 15;

// Whether a received line can be shown: printable ASCII and whole Big5
// characters only. Control bytes and broken double-byte characters are what a
// wrong baud rate produces.
bool DisplayableLine(std::string_view line);

struct SentenceDisplay {
    // The lines shown, in slot order, up to the first one that cannot be shown.
    std::vector<std::string_view> shown;
    // The proprietary ("$P") lines among them.
    std::vector<std::string_view> proprietary;
    // A line could not be shown; the baud-rate help follows the shown lines.
    bool displayError = false;
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
