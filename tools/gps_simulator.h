// The simulated receiver module without its port: commands in, bursts out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "burst_writer.h"
#include "command_processor.h"
#include "line_assembler.h"
#include "receiver_model.h"
#include "sim_random.h"

struct SimConfig {
    ModelConfig model;
    uint16_t mask = kAllSentenceMask; // sentences at power-on
    bool garbage = false;
    std::size_t burstBytes = 0;      // pad each burst to at least this many bytes
    double silentAfter = -1.0;       // receiver seconds; negative: never
    std::vector<std::string> replay; // recorded bursts instead of the model's
    bool replayLoop = true;          // start over at the end, or fall silent
};

class GpsSimulator {
  public:
    explicit GpsSimulator(const SimConfig& config);

    // Bytes the program wrote; returns one log line per complete command.
    std::vector<std::string> receive(std::string_view bytes);

    // The burst of one receiver second stamped utc: the replies to the
    // commands received since the last burst, then the sentences. Empty while
    // asleep or silent. Moves the receiver on by one second.
    std::string nextBurst(const UtcStamp& utc);

    // The sentences of the last burst, for writing again and again in flood mode.
    const std::string& lastSentences() const { return lastSentences_; }

    // True once --silent-after has passed or a one-shot replay has ended.
    bool silent() const;
    // Sending sentences: not silent, not asleep, navigation running.
    bool talking() const;

    const ModuleSettings& settings() const { return settings_; }
    const ReceiverModel& model() const { return model_; }

  private:
    std::string sentencesFor(const UtcStamp& utc);

    SimConfig config_;
    ReceiverModel model_;
    ModuleSettings settings_;
    CommandProcessor commands_;
    LineAssembler assembler_;
    SimRandom noise_;
    std::vector<std::string> pendingReplies_;
    std::string lastSentences_;
    long seconds_ = 0;
    std::size_t replayNext_ = 0;
};
