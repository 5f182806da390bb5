#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

std::vector<std::string> CorpusLogPaths() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLMAR_CORPUS_DIR)) {
        if (entry.path().extension() == ".log")
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string LoadReceiverLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string out, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '#')
            continue;
        out += line;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> CutIntoBatches(const std::string& stream, std::size_t maxBytes) {
    std::vector<std::string> batches;
    for (std::size_t at = 0; at < stream.size(); at += maxBytes)
        batches.push_back(stream.substr(at, maxBytes));
    return batches;
}

TempWorkDir::TempWorkDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillmar-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
        --count; // the directory's own descriptor
    }
    return count;
}
