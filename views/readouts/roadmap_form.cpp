#include "roadmap_form.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPolygon>
#include <QToolButton>

#include "program_flags.h"
#include "roadmap_plot.h"
#include "trace_file.h"
#include "views.h"

namespace {

TraceFile g_roadmapTrace("RoadmapLog.txt");

constexpr int kLeft = 656;
constexpr int kTop = 396;
// Outer size 367 x 344 less a usual title bar and border; Qt sizes the client.
constexpr int kClientWidth = 367 - 8;
constexpr int kClientHeight = 344 - 31;
constexpr int kPaintBoxLeft = 48;
constexpr int kPaintBoxTop = 40;
constexpr int kArrowSize = 24;

QColor FromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QPoint ToQPoint(PlotPoint p) {
    return QPoint(p.x, p.y);
}

// The side markers: a blue arrow pointing away from the plot.
QIcon ArrowIcon(int degrees) {
    QPixmap pixmap(kArrowSize, kArrowSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kArrowSize / 2.0, kArrowSize / 2.0);
    painter.rotate(degrees);
    const QPolygonF arrow({{0, -11}, {10, 0}, {4, 0}, {4, 11}, {-4, 11}, {-4, 0}, {-10, 0}});
    painter.setPen(Qt::NoPen);
    painter.setBrush(FromBgr(0xFF0000));
    painter.drawPolygon(arrow);
    return QIcon(pixmap);
}

QToolButton* MakeArrowButton(QWidget* parent, const char* name, int degrees) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setIcon(ArrowIcon(degrees));
    button->setIconSize(QSize(kArrowSize, kArrowSize));
    button->setFixedSize(kArrowSize, kArrowSize);
    return button;
}

class PaintBox : public QWidget {
public:
    PaintBox(QWidget* parent, const QImage* bitmap) : QWidget(parent), bitmap_(bitmap) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    // RoadmapPaintBoxPaint: the tick and the layout prepared the bitmap.
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, *bitmap_);
    }

private:
    const QImage* bitmap_;
};

} // namespace

