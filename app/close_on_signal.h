// SIGTERM and SIGINT close the program the way closing its main window does.
#pragma once

class QWidget;

// From now on, SIGTERM or SIGINT closes `window` from the event loop (its
// close handler runs as for a click on the title bar's close button).
// Call once, after the window exists.
void CloseOnTerminationSignals(QWidget* window);
