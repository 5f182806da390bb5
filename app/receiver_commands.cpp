#include "receiver_commands.h"

#include <QString>
#include <cstdio>

#include "nmea_checksum.h"
#include "notifier.h"
#include "trace_file.h"

namespace {

bool IsHexDigit(char c) {
    return HexDigitValue(c) >= 0;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

unsigned char Checksum(const std::string& command) {
    // The characters between the first ("$") and the last ("*").
    const std::size_t count = command.size() - 2;
    if (count >= 2)
        return CheckSum_WIN(static_cast<unsigned>(count), command.data() + 1);
    // CheckSum_WIN always combines two bytes; shorter spans are done here.
    return count == 1 ? static_cast<unsigned char>(command[1]) : 0;
}

// "NN." of a list item or the three spaces of a generated command.
bool HasListPrefix(std::string_view text) {
    if (text.size() < 3)
        return false;
    const bool numbered =
        text[0] >= '0' && text[0] <= '9' && text[1] >= '0' && text[1] <= '9' && text[2] == '.';
    return numbered || StartsWith(text, "   ");
}

} // namespace

BuiltCommand BuildCommand(std::string_view boxText, bool restartBeforeSend) {
    BuiltCommand built;
    // A list item or generated command loses its three-character prefix. A
    // sentence the user typed goes whole, made a sentence where the typing
    // left it short: a "$" in front, a "*" at its end.
    std::string typed;
    std::string_view command = boxText;
    if (StartsWith(boxText, "$") || !HasListPrefix(boxText)) {
        typed = StartsWith(boxText, "$") ? std::string(boxText) : "$" + std::string(boxText);
        const std::size_t n = typed.size();
        const bool checksummed =
            n >= 3 && typed[n - 3] == '*' && IsHexDigit(typed[n - 2]) && IsHexDigit(typed[n - 1]);
        if (!checksummed && typed.back() != '*')
            typed += '*';
        if (typed.size() <= 2) { // "$*" names nothing
            built.problem = BuiltCommand::TooShort;
            return built;
        }
        command = typed;
    } else {
        command = boxText.substr(3);
    }
    if (restartBeforeSend)
        command = kWarmRestartCommand;

    // Datum texts carry their checksum already; a second pair behind it would
    // make a sentence no receiver accepts, so the stored pair is recomputed.
    const std::size_t n = command.size();
    if (n >= 3 && command[n - 3] == '*' && IsHexDigit(command[n - 2]) && IsHexDigit(command[n - 1]))
        command.remove_suffix(2);

    if (command.size() < kMinCommandLength) {
        built.problem = BuiltCommand::TooShort;
        return built;
    }
    if (command.size() > kMaxCommandLength) {
        built.problem = BuiltCommand::TooLong;
        return built;
    }

    built.command = command;
    built.restartsFixSearch = StartsWith(command, "$PXEMSRT") || StartsWith(command, "$PXEMSLP");
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", Checksum(built.command));
    built.frame = built.command + digits + "\r\n";
    return built;
}

std::string CommandRefusalText(BuiltCommand::Problem problem) {
    switch (problem) {
    case BuiltCommand::TooShort:
        return "Command not sent: at least 2 characters must follow the first three.";
    case BuiltCommand::TooLong:
        return "Command not sent: at most 78 characters may follow the first three.";
    case BuiltCommand::None:
        break;
    }
    return {};
}

CommandSender::CommandSender(SenderLinks links, TraceFile& trace, int pauseMs)
    : links_(std::move(links)), trace_(trace) {
    pause_.setSingleShot(true);
    // A coarse timer may fire early; the receiver needs the whole pause.
    pause_.setTimerType(Qt::PreciseTimer);
    pause_.setInterval(pauseMs);
    connect(&pause_, &QTimer::timeout, this, &CommandSender::FinishTwoStepSend);
}

void CommandSender::Send(const std::string& boxText) {
    // A click that slipped in while SEND is disabled: the pause belongs to
    // the send in progress, a third transmission must not cut into it.
    if (pause_.isActive())
        return;
    const bool twoStep = restartBeforeSend_;
    if (!SendOnce(boxText, twoStep) || !twoStep)
        return;
    // The GUI keeps running during the pause: windows paint, timers tick.
    restartBeforeSend_ = false;
    rearmOnCancel_ = true;
    pendingText_ = boxText;
    emit SendEnabledChanged(false);
    pause_.start();
}

void CommandSender::CancelPendingSend() {
    if (!pause_.isActive())
        return;
    // Sent later, the place would reach a receiver that never got its warm
    // restart, or no receiver at all.
    pause_.stop();
    pendingText_.clear();
    if (rearmOnCancel_)
        restartBeforeSend_ = true;
    rearmOnCancel_ = false;
    trace_.Line("Two-step send cancelled\r\n");
    emit SendEnabledChanged(true);
}

void CommandSender::FinishTwoStepSend() {
    rearmOnCancel_ = false;
    emit SendEnabledChanged(true);
    SendOnce(pendingText_, false);
    pendingText_.clear();
}

bool CommandSender::SendOnce(const std::string& boxText, bool restartBeforeSend) {
    const BuiltCommand built = BuildCommand(boxText, restartBeforeSend);
    if (built.problem != BuiltCommand::None) {
        CurrentNotifier().ShowMessage(QString::fromLatin1(CommandRefusalText(built.problem)));
        return false;
    }
    if (built.restartsFixSearch)
        links_.fixSearchRestarted();
    const HANDLE port = links_.port();
    if (port == nullptr) {
        CurrentNotifier().ShowMessage(QStringLiteral("Select Com Port To Start"));
        return false;
    }
    trace_.Line("RsRequest_WIN, SendDataLen = %d\r\n", static_cast<int>(built.command.size()));
    // A failed write is only traced; the command is not repeated.
    const int status = links_.write(port, static_cast<DWORD>(built.frame.size()),
                                    reinterpret_cast<const unsigned char*>(built.frame.data()));
    trace_.Line("RsRequest_WIN, statusRet = 0x%X\r\n", static_cast<unsigned>(status));
    return true;
}
