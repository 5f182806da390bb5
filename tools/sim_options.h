// Command line of gps-sim.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gps_simulator.h"

struct SimOptions {
    SimConfig sim;
    bool seedGiven = false;
    std::string device;      // a tty to open instead of creating a pseudo-terminal
    std::string link;        // symbolic link to create, such as COM3 or dir/COM3
    int baud = 0;            // 0: leave the line speed as it is
    int periodMs = 1000;     // one burst per period, aligned to the UTC clock
    bool flood = false;      // write sentences as fast as the line takes them
    std::string replayPath;  // loaded into sim.replay by the caller
    std::string recordPath;  // every burst written to the line is appended here
    double unplugAfter = -1; // seconds plugged in before the pseudo-terminal goes; negative: never
    double replugAfter = -1; // seconds away before a new one appears; negative: never
    bool help = false;
};

// Parses argv[1..]; returns false with a message in error on a bad option.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

// Line speeds --baud accepts.
bool IsSupportedBaud(int baud);

// The line speed --gnss sets unless --baud is given: its bursts take about
// half a second there, at 9600 bit/s they would not fit into one.
constexpr int kGnssBaud = 38400;

// Milliseconds a UART at baud takes for bytes in 8N1; 0 for an unknown speed.
int LineMs(std::size_t bytes, int baud);

extern const char* const kSimUsage;
