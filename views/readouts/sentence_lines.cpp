#include "sentence_lines.h"

#include <QStringEncoder>
#include <cstdio>

#include "slot_text.h"

namespace {

void AppendField(std::string& out, char c) {
    if (c != '\0')
        out += c;
}

} // namespace

bool DisplayableLine(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            continue;
        if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xFF)
            return false;
        if (c < 0x80)
            continue;
        // A Big5 lead byte needs its trail byte.
        if (i + 1 >= line.size())
            return false;
        const auto t = static_cast<unsigned char>(line[++i]);
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE)))
            return false;
    }
    return true;
}

SentenceDisplay SelectSentenceLines(const ReceiverState& state) {
    SentenceDisplay display;
    for (const auto& slot : state.SentenceLines) {
        const std::string_view line = SlotView(slot);
        if (line.empty())
            continue;
        if (!DisplayableLine(line)) {
            display.displayError = true;
            break;
        }
        display.shown.push_back(line);
        if (line.size() >= 2 && line[0] == '$' && line[1] == 'P')
            display.proprietary.push_back(line);
    }
    return display;
}

std::string SpeedLimitText(const QString& comboText) {
    QStringEncoder big5("Big5");
    std::string out;
    for (qsizetype i = 0; i < comboText.size();) {
        const qsizetype width = comboText[i].isHighSurrogate() && i + 1 < comboText.size() ? 2 : 1;
        const QString character = comboText.mid(i, width);
        const QByteArray bytes =
            big5.isValid() ? QByteArray(big5.encode(character)) : character.toLatin1();
        if (out.size() + static_cast<std::size_t>(bytes.size()) > kSpeedLimitBytes)
            break;
        out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        i += width;
    }
    return out;
}

std::string BuildInformationRecord(int number, std::string_view speedLimit,
                                   const ReceiverState& state) {
    char head[32];
    std::snprintf(head, sizeof head, "***** %04d *****\r\n", number);
    std::string out = head;
    out.append(speedLimit);
    out += ',';
    AppendField(out, SlotChar(state.Gga.NorthSouth));
    out += ',';
    out.append(SlotView(state.Gga.Latitude));
    out += ',';
    AppendField(out, SlotChar(state.Gga.EastWest));
    out += ',';
    out.append(SlotView(state.Gga.Longitude));
    out += ',';
    out.append(SlotView(state.Rmc.Course));
    out += ',';
    AppendField(out, SlotChar(state.Rmc.Status));
    out += "\r\n";
    for (const auto& line : state.SentenceLines) {
        out.append(SlotView(line));
        out += "\r\n";
    }
    return out;
}
