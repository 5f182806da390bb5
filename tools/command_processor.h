// The module's command interface: checks each "$PXEM" command the program
// sends, applies it and words the module's reply sentences.
//
// Replies ("$PXEM..." with checksum and CR LF):
//   $PXEMACK,<cmd>,<detail>       command taken (SNM, SPS, SRT, SLP, SGS, STR, QVR wake)
//   $PXEMERR,<cmd>,<reason>       CHECKSUM, NOCHECKSUM, FORMAT, UNKNOWN or ARGUMENT
//   $PXEMVER,<M|A|N|R|U|V>,<text> version lines of QVR,x
//   $PXEMRDI,...                  the diagnostic report
//   $PXEMQTR,AQAS,<nn>,31,<state> almanac status: nn of 31 entries, COMPLETE or COLLECTING
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "burst_writer.h"
#include "line_assembler.h"
#include "receiver_model.h"

// What the commands change besides the receiver model.
struct ModuleSettings {
    uint16_t mask = kAllSentenceMask; // $PXEMSNM
    int rate = 1;                     // sentences every rate seconds
    bool asleep = false;              // $PXEMSLP until $PXEMQVR
    int datum = 0;                    // $PXEMSGS
    std::string datumParameters = "0,0,0";
    bool pulse = true; // $PXEMSPS
};

struct CommandOutcome {
    std::string verdict; // one line for the log: "ok: ...", "error: ...", "ignored: ..."
    std::vector<std::string> replies; // framed sentences for the next burst
};

class CommandProcessor {
  public:
    CommandProcessor(ReceiverModel& model, ModuleSettings& settings);

    CommandOutcome handle(const ReceivedLine& line);

  private:
    CommandOutcome dispatch(const std::vector<std::string>& fields, const std::string& storedNote);

    ReceiverModel& model_;
    ModuleSettings& settings_;
};

// A received line in quotes for the log, unprintable bytes as \xNN.
std::string QuotedLine(std::string_view text);

// The sentence names selected by a mask, such as "GGA GSA GSV RMC".
std::string MaskSentenceNames(uint16_t mask);
