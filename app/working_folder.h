// Where the program keeps its files. Started from a terminal it works in the
// current directory; the application menu starts it with --from-menu in the
// home folder, where settings, logs and port links would be lost among the
// user's own files, so then it works in ~/GPS_Quillmar.
#pragma once

#include <string>

// True when the arguments (after Qt took its own) ask for the menu's folder.
bool StartedFromMenu(int argc, const char* const* argv);

// ~/GPS_Quillmar: $HOME, or the password entry's home when $HOME is not set.
std::string MenuWorkingFolder();

// Makes `folder` (not its parents) when missing and enters it. Returns ""
// when done, else what stood in the way; the working directory is then
// unchanged.
std::string EnterWorkingFolder(const std::string& folder);
