#include "about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "logo_art.h"
#include "views.h"

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, QColor colour, int x, int y) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(13);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// Drawn once; kept as an image because a pixmap must not outlive the application.
QPixmap ProgramIconPicture() {
    static const QImage picture = MakeProgramIconArt();
    return QPixmap::fromImage(picture);
}

} // namespace

TAboutBox::TAboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), Panel1(new QFrame(this)),
      ProgramIcon(new QLabel(Panel1)),
      ProductName(MakeLabel(Panel1, QStringLiteral("Skyvane"), Qt::blue, 152, 16)),
      Version(MakeLabel(Panel1, QStringLiteral("Version 1.93"), Qt::black, 152, 40)),
      OKButton(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(298, 213);

    // Lowered outer bevel with a raised inner one: Qt draws that as a sunken box.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon->setPixmap(ProgramIconPicture());
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setGeometry(8, 8, 137, 57);

    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::OKButtonClick() {
    accept();
}

void ShowAboutBox(QWidget* owner) {
    TAboutBox box(owner);
    box.exec();
}
