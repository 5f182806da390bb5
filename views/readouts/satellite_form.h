// The satellite sky plot window: a square polar plot of the satellites in
// view, drawn off screen once a second and copied to the window.
#pragma once

#include <QImage>
#include <QWidget>

#include "satellite_plot.h"
#include "window_lifecycle.h"

class QCloseEvent;
class QPainter;
class QResizeEvent;

class TSatelliteForm : public QWidget {
    Q_OBJECT
public:
    TSatelliteForm();
    ~TSatelliteForm() override;

    // One tick: one copy of the receiver state, the whole plot redrawn off
    // screen, then shown.
    void Timer1Timer();
    // Keeps the window square and lays the plot out for its new side.
    void FormResize();

    const QImage& plotImage() const { return plot_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void DrawPlot();
    void SatellitePaintBoxPaint(QPainter& painter);

    WindowLifecycle lifecycle_;
    QWidget* SatellitePaintBox;
    QImage plot_;
    // Disc, rings, spokes and labels: the same pixels every tick.
    QImage background_;
    SkyGeometry geometry_;
    bool inLayout_ = false;
};
