#include "gps_simulator.h"

#include "line_noise.h"

GpsSimulator::GpsSimulator(const SimConfig& config)
    : config_(config), model_(config.model), commands_(model_, settings_),
      noise_(config.model.seed ^ 0x6E6F697365ULL) {
    settings_.mask = config.mask;
}

bool GpsSimulator::silent() const {
    if (config_.silentAfter >= 0.0 && static_cast<double>(seconds_) >= config_.silentAfter)
        return true;
    return !config_.replay.empty() && !config_.replayLoop && replayNext_ >= config_.replay.size();
}

bool GpsSimulator::talking() const {
    return !silent() && !settings_.asleep && model_.running();
}

std::vector<std::string> GpsSimulator::receive(std::string_view bytes) {
    std::vector<ReceivedLine> lines;
    assembler_.feed(bytes, lines);
    std::vector<std::string> log;
    for (const ReceivedLine& line : lines) {
        if (silent()) {
            // Unplugged: nothing listens any more.
            log.push_back("ignored: silent " + QuotedLine(line.text));
            continue;
        }
        CommandOutcome outcome = commands_.handle(line);
        log.push_back(std::move(outcome.verdict));
        for (std::string& reply : outcome.replies)
            pendingReplies_.push_back(std::move(reply));
    }
    return log;
}

std::string GpsSimulator::sentencesFor(const UtcStamp& utc) {
    if (!config_.replay.empty()) {
        if (replayNext_ >= config_.replay.size()) {
            if (!config_.replayLoop)
                return {};
            replayNext_ = 0;
        }
        return config_.replay[replayNext_++];
    }
    const ReceiverFix fix = model_.current();
    std::string out;
    const std::vector<std::string> lines = config_.model.multiGnss
                                               ? BuildGnssBurstSentences(fix, utc, settings_.mask)
                                               : BuildBurstSentences(fix, utc, settings_.mask);
    for (const std::string& line : lines)
        out += line;
    return out;
}

std::string GpsSimulator::nextBurst(const UtcStamp& utc) {
    std::string burst;
    if (!silent()) {
        for (const std::string& reply : pendingReplies_)
            burst += reply;
        const bool due = settings_.rate <= 1 || seconds_ % settings_.rate == 0;
        std::string sentences = talking() && due ? sentencesFor(utc) : std::string();
        if (!sentences.empty()) {
            lastSentences_ = sentences;
            if (config_.garbage) {
                // Garble line by line, so that noise lands between sentences.
                std::vector<std::string> lines;
                for (std::size_t at = 0; at < sentences.size();) {
                    std::size_t end = sentences.find('\n', at);
                    end = end == std::string::npos ? sentences.size() : end + 1;
                    lines.push_back(sentences.substr(at, end - at));
                    at = end;
                }
                sentences = GarbleBurst(lines, noise_);
            }
            burst += sentences;
            burst += PaddingLines(burst.size(), config_.burstBytes);
        }
    }
    pendingReplies_.clear();
    model_.step();
    ++seconds_;
    return burst;
}
