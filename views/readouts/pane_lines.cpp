#include "pane_lines.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace {

// One edit of its own per line: the layout then redoes that line alone, where
// a shared edit block would redo every line between the first and last change.
void Replace(QTextDocument& document, int from, int to, const QString& text) {
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // Inside an edit block a selection does not lay the old text out first.
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    cursor.endEditBlock();
}

// Characters that end a block of the document: a line holding one would
// become two blocks and no longer match its block.
bool SplitsBlock(const QString& line) {
    for (const QChar c : line)
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == u'\uFDD0' ||
            c == u'\uFDD1')
            return true;
    return false;
}

} // namespace

void ShowPaneLines(QPlainTextEdit& pane, const QStringList& lines) {
    QTextDocument& document = *pane.document();
    // Each tick is an edit; an undo history would keep them all.
    if (document.isUndoRedoEnabled())
        document.setUndoRedoEnabled(false);
    if (lines.isEmpty()) {
        if (!document.isEmpty())
            document.clear();
        return;
    }
    if (std::any_of(lines.begin(), lines.end(), SplitsBlock)) {
        document.setPlainText(lines.join(QLatin1Char('\n')));
        return;
    }
    QScrollBar& bar = *pane.verticalScrollBar();
    const int top = bar.value();
    QTextBlock block = document.firstBlock();
    qsizetype i = 0;
    for (; i < lines.size() && block.isValid(); ++i, block = block.next()) {
        if (block.text() != lines[i])
            Replace(document, block.position(), block.position() + block.length() - 1, lines[i]);
    }
    if (i < lines.size()) {
        // More lines than before: the rest follow the last block.
        QString rest;
        for (; i < lines.size(); ++i)
            rest += QLatin1Char('\n') + lines[i];
        const int end = document.characterCount() - 1;
        Replace(document, end, end, rest);
    } else if (block.isValid()) {
        // Fewer lines: drop the old ones after the last line shown.
        Replace(document, block.position() - 1, document.characterCount() - 1, QString());
    }
    bar.setValue(top);
}
