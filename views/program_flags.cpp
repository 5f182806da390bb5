#include "program_flags.h"

bool SingleQualityOpen = false;
bool NavigationOpen = false;
bool SentenceOpen = false;
bool HelpOpen = false;
bool RoadmapOpen = false;
bool SatelliteOpen = false;

bool FixAcquired = false;
