// The about box and the help window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <memory>

#include "about_box.h"
#include "help_form.h"
#include "program_flags.h"
#include "receiver_command_table.h"
#include "views.h"
#include "window_probe.h"

namespace {

void ProcessDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

TEST(AboutBox, ShowsIconNameAndVersionInItsPanelAboveOk) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    box.resize(500, 400); // a fixed-size dialog refuses
    EXPECT_EQ(box.size(), QSize(298, 213));
    const QImage shown = Grab(&box);

    // Icon, name and version inside the panel: the icon left, the texts
    // right of it, the name above the version; OK below the panel, centred.
    const QRect panel = RectIn(box.Panel1, &box);
    const QRect icon = RectIn(box.ProgramIcon, &box);
    const QRect name = RectIn(box.ProductName, &box);
    const QRect version = RectIn(box.Version, &box);
    const QRect ok = RectIn(box.OKButton, &box);
    for (const QRect& inside : {icon, name, version})
        EXPECT_TRUE(panel.contains(inside));
    EXPECT_LT(icon.right(), name.left());
    EXPECT_LT(name.bottom(), version.top());
    EXPECT_GT(ok.top(), panel.bottom());
    EXPECT_NEAR(ok.center().x(), box.width() / 2, 2);
    EXPECT_TRUE(CrowdedOrCut({box.Panel1, box.OKButton}, &box).empty());
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));

    // The icon is drawn, scaled into its place, not left blank.
    const QRgb face = box.palette().color(QPalette::Window).rgb();
    EXPECT_GT(CountPixels(shown, icon, [face](QRgb c) { return c != face; }),
              icon.width() * icon.height() / 4);

    // The name in blue and the version in black, 13 px, both whole.
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("Skyvane"));
    EXPECT_EQ(box.Version->text(), QStringLiteral("Version 1.93"));
    auto blue = [](QRgb c) { return qBlue(c) > 180 && qRed(c) < 90 && qGreen(c) < 90; };
    EXPECT_GT(CountPixels(shown, name, blue), 10);
    EXPECT_EQ(CountPixels(shown, version, blue), 0);
    EXPECT_GT(CountPixels(shown, version, Dark), 10);
    for (const QLabel* label : {box.ProductName, box.Version}) {
        EXPECT_EQ(label->font().pixelSize(), 13);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    }
}

TEST(AboutBox, PanelHasLoweredOuterAndRaisedInnerBevel) {
    TAboutBox box;
    const QImage shown = box.grab().toImage();
    const QPalette& palette = box.Panel1->palette();
    // Outer ring dark at top-left and light at bottom-right; the inner ring the other way.
    EXPECT_EQ(shown.pixel(8 + 40, 8), palette.color(QPalette::Dark).rgb());
    EXPECT_EQ(shown.pixel(8 + 40, 9), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(shown.pixel(8, 8 + 80), palette.color(QPalette::Dark).rgb());
    EXPECT_EQ(shown.pixel(9, 8 + 80), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(shown.pixel(8 + 40, 8 + 160), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(shown.pixel(8 + 40, 8 + 159), palette.color(QPalette::Dark).rgb());
}

TEST(AboutBox, OkAndEnterCloseWithAccepted) {
    TAboutBox box;
    box.open();
    ASSERT_TRUE(box.isVisible());
    box.OKButton->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);

    TAboutBox second;
    second.open();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&second, &enter);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), QDialog::Accepted);
}

TEST(AboutBox, EachRequestShowsAFreshModalBoxCentredOnItsOwner) {
    QWidget owner;
    owner.setGeometry(200, 150, 600, 400);
    owner.show();
    std::vector<TAboutBox*> seen;
    std::vector<QPoint> offsets;
    for (int request = 0; request < 2; ++request) {
        // Answers the box once its modal loop runs, as a user would.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.push_back(box);
            offsets.push_back(box->geometry().center() - owner.geometry().center());
            box->OKButton->click();
        });
        ShowAboutBox(&owner);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(owner.findChildren<TAboutBox*>().isEmpty()); // none left behind
    for (const QPoint& offset : offsets)
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

namespace {

QStringList MemoLines(const THelpForm& form) {
    return form.Memo1->toPlainText().split(QLatin1Char('\n'));
}

// The column a line's "=>" starts in, with tab stops every eight characters.
int ArrowColumn(const QString& line) {
    const qsizetype arrow = line.indexOf(QStringLiteral("=>"));
    int column = 0;
    for (qsizetype i = 0; i < arrow; ++i)
        column = line[i] == QLatin1Char('\t') ? (column / 8 + 1) * 8 : column + 1;
    return column;
}

} // namespace

