#include "single_quality_form.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "program_flags.h"
#include "readout_style.h"
#include "trace_file.h"
#include "views.h"

namespace {

TraceFile& SingleTrace() {
    static TraceFile trace("SingleLog.txt");
    return trace;
}

constexpr int kColumnLeft = 48;
constexpr int kColumnPitch = 32;
constexpr int kBoxWidth = 25;
constexpr int kBoxHeight = 200;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(at);
    return label;
}

QRect ToRect(const PixelBox& box) {
    return QRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
}

// The bar scale beside the first bar: marks 50 to 00 every 40 pixels and a
// band per step of 10 (red, blue, green, yellow, black from the top).
QImage DrawBarScale(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(ButtonFace());
    QPainter painter(&image);
    // Bands on the right, 4 pixels per unit like the bars.
    const int unit = height / 50;
    const int bandLeft = width - 12;
    const uint32_t bands[] = {0x0000FF, 0xFF0000, 0x008000, 0x00FFFF, 0x000000};
    for (int i = 0; i < 5; ++i)
        painter.fillRect(bandLeft, i * 10 * unit, width - bandLeft, 10 * unit,
                         FromColourRef(bands[i]));
    // A tick and a number at every step of 10, numbers kept inside the picture.
    QFont font = SansFont(10);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    painter.setPen(Qt::black);
    const char* marks[] = {"50", "40", "30", "20", "10", "00"};
    for (int i = 0; i < 6; ++i) {
        const int y = std::min(i * 10 * unit, height - 1);
        painter.drawLine(bandLeft - 4, y, bandLeft - 1, y);
        const int top = std::clamp(y - metrics.height() / 2, 0, height - metrics.height());
        painter.drawText(QRect(0, top, bandLeft - 5, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(marks[i]));
    }
    return image;
}

} // namespace

SignalPaintBox::SignalPaintBox(QWidget* parent, int width, int height)
    : QWidget(parent), pixels_(width, height, QImage::Format_RGB32) {
    pixels_.fill(ButtonFace());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SignalPaintBox::DrawBar(const SignalColumn& column, const QColor& colour, int penWidth) {
    const int w = pixels_.width(), h = pixels_.height();
    QPainter painter(&pixels_);
    const PixelBox bar = PenCoverage(column.bar, penWidth, w, h);
    if (!bar.empty())
        painter.fillRect(ToRect(bar), colour);
    if (column.wipe) {
        const PixelBox wipe = PenCoverage(column.wipeBox, penWidth, w, h);
        if (!wipe.empty())
            painter.fillRect(ToRect(wipe), ButtonFace());
    }
    painter.end();
    update();
}

void SignalPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, pixels_);
}

TSingleQualityForm::TSingleQualityForm()
    : lifecycle_(this, SingleQualityOpen, SingleTrace(), "SingleTimer",
                 {"Start Single Timer", "Finish Single Timer"}, [this] { SingleTimerTimer(); }) {
    setObjectName(QStringLiteral("SingleQualityForm"));
    setWindowTitle(QStringLiteral("Single Quality"));
    // Fixed single border: system menu and minimize only, never resized.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    move(1, 124);
    setFixedSize(300, 279);
    setFont(SansFont(16));

    for (int i = 0; i < kSignalColumns; ++i) {
        const int left = kColumnLeft + kColumnPitch * i;
        const QString n = QString::number(i + 1);
        StaticText[i] = MakeLabel(this, QStringLiteral("StaticText") + n, QStringLiteral("00"),
                                  QRect(left, 5, 22, 24));
        StaticText[i]->setAutoFillBackground(true);
        QPalette palette = StaticText[i]->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
        StaticText[i]->setPalette(palette);

        SignalPaintBox_[i] = new SignalPaintBox(this, kBoxWidth, kBoxHeight);
        SignalPaintBox_[i]->setObjectName(QStringLiteral("SignalPaintBox_") + n);
        SignalPaintBox_[i]->setGeometry(left, 27, kBoxWidth, kBoxHeight);

        // Room for a three-character id ("C23", "131") within the window.
        SateLabel[i] = MakeLabel(this, QStringLiteral("SateLabel") + n, QStringLiteral("XX"),
                                 QRect(left, 251, kColumnPitch - 4, 20));
    }

    BarImage = MakeLabel(this, QStringLiteral("BarImage"), QString(), QRect(8, 27, 33, 200));
    BarImage->setPixmap(QPixmap::fromImage(DrawBarScale(33, 200)));

    StaticText13 = MakeLabel(this, QStringLiteral("StaticText13"), QStringLiteral("  ID "),
                             QRect(8, 247, 33, 24));
    StaticText13->setAutoFillBackground(true);
    QPalette idPalette = StaticText13->palette();
    idPalette.setColor(QPalette::Window, Qt::white);
    idPalette.setColor(QPalette::WindowText, Qt::blue);
    StaticText13->setPalette(idPalette);

    Label9 = MakeLabel(this, QStringLiteral("Label9"), QString(84, QLatin1Char('-')), QRect());
    QPalette redPalette = Label9->palette();
    redPalette.setColor(QPalette::WindowText, Qt::red);
    Label9->setPalette(redPalette);
    Label9->move(7, 228);
    Label9->adjustSize();

    lifecycle_.Start();
}

TSingleQualityForm::~TSingleQualityForm() {
    FormClose();
}

void TSingleQualityForm::SingleTimerTimer() {
    lifecycle_.RunTick([this] {
        ShowBars();
        return true;
    });
}

void TSingleQualityForm::ShowBars() {
    const ReceiverState state = TakeReceiverSnapshot();
    const SignalBars bars =
        BuildSignalBars(state, SignalPaintBox_[0]->width(), SignalPaintBox_[0]->height());
    const QColor colour = FromColourRef(bars.colour);
    for (int i = 0; i < kSignalColumns; ++i) {
        SignalColumn column = bars.columns[i];
        const QString prn = QString::fromLatin1(column.prnText);
        if (SateLabel[i]->text() != prn) {
            SateLabel[i]->setText(prn);
            // A letter and two digits may not fit at the window's size: a
            // smaller size for those, the window's own for the rest.
            const QFont font = this->font();
            const bool fits = QFontMetrics(font).horizontalAdvance(prn) <= SateLabel[i]->width();
            SateLabel[i]->setFont(fits ? font : SansFont(font.pixelSize() - 2));
            // Another satellite in this column: a taller bar left there was
            // not its own. (Page by page the entry's own level says so already.)
            if (drawnLevel_[i] > column.level)
                column.wipe = true;
        }
        const QString snr = QString::fromLatin1(column.snrText);
        if (StaticText[i]->text() != snr)
            StaticText[i]->setText(snr);
        SignalPaintBox_[i]->DrawBar(column, colour, bars.penWidth);
        drawnLevel_[i] = column.level;
    }
}

void TSingleQualityForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TSingleQualityForm::FormClose() {
    lifecycle_.Close();
}

QWidget* CreateSingleQualityForm() {
    return new TSingleQualityForm;
}
