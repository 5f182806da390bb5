#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "pane_lines.h"

namespace {

QStringList Numbered(int count, const QString& stamp) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("$GPGSV,%1,line %2").arg(stamp).arg(i);
    return lines;
}

class PaneLinesTest : public ::testing::Test {
protected:
    PaneLinesTest() {
        pane.setReadOnly(true);
        pane.setGeometry(0, 0, 441, 172);
        pane.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        pane.show();
    }
    void Show(const QStringList& lines) {
        ShowPaneLines(pane, lines);
        QCoreApplication::processEvents(); // paints, laying out what is visible
        // What the user sees: the text as a whole, one block per line.
        ASSERT_EQ(pane.toPlainText(), lines.join(QLatin1Char('\n')));
        ASSERT_EQ(pane.document()->blockCount(), std::max<qsizetype>(1, lines.size()));
    }
    QPlainTextEdit pane;
};

TEST_F(PaneLinesTest, TextFollowsEveryChangeOfLinesAndCount) {
    Show({"a", "b", "c"});
    Show({"a", "B", "c"});
    Show({"a", "B", "c", "d", "", "f"}); // grows, with an empty line inside
    Show({"", "B"});                     // shrinks, first line emptied
    Show({});
    Show({"x"});
    Show({"x", "y"});
    // A line holding a block separator still shows as the text says.
    ShowPaneLines(pane, {"p\nq", "r"});
    EXPECT_EQ(pane.toPlainText(), "p\nq\nr");
    Show({"s", "t"});
    // A tick is not an edit the user could undo.
    EXPECT_FALSE(pane.document()->isUndoAvailable());
}

TEST_F(PaneLinesTest, ViewStaysWhereTheUserScrolled) {
    Show(Numbered(46, "1"));
    QScrollBar* bar = pane.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 20);
    bar->setValue(20);
    Show(Numbered(46, "2"));
    EXPECT_EQ(bar->value(), 20);
    Show(Numbered(50, "3"));
    EXPECT_EQ(bar->value(), 20);
    // Too few lines for that place: as far down as they go.
    Show(Numbered(12, "4"));
    EXPECT_EQ(bar->value(), bar->maximum());
}

} // namespace
