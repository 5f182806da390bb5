// Process-wide flags shared by the main window and the views. GUI thread only.
#pragma once

// One per view kind: set by the main window when it creates the window,
// cleared by the window when it closes. At most one window of each kind exists.
extern bool SingleQualityOpen;
extern bool NavigationOpen;
extern bool SentenceOpen;
extern bool HelpOpen;
extern bool RoadmapOpen;
extern bool SatelliteOpen;

// Set by the status timer while the receiver reports a valid fix; the
// sentence log enables SAVE from it.
extern bool FixAcquired;