TRoadmapForm::TRoadmapForm()
    : lifecycle_(this, RoadmapOpen, g_roadmapTrace, "RoadmapTimer",
                 {"Start Roadmap Timer", "Finish Roadmap Timer"}, [this] { RoadmapTimerTimer(); }) {
    // FormCreate
    setObjectName(QStringLiteral("RoadmapForm"));
    setWindowTitle(QStringLiteral("Real-time Position Plot"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    RoadmapPlot().zoomLevel = kRoadmapInitialZoom;

    auto* client = new QWidget(this);
    setCentralWidget(client);

    RangePanel = new QFrame(client);
    RangePanel->setObjectName(QStringLiteral("RangePanel"));
    RangePanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    RangePanel->setFixedSize(126, 24);
    Label2 = new QLabel(QStringLiteral("Range"), RangePanel);
    Label2->setGeometry(4, 3, 38, 18);
    RangeEdit = new QLineEdit(RangePanel);
    RangeEdit->setObjectName(QStringLiteral("RangeEdit"));
    RangeEdit->setReadOnly(true);
    RangeEdit->setFocusPolicy(Qt::NoFocus);
    RangeEdit->setGeometry(44, 2, 44, 20);
    Label1 = new QLabel(RangePanel);
    Label1->setGeometry(92, 3, 30, 18);

    QFont bold = font();
    bold.setBold(true);
    LonLabel = new QLabel(QStringLiteral("Lon"), client);
    LonLabel->setFont(bold);
    LonLabel->adjustSize();
    LatLabel = new QLabel(QStringLiteral("Lat"), client);
    LatLabel->setFont(bold);
    LatLabel->adjustSize();

    UpSpeedButton = MakeArrowButton(client, "UpSpeedButton", 0);
    RightSpeedButton = MakeArrowButton(client, "RightSpeedButton", 90);
    LeftSpeedButton = MakeArrowButton(client, "LeftSpeedButton", 270);
    DownSpeedButton = MakeArrowButton(client, "DownSpeedButton", 180);

    RoadmapPaintBox = new PaintBox(client, &plotBitmap_);
    RoadmapPaintBox->setObjectName(QStringLiteral("RoadmapPaintBox"));
    RoadmapPaintBox->move(kPaintBoxLeft, kPaintBoxTop);

    BuildMenu();
    ShowRange();
    move(kLeft, kTop);
    resize(kClientWidth, kClientHeight);
    layout()->activate(); // size the client area now, not at the first show
    FormResize();
    client->installEventFilter(this);
    lifecycle_.Start();
}

TRoadmapForm::~TRoadmapForm() {
    FormClose();
}

void TRoadmapForm::BuildMenu() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    EraseGridMenu = MainMenu1->addAction(QStringLiteral("&Erase Grid"));
    EraseGridMenu->setObjectName(QStringLiteral("EraseGridMenu"));
    connect(EraseGridMenu, &QAction::triggered, this, &TRoadmapForm::EraseGridMenuClick);
    ZoomInMenu = MainMenu1->addAction(QStringLiteral("Zoom &In"));
    ZoomInMenu->setObjectName(QStringLiteral("ZoomInMenu"));
    connect(ZoomInMenu, &QAction::triggered, this, &TRoadmapForm::ZoomInMenuClick);
    ZoomOutMenu = MainMenu1->addAction(QStringLiteral("Zoom &Out"));
    ZoomOutMenu->setObjectName(QStringLiteral("ZoomOutMenu"));
    connect(ZoomOutMenu, &QAction::triggered, this, &TRoadmapForm::ZoomOutMenuClick);

    QMenu* GridSizeMenu = MainMenu1->addMenu(QStringLiteral("GridSize"));
    GridSizeMenu->setObjectName(QStringLiteral("GridSizeMenu"));
    // The spacing in use is checked, so the user can see it.
    auto* group = new QActionGroup(this);
    auto add = [&](const char* text, const char* name, int pixels, void (TRoadmapForm::*slot)()) {
        QAction* action = GridSizeMenu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(RoadmapPlot().gridSpacing == pixels);
        group->addAction(action);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    GridSizeMenu_50 = add("50 Pixel", "GridSizeMenu_50", 50, &TRoadmapForm::GridSizeMenu_50Click);
    GridSizeMenu_40 = add("40 Pixel", "GridSizeMenu_40", 40, &TRoadmapForm::GridSizeMenu_40Click);
    GridSizeMenu_30 = add("30 Pixel", "GridSizeMenu_30", 30, &TRoadmapForm::GridSizeMenu_30Click);
    GridSizeMenu_25 = add("25 Pixel", "GridSizeMenu_25", 25, &TRoadmapForm::GridSizeMenu_25Click);
}

void TRoadmapForm::ShowRange() {
    const RoadmapScale& scale = RoadmapScaleAt(RoadmapPlot().zoomLevel);
    RangeEdit->setText(QString::fromLatin1(scale.range));
    Label1->setText(QString::fromLatin1(scale.unit));
}

bool TRoadmapForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TRoadmapForm::FormResize() {
    RoadmapPlotState& plot = RoadmapPlot();
    ApplyRoadmapLayout(plot, centralWidget()->width(), centralWidget()->height());
    const int side = plot.layout.plotSide;
    if (plotBitmap_.width() != side)
        plotBitmap_ = QImage(side, side, QImage::Format_RGB32);
    PaintGrid();
    RoadmapPaintBox->resize(side, side);
    PlaceControls();
    RoadmapPaintBox->update();
}

void TRoadmapForm::PlaceControls() {
    const RoadmapLayout& layout = RoadmapPlot().layout;
    UpSpeedButton->move(ToQPoint(layout.upButton));
    RightSpeedButton->move(ToQPoint(layout.rightButton));
    LeftSpeedButton->move(ToQPoint(layout.leftButton));
    DownSpeedButton->move(ToQPoint(layout.downButton));
    RangePanel->move(ToQPoint(layout.rangePanel));
    LonLabel->move(ToQPoint(layout.lonLabel));
    LatLabel->move(ToQPoint(layout.latLabel));
}

void TRoadmapForm::PaintGrid() {
    const RoadmapLayout& layout = RoadmapPlot().layout;
    const int side = layout.plotSide;
    plotBitmap_.fill(palette().color(QPalette::Button));
    QPainter painter(&plotBitmap_);
    painter.setBrush(Qt::NoBrush);
    QPen solid(Qt::black, 1, Qt::SolidLine);
    QPen dashed(Qt::black, 1, Qt::CustomDashLine);
    dashed.setDashPattern({18, 6});
    painter.setPen(solid);
    // The frame's right and bottom edges stop one pixel short of S - 10.
    painter.drawRect(10, 10, side - 21, side - 21);
    for (int i = 0; i <= layout.cellCount; ++i) {
        painter.setPen(i == 0 || i == layout.cellCount ? solid : dashed);
        const GridSegment& v = layout.vertical[i];
        const GridSegment& h = layout.horizontal[i];
        painter.drawLine(ToQPoint(v.start), ToQPoint(v.end));
        painter.drawLine(ToQPoint(h.start), ToQPoint(h.end));
    }
}

void TRoadmapForm::RoadmapTimerTimer() {
    lifecycle_.RunTick([this] {
        PlotPosition();
        return true;
    });
}

void TRoadmapForm::PlotPosition() {
    const ReceiverState snapshot = TakeReceiverSnapshot();
    RoadmapPlotState& plot = RoadmapPlot();
    const RoadmapStep step = PlotGgaPosition(plot, snapshot.Gga);
    if (step.kind == RoadmapStep::NoPosition) {
        g_roadmapTrace.Line("GGA No Single\r\n");
    } else {
        const bool origin = step.kind == RoadmapStep::Origin;
        g_roadmapTrace.Line("a = %d, %s\r\n", origin ? 0 : 1,
                            origin ? plot.firstLat : plot.nextLat);
        g_roadmapTrace.Line("a = %d, %s\r\n", origin ? 0 : 1,
                            origin ? plot.firstLon : plot.nextLon);
        if (!origin) {
            if (step.deltaLat != 0.0f || step.deltaLon != 0.0f) {
                g_roadmapTrace.Line("Lat = %f,    Lon = %f\r\n", static_cast<double>(step.deltaLat),
                                    static_cast<double>(step.deltaLon));
                g_roadmapTrace.Line("First Point Lat: %s\r\n", plot.firstLat);
                g_roadmapTrace.Line("First Point Lon: %s\r\n", plot.firstLon);
                g_roadmapTrace.Line("Next Point Lat: %s\r\n", plot.nextLat);
                g_roadmapTrace.Line("Next Point Lon: %s\r\n", plot.nextLon);
            }
            QPainter painter(&plotBitmap_);
            const int side = plotBitmap_.width();
            // Far-off positions are skipped rather than handed to the rasteriser.
            if (DotVisible(step.trackDot, side)) {
                painter.setPen(
                    QPen(FromBgr(step.trackColour), kRoadmapDotWidth, Qt::SolidLine, Qt::RoundCap));
                painter.drawPoint(ToQPoint(step.trackDot));
            }
            if (DotVisible(step.newDot, side)) {
                painter.setPen(QPen(FromBgr(kRoadmapNewestColour), kRoadmapDotWidth, Qt::SolidLine,
                                    Qt::RoundCap));
                painter.drawPoint(ToQPoint(step.newDot));
            }
        }
        RoadmapPaintBox->update();
    }
}

void TRoadmapForm::EraseGridMenuClick() {
    ClearRoadmapPlot(RoadmapPlot());
    FormResize();
}

void TRoadmapForm::ZoomInMenuClick() {
    if (!ZoomRoadmapIn(RoadmapPlot()))
        return;
    ShowRange();
    EraseGridMenuClick();
}

void TRoadmapForm::ZoomOutMenuClick() {
    if (!ZoomRoadmapOut(RoadmapPlot()))
        return;
    ShowRange();
    EraseGridMenuClick();
}

void TRoadmapForm::SetGridSize(int pixels) {
    RoadmapPlot().gridSpacing = pixels;
    for (QAction* item : {GridSizeMenu_50, GridSizeMenu_40, GridSizeMenu_30, GridSizeMenu_25})
        item->setChecked(item->text().startsWith(QString::number(pixels)));
    EraseGridMenuClick();
}

void TRoadmapForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TRoadmapForm::FormClose() {
    if (lifecycle_.Close())
        RoadmapPlot().pointCount = 0;
}

QWidget* CreateRoadmapForm() {
    return new TRoadmapForm();
}
