#include "working_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool StartedFromMenu(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--from-menu") == 0)
            return true;
    }
    return false;
}

std::string MenuWorkingFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0')
        home = env;
    else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        home = entry->pw_dir;
    if (home.empty())
        home = "/";
    if (home.back() != '/')
        home += '/';
    return home + "GPS_Quillmar";
}

std::string EnterWorkingFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return "Cannot make the folder " + folder + ": " + std::strerror(errno);
    if (chdir(folder.c_str()) != 0)
        return "Cannot work in the folder " + folder + ": " + std::strerror(errno);
    return {};
}
