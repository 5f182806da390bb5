// Helpers shared by the tests: captured NMEA logs and temporary working directories.
#pragma once

#include <string>
#include <vector>

// Paths of the captured receiver logs (*.log) in the corpus folder, sorted.
std::vector<std::string> CorpusLogPaths();

// A log as a receiver would send it: '#' comment lines dropped and every line
// ending in CR LF (bare LF line ends become CR LF).
std::string LoadReceiverLog(const std::string& path);

// Cuts a receiver's stream into its once-a-second bursts: a burst ends where
// a GGA, RMC or ZDA sentence (any talker) carries another time of day than
// the burst's first one.
std::vector<std::string> CutIntoBursts(const std::string& stream);

// Cuts a byte stream into batches of at most maxBytes, as the receive thread would.
std::vector<std::string> CutIntoBatches(const std::string& stream, std::size_t maxBytes);

// What a UART set to readBaud receives from a line driven at sentBaud (8N1,
// least significant bit first, start bits found at 16 times readBaud): the
// bytes a wrong baud-rate setting gives.
std::string ReadAtBaudRate(const std::string& sent, int sentBaud, int readBaud);

// Creates a fresh directory under the system temp folder and makes it the
// working directory; restores the old one and removes the folder on destruction.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// Whole file as bytes ("" when it cannot be read) and whether it exists.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Descriptors this process holds, pipes aside: the sanitizer runtimes open a
// pipe for a moment whenever a thread starts or ends, and the code under test
// makes none.
int OpenDescriptorCount();
