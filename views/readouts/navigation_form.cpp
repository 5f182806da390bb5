#include "navigation_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "big5_text.h"
#include "program_flags.h"
#include "readout_style.h"
#include "trace_file.h"
#include "views.h"

namespace {

TraceFile& NavigationTrace() {
    static TraceFile trace("NavigationLog.txt");
    return trace;
}

// The Tag of a menu item lives in its data.
int Tag(const QAction* item) {
    return item->data().toInt();
}

} // namespace

TNavigationForm::TNavigationForm()
    : lifecycle_(this, NavigationOpen, NavigationTrace(), "ShowTimer",
                 {"Start Navigation Timer", "Finish Navigation Timer"},
                 [this] { ShowTimerTimer(); }) {
    setObjectName(QStringLiteral("NavigationForm"));
    setWindowTitle(QStringLiteral("Navigation"));
    // Fixed single border: system menu and minimize only, never resized.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    move(310, 124);
    setFixedSize(261, 245);

    GGAMemo = new QPlainTextEdit(this);
    GGAMemo->setObjectName(QStringLiteral("GGAMemo"));
    GGAMemo->setGeometry(0, 0, 261, 249);
    GGAMemo->setFont(SansFont(21));
    GGAMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Rewritten every second: an undo history would only grow.
    GGAMemo->setUndoRedoEnabled(false);
    QPalette palette = GGAMemo->palette();
    palette.setColor(QPalette::Text, FromColourRef(kNavigationBlack));
    GGAMemo->setPalette(palette);
    // Shown until the first tick a second later.
    GGAMemo->setPlainText(QStringLiteral("Today : //\nUTC Time : 00:00:00\nLatitude : \n"
                                         "Longitude : \nAlt : \nSpeed : \nSpeed : \n"
                                         "GPS FIX no data"));

    NavigationPopupMenu = new QMenu(this);
    NavigationPopupMenu->setObjectName(QStringLiteral("NavigationPopupMenu"));
    degonlyPopMenu = NavigationPopupMenu->addAction(QStringLiteral("deg only"));
    degonlyPopMenu->setObjectName(QStringLiteral("degonlyPopMenu"));
    degandminPopMenu = NavigationPopupMenu->addAction(QStringLiteral("deg and min "));
    degandminPopMenu->setObjectName(QStringLiteral("degandminPopMenu"));
    degminsecPopMenu = NavigationPopupMenu->addAction(QStringLiteral("deg min sec"));
    degminsecPopMenu->setObjectName(QStringLiteral("degminsecPopMenu"));
    degonlyPopMenu->setData(0);
    degandminPopMenu->setData(0);
    degminsecPopMenu->setData(1);
    connect(degonlyPopMenu, &QAction::triggered, this, [this] { degonlyPopMenuClick(); });
    connect(degandminPopMenu, &QAction::triggered, this, [this] { degandminPopMenuClick(); });
    connect(degminsecPopMenu, &QAction::triggered, this, [this] { degminsecPopMenuClick(); });
    GGAMemo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GGAMemo, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        NavigationPopupMenu->popup(GGAMemo->viewport()->mapToGlobal(at));
    });

    lifecycle_.Start();
}

TNavigationForm::~TNavigationForm() {
    FormClose();
}

CoordinateMode TNavigationForm::coordinateMode() const {
    return CoordinateModeFromTags(Tag(degonlyPopMenu), Tag(degandminPopMenu),
                                  Tag(degminsecPopMenu));
}

void TNavigationForm::ShowTimerTimer() {
    lifecycle_.RunTick([this] {
        ShowLines();
        return true;
    });
}

void TNavigationForm::ShowLines() {
    const ReceiverState state = TakeReceiverSnapshot();
    const NavigationLines shown = BuildNavigationLines(state, coordinateMode());

    // The colour belongs to the whole text box.
    if (shown.colour != shownColour_) {
        QPalette palette = GGAMemo->palette();
        palette.setColor(QPalette::Text, FromColourRef(shown.colour));
        GGAMemo->setPalette(palette);
        shownColour_ = shown.colour;
    }
    // All nine lines in one batch, so the box never shows half a rewrite.
    QString text;
    for (std::size_t i = 0; i < shown.lines.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += FromBig5(shown.lines[i]);
    }
    // Replacing the text through a cursor keeps the scroll bar's range, so
    // only the text area repaints; identical text (no receiver, nothing
    // typed) is left alone.
    if (GGAMemo->toPlainText() != text) {
        QTextCursor cursor(GGAMemo->document());
        cursor.select(QTextCursor::Document);
        cursor.insertText(text);
    }
}

void TNavigationForm::SelectItem(QAction* item) {
    for (QAction* each : {degonlyPopMenu, degandminPopMenu, degminsecPopMenu})
        each->setData(each == item ? 1 : 0);
}

void TNavigationForm::degonlyPopMenuClick() {
    SelectItem(degonlyPopMenu);
}
void TNavigationForm::degandminPopMenuClick() {
    SelectItem(degandminPopMenu);
}
void TNavigationForm::degminsecPopMenuClick() {
    SelectItem(degminsecPopMenu);
}

void TNavigationForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TNavigationForm::FormClose() {
    lifecycle_.Close();
}

QWidget* CreateNavigationForm() {
    return new TNavigationForm;
}
