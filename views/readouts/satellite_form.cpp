#include "satellite_form.h"

#include <QCloseEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

#include "program_flags.h"
#include "readout_style.h"
#include "satellite_painting.h"
#include "trace_file.h"
#include "views.h"

namespace {

TraceFile& SatelliteTrace() {
    static TraceFile trace("SatelliteLog.txt");
    return trace;
}

// A paint box: paints through its owner's handler.
class PaintBox : public QWidget {
public:
    PaintBox(QWidget* parent, std::function<void(QPainter&)> onPaint)
        : QWidget(parent), onPaint_(std::move(onPaint)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        onPaint_(painter);
    }

private:
    std::function<void(QPainter&)> onPaint_;
};

} // namespace

TSatelliteForm::TSatelliteForm()
    : lifecycle_(this, SatelliteOpen, SatelliteTrace(), "Timer1",
                 {"Start Satellite Timer", "Finish Satellite Timer"}, [this] { Timer1Timer(); }) {
    setObjectName(QStringLiteral("SatelliteForm"));
    setWindowTitle(QStringLiteral("Satellite"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    move(309, 396);
    // The client area of the 348 x 344 window; the layout squares it.
    resize(340, 316);

    SatellitePaintBox =
        new PaintBox(this, [this](QPainter& painter) { SatellitePaintBoxPaint(painter); });
    SatellitePaintBox->setObjectName(QStringLiteral("SatellitePaintBox"));
    SatellitePaintBox->setGeometry(0, 0, 337, 316);

    // FormCreate: the plot exists (empty) before tracing starts; the first
    // plot is drawn a second later.
    FormResize();
    lifecycle_.Start();
}

TSatelliteForm::~TSatelliteForm() {
    FormClose();
}

void TSatelliteForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TSatelliteForm::FormResize() {
    if (lifecycle_.closed())
        return;
    // Square the outer size; the frame is what the window adds around the
    // client area (nothing before it is shown or without a window manager).
    // A size change runs this again from inside resize(); that nested run
    // only lays out.
    if (!inLayout_) {
        const QSize frame = frameGeometry().size() - size();
        const int w = width(), h = height();
        const QSize target = w > h ? QSize(h + frame.height() - frame.width(), h)
                                   : QSize(w, w + frame.width() - frame.height());
        if (target != size() && target.width() > 0 && target.height() > 0) {
            inLayout_ = true;
            resize(target);
            inLayout_ = false;
        }
    }
    // The smaller client side, so the whole plot is visible whichever way
    // the window was dragged (or while the window manager has not yet
    // applied the square size).
    const int s = std::max(0, std::min(width(), height()));
    SatellitePaintBox->setGeometry(0, 0, s, s);
    const QColor face = ButtonFace();
    if (s != geometry_.s || background_.isNull()) {
        geometry_ = LayoutSkyPlot(s);
        background_ = RenderSkyBackground(geometry_, face);
    }
    // The plot shows empty until the next tick.
    plot_ = s > 0 ? QImage(s, s, QImage::Format_RGB32) : QImage();
    if (!plot_.isNull())
        plot_.fill(face);
    SatellitePaintBox->update();
}

void TSatelliteForm::Timer1Timer() {
    lifecycle_.RunTick([this] {
        DrawPlot();
        return true;
    });
}

void TSatelliteForm::DrawPlot() {
    const ReceiverState state = TakeReceiverSnapshot();
    const SatelliteScene scene = BuildSatelliteScene(state, geometry_);
    if (!plot_.isNull() && plot_.size() == background_.size()) {
        std::memcpy(plot_.bits(), background_.constBits(),
                    static_cast<std::size_t>(plot_.sizeInBytes()));
        DrawSatelliteScene(plot_, scene);
    }
    TraceFile& trace = lifecycle_.trace();
    if (trace.active()) {
        std::array<std::string_view, kSatelliteSlots> lines;
        for (int i = 0; i < scene.markCount; ++i)
            lines[i] = scene.marks[i].traceLine;
        trace.WriteLines(lines.data(), static_cast<std::size_t>(scene.markCount), {});
    }
    SatellitePaintBox->update();
}

void TSatelliteForm::SatellitePaintBoxPaint(QPainter& painter) {
    if (!plot_.isNull())
        painter.drawImage(0, 0, plot_);
}

void TSatelliteForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TSatelliteForm::FormClose() {
    if (!lifecycle_.Close())
        return;
    plot_ = QImage();
    background_ = QImage();
}

QWidget* CreateSatelliteForm() {
    return new TSatelliteForm;
}
