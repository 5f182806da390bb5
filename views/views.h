// The windows the main window creates. Each factory returns a new top-level
// window owned by the application (no parent), not yet shown, that places
// itself at its own position, stays on top, deletes itself when closed and
// clears its open flag (program_flags.h) on close.
#pragma once

#include <span>

class QWidget;

// A receiver command as the main window's command box lists it, and what the
// help window says it does.
struct CommandHelpText {
    const char* item; // "01.$PXEMSNM,013F,01*": a number, then the sentence
    const char* help; // UTF-8
};

QWidget* CreateSingleQualityForm(); // TSingleQualityForm, "Single Quality"
QWidget* CreateNavigationForm();    // TNavigationForm, "Navigation"
QWidget* CreateSentenceForm();      // TSentenceForm, "NMEA Sentence"
// THelpForm, "Help": one line per command, in the order given.
QWidget* CreateHelpForm(std::span<const CommandHelpText> commands);
QWidget* CreateRoadmapForm();   // TRoadmapForm, "Real-time Position Plot"
QWidget* CreateSatelliteForm(); // TSatelliteForm, "Satellite"

// The splash (TLogoForm): shown at start-up, removes itself at its first timer tick.
QWidget* CreateLogoForm();

// A fresh about box (TAboutBox), shown modally; returns when it is closed.
void ShowAboutBox(QWidget* owner);
