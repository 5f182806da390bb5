// A read-only text pane that shows a new set of lines every tick.
#pragma once

#include <QStringList>

class QPlainTextEdit;

// Makes the pane's text the lines (joined by line breaks), editing only the
// lines that differ from what it shows. Unchanged lines keep their layout, so
// a tick lays out only what changed, and the view stays where the user
// scrolled it. The pane's undo history is switched off.
void ShowPaneLines(QPlainTextEdit& pane, const QStringList& lines);
