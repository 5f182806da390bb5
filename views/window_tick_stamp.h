// The stopwatch shared by the window ticks: the main window's status tick
// takes the stamp at its start and the views read it, so all GUI traces share
// one timeline per second. GUI thread only.
#pragma once

double WindowTimerStamp(); // seconds since the last start (mode 0)
double WindowTimerStart(); // takes the stamp (mode 1), returns 0
