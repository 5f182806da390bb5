// Desktop event sounds from the freedesktop sound theme, through libcanberra
// (PulseAudio or ALSA): QApplication::beep() is silent on most Linux desktops.
// GUI thread only.
#pragma once

// Starts the theme's sound for eventId ("complete", "dialog-warning") and
// returns without waiting for it to end. False when no sound service or
// device took it; the caller then falls back to the plain beep. After a
// failure the sound service is left alone for a while, so that a PC without
// sound does not pay for asking on every tick.
bool PlayEventSound(const char* eventId, const char* description);
