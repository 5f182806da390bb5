// Quillmar.aon: the port and the four line codes of the last connection
// that started, as ten bytes "p b,d,a,s," in the working directory.
#pragma once

#include <optional>

#include "line_menus.h"

constexpr const char* kSettingsFileName = "Quillmar.aon";

struct UserSettings {
    int portIndex = 0; // 0 is COM_1
    LineCodes codes;
};

// What the file holds, or nullopt when there is none. The first line is read
// by fixed byte positions without checks: a missing byte reads as zero,
// i.e. as -48.
std::optional<UserSettings> ReadSettingsFile();

// Replaces the file whole, so that a crash, a full disk or a failed write
// leaves the old file or the new one, never a cut one. Where its folder
// takes no new file, a writable file there is written in place. Through a
// link the file it leads to is written, created when missing. False (and
// the old file untouched) when the file cannot be written.
bool WriteSettingsFile(const UserSettings& settings);
