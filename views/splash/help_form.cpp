#include "help_form.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "program_flags.h"
#include "views.h"

namespace {

// Tab stops every eight characters put every "=>" in column 24: commands of
// 16 characters or more reach it with one tab, shorter ones with two.
int TabsAfter(const char* item) {
    return std::strlen(item) >= 16 ? 1 : 2;
}

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
qreal TabDistance(const QFont& font, std::span<const CommandHelpText> commands) {
    const QFontMetricsF metrics(font);
    qreal tab = 8 * metrics.averageCharWidth();
    for (int widen = 0; widen < 64; ++widen, tab += 1) {
        qreal column = -1;
        bool aligned = true;
        for (const CommandHelpText& command : commands) {
            const qreal text = metrics.horizontalAdvance(QString::fromUtf8(command.item));
            // A tab goes to the next stop strictly beyond the text.
            const qreal at = (std::floor(text / tab) + TabsAfter(command.item)) * tab;
            if (column >= 0 && at != column)
                aligned = false;
            column = at;
        }
        if (aligned)
            return tab;
    }
    return 8 * metrics.averageCharWidth();
}

QStringList HelpLines(std::span<const CommandHelpText> commands) {
    QStringList lines;
    for (const CommandHelpText& command : commands)
        lines << QString::fromUtf8(command.item) +
                     QString(TabsAfter(command.item), QLatin1Char('\t')) + QStringLiteral("=> ") +
                     QString::fromUtf8(command.help);
    return lines;
}

} // namespace

THelpForm::THelpForm(std::span<const CommandHelpText> commands)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), Memo1(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(302, 284);
    move(-1, 430);

    Memo1->setGeometry(0, 0, 302, 289);
    Memo1->setFont(MemoFont());
    Memo1->setTabStopDistance(TabDistance(Memo1->font(), commands));
    Memo1->setPlainText(HelpLines(commands).join(QLatin1Char('\n')));
    Memo1->setReadOnly(true);
}

void THelpForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void THelpForm::FormClose() {
    HelpOpen = false;
}

QWidget* CreateHelpForm(std::span<const CommandHelpText> commands) {
    return new THelpForm(commands);
}
