#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

namespace {

// The time field of a "$..GGA", "$..RMC" or "$..ZDA" line, or "".
std::string TimeOf(const std::string& line) {
    if (line.size() < 8 || line[0] != '$')
        return {};
    const std::string type = line.substr(3, 3);
    if (type != "GGA" && type != "RMC" && type != "ZDA")
        return {};
    const std::size_t end = line.find_first_of(",*", 7);
    return line.substr(7, end == std::string::npos ? std::string::npos : end - 7);
}

} // namespace

std::vector<std::string> CutIntoBursts(const std::string& stream) {
    std::vector<std::string> bursts;
    std::string current, time;
    std::size_t at = 0;
    while (at < stream.size()) {
        std::size_t end = stream.find("\r\n", at);
        end = end == std::string::npos ? stream.size() : end + 2;
        const std::string line = stream.substr(at, end - at);
        const std::string t = TimeOf(line);
        if (!t.empty() && !time.empty() && t != time) {
            bursts.push_back(current);
            current.clear();
            time.clear();
        }
        if (!t.empty() && time.empty())
            time = t;
        current += line;
        at = end;
    }
    if (!current.empty())
        bursts.push_back(current);
    return bursts;
}

std::vector<std::string> CutIntoBatches(const std::string& stream, std::size_t maxBytes) {
    std::vector<std::string> batches;
    for (std::size_t at = 0; at < stream.size(); at += maxBytes)
        batches.push_back(stream.substr(at, maxBytes));
    return batches;
}

std::string ReadAtBaudRate(const std::string& sent, int sentBaud, int readBaud) {
    // Time in units of 1 / (sentBaud * readBaud) s: a sent bit lasts readBaud
    // units, a received one sentBaud.
    std::vector<bool> bits;
    for (unsigned char c : sent) {
        bits.push_back(false);
        for (int i = 0; i < 8; ++i)
            bits.push_back(((c >> i) & 1) != 0);
        bits.push_back(true);
    }
    const long long sentBit = readBaud, readBit = sentBaud;
    const long long end = static_cast<long long>(bits.size()) * sentBit;
    const auto level = [&](long long t) {
        const auto i = static_cast<std::size_t>(t / sentBit);
        return i >= bits.size() || bits[i]; // idle high after the last stop bit
    };
    const long long sample = std::max(1LL, readBit / 16);
    std::string out;
    bool previous = true;
    for (long long t = 0; t < end; t += sample) {
        const bool now = level(t);
        const bool falling = previous && !now;
        previous = now;
        const long long middle = t + readBit / 2;
        if (!falling || level(middle))
            continue; // no start bit here
        unsigned char c = 0;
        for (int i = 0; i < 8; ++i)
            c |= static_cast<unsigned char>(level(middle + (i + 1) * readBit) ? 1 << i : 0);
        out += static_cast<char>(c);
        // A byte whose stop bit reads low is still delivered; the next start
        // bit needs the line high again.
        t = middle + 9 * readBit;
        previous = level(t);
    }
    return out;
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
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || atoi(entry->d_name) == dirfd(dir))
                continue;
            char target[64];
            const ssize_t n = readlinkat(dirfd(dir), entry->d_name, target, sizeof target - 1);
            if (n < 0)
                continue; // closed meanwhile
            target[n] = '\0';
            count += std::strncmp(target, "pipe:", 5) != 0;
        }
        closedir(dir);
    }
    return count;
}
