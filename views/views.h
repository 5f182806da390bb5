// The windows the main window creates. Each factory returns a new top-level
// window owned by the application (no parent), not yet shown, that places
// itself at its own position, stays on top, deletes itself when closed and
// clears its open flag (program_flags.h) on close.
#pragma once

class QWidget;

QWidget* CreateSingleQualityForm(); // TSingleQualityForm, "Single Quality"
QWidget* CreateNavigationForm();    // TNavigationForm, "Navigation"
QWidget* CreateSentenceForm();      // TSentenceForm, "NMEA Sentence"
QWidget* CreateHelpForm();          // THelpForm, "Help"
QWidget* CreateRoadmapForm();       // TRoadmapForm, "Real-time Position Plot"
QWidget* CreateSatelliteForm();     // TSatelliteForm, "Satellite"

// The splash (TLogoForm): shown at start-up, removes itself at its first timer tick.
QWidget* CreateLogoForm();

// A fresh about box (TAboutBox), shown modally; returns when it is closed.
void ShowAboutBox(QWidget* owner);
