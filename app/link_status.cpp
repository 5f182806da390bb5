#include "link_status.h"

#include <cmath>

#include "line_settings.h"
#include "portavel.h"
#include "status_code_name.h"

namespace {

const char* StateWords(LinkState state) {
    switch (state) {
    case LinkState::Receiving:
        return "receiving";
    case LinkState::NoData:
        return "no data";
    case LinkState::ReceiverLost:
        return "receiver lost";
    case LinkState::Stopped:
        return "stopped";
    case LinkState::StartFailed:
        return "start failed";
    }
    return "";
}

} // namespace

std::string LinkStatusText(const LinkFacts& facts) {
    std::string text = facts.port.empty() ? "no port" : facts.port;
    if (!facts.port.empty() && !facts.device.empty())
        text += " -> " + facts.device;
    if (!facts.settings.empty())
        text += " | " + facts.settings;
    text += " | ";
    text += StateWords(facts.state);
    switch (facts.state) {
    case LinkState::Receiving:
        if (!facts.lastBatch.empty())
            text += ", last batch " + facts.lastBatch;
        break;
    case LinkState::NoData:
        text += " for " + std::to_string(facts.secondsWithoutData) + " s";
        break;
    case LinkState::StartFailed:
        if (!facts.failure.empty())
            text += ": " + facts.failure;
        break;
    case LinkState::ReceiverLost:
    case LinkState::Stopped:
        break;
    }
    return text;
}

std::string LineSettingsText(const LineCodes& codes) {
    // The values the serial library gives the line for these codes.
    const DWORD speed = portavel::BaudRateForIndex(static_cast<unsigned>(codes.baudRate));
    const int dataBits = portavel::ByteSizeForIndex(codes.dataBits);
    const unsigned parity = portavel::ParityForIndex(static_cast<unsigned>(codes.parity));
    const int stopBits = portavel::StopBitsForIndex(codes.stopBits);
    static const char kParity[] = "NOEMS";
    std::string text = std::to_string(speed) + " bit/s " + std::to_string(dataBits);
    text += parity < 5 ? kParity[parity] : '?';
    text += stopBits == portavel::ONE5STOPBITS  ? "1.5"
            : stopBits == portavel::TWOSTOPBITS ? "2"
                                                : "1";
    return text;
}

std::string StartFailureText(int status) {
    char name[32];
    StatusCodeName(status, name);
    const char* words = "";
    switch (status) {
    case QVX_COMPORT_NUMBER_ERR:
        words = "no port of the list is selected";
        break;
    case QVX_COMPORT_INIT_ERR:
        words = "the device could not be opened";
        break;
    case QVX_COMPORT_GET_COM_STATE_ERR:
        words = "the device's line settings could not be read (is it a serial port?)";
        break;
    case QVX_COMPORT_SET_COM_STATE_ERR:
        words = "the device refused the line settings";
        break;
    case QVX_COMPORT_GET_COM_TIMEOUT_ERR:
    case QVX_COMPORT_SET_COM_TIMEOUT_ERR:
        words = "the device refused the read and write time-outs";
        break;
    default:
        return name;
    }
    return std::string(name) + ", " + words;
}

void DataWatch::Started(double now) {
    since_ = now;
    hadData_ = false;
    lastBatch_.clear();
}

void DataWatch::DataArrived(double now, std::string localTime) {
    since_ = now;
    hadData_ = true;
    lastBatch_ = std::move(localTime);
}

void DataWatch::Describe(double now, LinkFacts& facts) const {
    const double quiet = now > since_ ? now - since_ : 0.0;
    if (hadData_ && quiet < kNoDataAfterSeconds) {
        facts.state = LinkState::Receiving;
        facts.lastBatch = lastBatch_;
        return;
    }
    facts.state = LinkState::NoData;
    facts.secondsWithoutData = static_cast<int>(std::floor(quiet));
}
