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
#include "views.h"

namespace {

void ProcessDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

TEST(AboutBox, LayoutTextsAndColours) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.minimumSize(), QSize(298, 213));
    EXPECT_EQ(box.maximumSize(), QSize(298, 213));
    EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 281, 161));

    EXPECT_EQ(box.ProgramIcon->parentWidget(), box.Panel1);
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(8, 8, 137, 57));
    EXPECT_TRUE(box.ProgramIcon->hasScaledContents());
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(449, 219));

    EXPECT_EQ(box.ProductName->text(), QStringLiteral("Skyvane"));
    EXPECT_EQ(box.ProductName->parentWidget(), box.Panel1);
    EXPECT_EQ(box.ProductName->pos(), QPoint(152, 16));
    EXPECT_EQ(box.ProductName->font().pixelSize(), 13);
    EXPECT_EQ(box.ProductName->palette().color(QPalette::WindowText), QColor(Qt::blue));

    EXPECT_EQ(box.Version->text(), QStringLiteral("Version 1.93"));
    EXPECT_EQ(box.Version->pos(), QPoint(152, 40));
    EXPECT_EQ(box.Version->font().pixelSize(), 13);
    EXPECT_EQ(box.Version->palette().color(QPalette::WindowText), QColor(Qt::black));
    // Whole texts visible, not cut by their label.
    EXPECT_GE(box.ProductName->width(),
              box.ProductName->fontMetrics().horizontalAdvance(box.ProductName->text()));
    EXPECT_GE(box.Version->width(),
              box.Version->fontMetrics().horizontalAdvance(box.Version->text()));

    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.OKButton->geometry(), QRect(111, 180, 75, 25));
    EXPECT_TRUE(box.OKButton->isDefault());
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

// The main window's command list, item for item.
const char* const kCommandItems[19] = {
    "01.$PXEMSNM,013F,01*", "02.$PXEMSNM,0119,01*", "03.$PXEMRDI,*",  "04.$PXEMSPS,0*",
    "05.$PXEMSPS,1*",       "06.$PXEMSRT,C*",       "07.$PXEMSRT,W*", "08.$PXEMSRT,H*",
    "09.$PXEMSRT,S*",       "10.$PXEMSRT,X*",       "11.$PXEMQVR,M*", "12.$PXEMQVR,A*",
    "13.$PXEMQVR,N*",       "14.$PXEMQVR,R*",       "15.$PXEMQVR,U*", "16.$PXEMSLP*",
    "17.$PXEMQVR*",         "18.$PXEMQTR,AQAS*",    "19.$PXEMQVR,V*"};

const char* const kDescriptions[19] = {"輸出全部NMEA 命令",
                                       "輸出預設NMEA 命令",
                                       "接收GPS 模組診斷說明",
                                       "設定每秒輸出Pulse關閉",
                                       "設定每秒輸出Pulse開啟",
                                       "Cold Reset",
                                       "Warm Reset",
                                       "Hot Reset",
                                       "Start Library",
                                       "Shut down Library ",
                                       "版本資訊-Module Firmware",
                                       "版本資訊-GPS API",
                                       "版本資訊-GPS Library",
                                       "版本資訊-Native RTOS",
                                       "版本資訊-Native Processor",
                                       "Sleep Mode",
                                       "Wake UP",
                                       "Almabac Check",
                                       "版本資訊-Firmware flash"};

} // namespace

TEST(HelpForm, MemoMatchesCommandListEntryForEntry) {
    THelpForm form;
    const QStringList lines = form.Memo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 19);
    for (int i = 0; i < 19; ++i) {
        const QString& line = lines[i];
        const QString command = QString::fromUtf8(kCommandItems[i]);
        ASSERT_TRUE(line.startsWith(command)) << i + 1 << ": " << line.toStdString();
        const QString rest = line.mid(command.size());
        const int tabs = (i == 0 || i == 1 || i == 17) ? 1 : 2;
        EXPECT_EQ(rest, QString(tabs, QLatin1Char('\t')) + QStringLiteral("=> ") +
                            QString::fromUtf8(kDescriptions[i]))
            << "line " << i + 1;
    }
    EXPECT_EQ(lines, HelpLines());
}

TEST(HelpForm, WindowLayout) {
    THelpForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Help"));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.pos(), QPoint(-1, 430));
    EXPECT_EQ(form.minimumSize(), QSize(302, 284));
    EXPECT_EQ(form.maximumSize(), QSize(302, 284));
    EXPECT_EQ(form.Memo1->geometry(), QRect(0, 0, 302, 289));
    EXPECT_TRUE(form.Memo1->isReadOnly());
}

// The descriptions must come out as Chinese glyphs in one column, not as
// boxes from a font without them, and no line may wrap.
TEST(HelpForm, ChineseIsDrawnAndDescriptionsLineUp) {
    THelpForm form;
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
    QPointer<QWidget> form = CreateHelpForm();
    ASSERT_NE(qobject_cast<THelpForm*>(form.data()), nullptr);
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(HelpOpen);
    ProcessDeferredDeletes();
    EXPECT_TRUE(form.isNull());
}