TEST(HelpForm, MemoSaysWhatEachCommandOfTheTableDoes) {
    THelpForm form(ReceiverCommandTable);
    const QStringList lines = MemoLines(form);
    ASSERT_EQ(lines.size(), kReceiverCommandCount);
    for (int i = 0; i < kReceiverCommandCount; ++i) {
        const CommandHelpText& command = ReceiverCommandTable[i];
        const QString item = QString::fromUtf8(command.item);
        const QString help = QString::fromUtf8(command.help);
        ASSERT_TRUE(lines[i].startsWith(item)) << i + 1 << ": " << lines[i].toStdString();
        ASSERT_TRUE(lines[i].endsWith(QStringLiteral("=> ") + help)) << lines[i].toStdString();
        // Only tabs between the item and the arrow.
        const QString gap =
            lines[i].mid(item.size(), lines[i].size() - item.size() - help.size() - 3);
        EXPECT_FALSE(gap.isEmpty()) << lines[i].toStdString();
        EXPECT_EQ(gap.count(QLatin1Char('\t')), gap.size()) << lines[i].toStdString();
    }
    // The exact bytes of a few lines, so that a change to the table shows.
    EXPECT_EQ(lines[0], QStringLiteral("01.$PXEMSNM,013F,01*\t=> 輸出全部NMEA 命令"));
    EXPECT_EQ(lines[9], QStringLiteral("10.$PXEMSRT,X*\t\t=> Shut down Library "));
    EXPECT_EQ(lines[17], QStringLiteral("18.$PXEMQTR,AQAS*\t=> Almabac Check"));
}

TEST(HelpForm, ArrowsShareOneColumnForAnyCommands) {
    // Items of 12 to 22 characters, either side of 16.
    const CommandHelpText mixed[] = {
        {"07.$PXEMSLP*", "twelve"},
        {"03.$PXEMSTR,12*", "fifteen"},
        {"04.$PXEMQTR,AQ1*", "sixteen"},
        {"06.$PXEMSNM,013F,01,2*", "twenty-two"},
    };
    for (const std::span<const CommandHelpText> rows :
         {std::span<const CommandHelpText>(ReceiverCommandTable),
          std::span<const CommandHelpText>(mixed)}) {
        THelpForm form(rows);
        const QStringList lines = MemoLines(form);
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(rows.size()));
        for (const QString& line : lines)
            EXPECT_EQ(ArrowColumn(line), 24) << line.toStdString();
    }
}

TEST(HelpForm, ReadOnlyListOnTopAtItsPlace) {
    THelpForm form(ReceiverCommandTable);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Help"));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.pos(), QPoint(-1, 430));
    form.resize(600, 600); // fixed size: the list is all there is
    EXPECT_EQ(form.size(), QSize(302, 284));
    EXPECT_TRUE(RectIn(form.Memo1, &form).contains(form.rect()));

    // Typing changes nothing.
    const QString text = form.Memo1->toPlainText();
    form.Memo1->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(form.Memo1->viewport(), &key);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(form.Memo1->viewport(), &del);
    EXPECT_EQ(form.Memo1->toPlainText(), text);
}

// The descriptions must come out as Chinese glyphs in one column, not as
// boxes from a font without them, and no line may wrap.
TEST(HelpForm, ChineseIsDrawnAndDescriptionsLineUp) {
    THelpForm form(ReceiverCommandTable);
    form.show();
    QCoreApplication::processEvents();
    qreal column = -1;
    for (QTextBlock block = form.Memo1->document()->begin(); block.isValid();
         block = block.next()) {
        const std::string text = block.text().toStdString();
        const QTextLayout* layout = block.layout();
        ASSERT_EQ(layout->lineCount(), 1) << text;
        const int arrow = static_cast<int>(block.text().indexOf(QStringLiteral("=> ")));
        ASSERT_GT(arrow, 0);
        const qreal x = layout->lineAt(0).cursorToX(arrow);
        if (column < 0)
            column = x;
        EXPECT_EQ(x, column) << text;
        for (const QGlyphRun& run : layout->glyphRuns())
            EXPECT_FALSE(run.glyphIndexes().contains(0))
                << "no glyph in " << run.rawFont().familyName().toStdString() << ": " << text;
    }
    // Every line ends inside the memo, so nothing needs scrolling sideways.
    EXPECT_LE(form.Memo1->document()->idealWidth(), form.Memo1->viewport()->width());
}

TEST(HelpForm, ClosingClearsFlagAndDestroysWindow) {
    HelpOpen = true;
    QPointer<QWidget> form = CreateHelpForm(ReceiverCommandTable);
    ASSERT_NE(qobject_cast<THelpForm*>(form.data()), nullptr);
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(HelpOpen);
    ProcessDeferredDeletes();
    EXPECT_TRUE(form.isNull());
}
