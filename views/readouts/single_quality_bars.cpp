#include "single_quality_bars.h"

#include <algorithm>

#include "slot_text.h"

SignalBars BuildSignalBars(const ReceiverState& state, int boxWidth, int boxHeight) {
    SignalBars out;
    out.k = std::max(boxHeight, 0) / 50;
    out.penWidth = std::max(boxWidth - 20, 1);
    switch (SlotChar(state.Gsa.FixType)) {
    case '2':
        out.colour = kBarBlue;
        break;
    case '3':
        out.colour = kBarRed;
        break;
    default:
        out.colour = kBarBlack;
        break;
    }
    for (int i = 0; i < kSignalColumns; ++i) {
        SignalColumn& column = out.columns[i];
        const GsvPart& gsv = state.Gsv;
        column.prnText = SlotString(gsv.Prn[i]);
        column.snrText = SlotString(gsv.Snr[i]);
        // The levels come capped at 50 from the parser; the scale holds 0..50
        // whatever a copy of the record may carry.
        const int current = std::clamp<int>(gsv.SnrLevel[i].Current, 0, 50);
        const int previous = std::clamp<int>(gsv.SnrLevel[i].Previous, 0, 50);
        column.level = current;
        const int top = (50 - current) * out.k;
        column.bar = {10, top, boxWidth - 10, boxHeight};
        // A risen bar covers the old one; otherwise clear what stood above.
        column.wipe = previous >= current;
        column.wipeBox = {10, 0, boxWidth - 10, top};
    }
    return out;
}

PixelBox PenCoverage(const PixelBox& rect, int penWidth, int boxWidth, int boxHeight) {
    penWidth = std::max(penWidth, 1);
    const int before = penWidth / 2, after = penWidth - before;
    PixelBox covered{
        std::min(rect.left, rect.right) - before, std::min(rect.top, rect.bottom) - before,
        std::max(rect.left, rect.right) + after, std::max(rect.top, rect.bottom) + after};
    covered.left = std::clamp(covered.left, 0, std::max(boxWidth, 0));
    covered.right = std::clamp(covered.right, 0, std::max(boxWidth, 0));
    covered.top = std::clamp(covered.top, 0, std::max(boxHeight, 0));
    covered.bottom = std::clamp(covered.bottom, 0, std::max(boxHeight, 0));
    return covered;
}
