// What the signal quality window shows for one copy of the receiver state:
// for satellite slots 0 to 7, the PRN and SNR texts and a bar on a scale of
// 0 to 50, coloured by the fix type. No widgets here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "readout_pixels.h"
#include "receiver_state.h"

inline constexpr int kSignalColumns = 8;

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kBarBlack = 0x000000;
inline constexpr uint32_t kBarBlue = 0xFF0000;
inline constexpr uint32_t kBarRed = 0x0000FF;

struct SignalColumn {
    std::string prnText; // the PRN label under the bar
    std::string snrText; // the SNR box above it
    int level = 0;       // the signal level 0..50 the bar stands for
    // The bar: (10, level)-(width - 10, height), drawn with the wide pen.
    PixelBox bar;
    // When the level did not rise, the box above the level is wiped with
    // button face: (10, 0)-(width - 10, level).
    bool wipe = false;
    PixelBox wipeBox;
};

struct SignalBars {
    int k = 0;        // pixels per unit: box height / 50
    int penWidth = 1; // box width - 20
    uint32_t colour = kBarBlack;
    std::array<SignalColumn, kSignalColumns> columns;
};

SignalBars BuildSignalBars(const ReceiverState& state, int boxWidth, int boxHeight);

// The pixels that the outline of `rect` covers when drawn with a pen of
// penWidth centred on its edges, clipped to a box of the given size. The bars
// are narrower than the pen, so the outline is the whole bar.
PixelBox PenCoverage(const PixelBox& rect, int penWidth, int boxWidth, int boxHeight);
