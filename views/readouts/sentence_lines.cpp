#include "sentence_lines.h"

#include <QStringEncoder>
#include <cstdio>

#include "big5_text.h"
#include "nmea_checksum.h"
#include "slot_text.h"

namespace {

void AppendField(std::string& out, char c) {
    if (c != '\0')
        out += c;
}

} // namespace

QString PaneText(std::string_view line) {
    QString text;
    std::size_t run = 0; // start of the bytes not yet decoded
    const auto flush = [&](std::size_t end) {
        if (end > run)
            text += FromBig5(line.substr(run, end - run));
    };
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        std::size_t width = 1;
        if (c >= 0x81 && c != 0xFF && i + 1 < line.size()) {
            const auto t = static_cast<unsigned char>(line[i + 1]);
            width = (t >= 0x40 && t <= 0x7E) || (t >= 0xA1 && t <= 0xFE) ? 2 : 0;
        } else if (c >= 0x80 || c == 0x7F || (c < 0x20 && c != '\t')) {
            width = 0;
        }
        if (width == 0) {
            flush(i);
            text += QChar(QChar::ReplacementCharacter);
            run = ++i;
        } else {
            i += width;
        }
    }
    flush(line.size());
    return text;
}

bool ValidNmeaSentence(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return HasGoodChecksum(line);
}

QString DamagedCaption(uint32_t damaged) {
    if (damaged == 0)
        return QStringLiteral("NMEA Sentence");
    return QStringLiteral("NMEA Sentence - %1 damaged").arg(damaged);
}

SentenceDisplay SelectSentenceLines(const ReceiverState& state) {
    SentenceDisplay display;
    bool wholeSentence = false;
    for (const auto& slot : state.SentenceLines) {
        const std::string_view line = SlotView(slot);
        if (line.empty())
            continue;
        display.shown.push_back(line);
        if (line.size() >= 2 && line[0] == '$' && line[1] == 'P')
            display.proprietary.push_back(line);
        wholeSentence = wholeSentence || ValidNmeaSentence(line);
    }
    // The slots are all we have of the batch. The parser fills them from the
    // batch's first '$' on, so a batch has bytes here when a slot holds a
    // line; garbage without any '$' leaves every slot empty and cannot be told
    // from a silent receiver, which gets no help.
    display.baudRateHelp = !display.shown.empty() && !wholeSentence;
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
    // Always twelve lines: the record's shape is what readers of the file expect.
    for (int i = 0; i < kClassicLineCount; ++i) {
        out.append(SlotView(state.SentenceLines[i]));
        out += "\r\n";
    }
    return out;
}
