#include "help_form.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "program_flags.h"
#include "views.h"

namespace {

struct HelpEntry {
    const char* command; // as the command list shows it
    int tabs;
    const char* description; // UTF-8
};

constexpr HelpEntry kHelpEntries[] = {
    {"01.$PXEMSNM,013F,01*", 1, "輸出全部NMEA 命令"},
    {"02.$PXEMSNM,0119,01*", 1, "輸出預設NMEA 命令"},
    {"03.$PXEMRDI,*", 2, "接收GPS 模組診斷說明"},
    {"04.$PXEMSPS,0*", 2, "設定每秒輸出Pulse關閉"},
    {"05.$PXEMSPS,1*", 2, "設定每秒輸出Pulse開啟"},
    {"06.$PXEMSRT,C*", 2, "Cold Reset"},
    {"07.$PXEMSRT,W*", 2, "Warm Reset"},
    {"08.$PXEMSRT,H*", 2, "Hot Reset"},
    {"09.$PXEMSRT,S*", 2, "Start Library"},
    {"10.$PXEMSRT,X*", 2, "Shut down Library "},
    {"11.$PXEMQVR,M*", 2, "版本資訊-Module Firmware"},
    {"12.$PXEMQVR,A*", 2, "版本資訊-GPS API"},
    {"13.$PXEMQVR,N*", 2, "版本資訊-GPS Library"},
    {"14.$PXEMQVR,R*", 2, "版本資訊-Native RTOS"},
    {"15.$PXEMQVR,U*", 2, "版本資訊-Native Processor"},
    {"16.$PXEMSLP*", 2, "Sleep Mode"},
    {"17.$PXEMQVR*", 2, "Wake UP"},
    {"18.$PXEMQTR,AQAS*", 1, "Almabac Check"},
    {"19.$PXEMQVR,V*", 2, "版本資訊-Firmware flash"},
};

// A Ming face for all of it, as a Big5 system shows a memo; the others are
// fallbacks where it is not installed. At 11 px every line fits the width.
QFont MemoFont() {
    QFont font;
    font.setFamilies({QStringLiteral("AR PL UMing TW"), QStringLiteral("AR PL UMing HK"),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Serif CJK TC"),
                      QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(11);
    return font;
}

// Tab stops every eight average characters, as a plain edit control has
// them, widened where needed so every "=>" lands in one column.
qreal TabDistance(const QFont& font) {
    const QFontMetricsF metrics(font);
    qreal tab = 8 * metrics.averageCharWidth();
    for (int widen = 0; widen < 64; ++widen, tab += 1) {
        qreal column = -1;
        bool aligned = true;
        for (const HelpEntry& entry : kHelpEntries) {
            const qreal text = metrics.horizontalAdvance(QString::fromUtf8(entry.command));
            // A tab goes to the next stop strictly beyond the text.
            const qreal at = (std::floor(text / tab) + entry.tabs) * tab;
            if (column >= 0 && at != column)
                aligned = false;
            column = at;
        }
        if (aligned)
            return tab;
    }
    return 8 * metrics.averageCharWidth();
}

} // namespace

QStringList HelpLines() {
    QStringList lines;
    for (const HelpEntry& entry : kHelpEntries)
        lines << QString::fromUtf8(entry.command) + QString(entry.tabs, QLatin1Char('\t')) +
                     QStringLiteral("=> ") + QString::fromUtf8(entry.description);
    return lines;
}

THelpForm::THelpForm()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), Memo1(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(302, 284);
    move(-1, 430);

    Memo1->setGeometry(0, 0, 302, 289);
    Memo1->setFont(MemoFont());
    Memo1->setTabStopDistance(TabDistance(Memo1->font()));
    Memo1->setPlainText(HelpLines().join(QLatin1Char('\n')));
    Memo1->setReadOnly(true);
}

void THelpForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void THelpForm::FormClose() {
    HelpOpen = false;
}

QWidget* CreateHelpForm() {
    return new THelpForm;
}
