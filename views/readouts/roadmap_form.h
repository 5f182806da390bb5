// TRoadmapForm, "Real-time Position Plot": the GGA track as dots on a metric grid.
// The numbers come from roadmap_plot.h; this window only paints them.
#pragma once

#include <QImage>
#include <QMainWindow>

#include "window_lifecycle.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;

class TRoadmapForm : public QMainWindow {
    Q_OBJECT
public:
    TRoadmapForm();
    ~TRoadmapForm() override;

    // Event handlers of the form.
    void FormResize();
    void RoadmapTimerTimer();
    void EraseGridMenuClick();
    void ZoomInMenuClick();
    void ZoomOutMenuClick();
    void GridSizeMenu_50Click() { SetGridSize(50); }
    void GridSizeMenu_40Click() { SetGridSize(40); }
    void GridSizeMenu_30Click() { SetGridSize(30); }
    void GridSizeMenu_25Click() { SetGridSize(25); }

    // What RoadmapPaintBox shows.
    const QImage& plotBitmap() const { return plotBitmap_; }

    QFrame* RangePanel;
    QLabel* Label2;
    QLineEdit* RangeEdit;
    QLabel* Label1;
    QLabel* LonLabel;
    QLabel* LatLabel;
    QToolButton* UpSpeedButton;
    QToolButton* RightSpeedButton;
    QToolButton* LeftSpeedButton;
    QToolButton* DownSpeedButton;
    QWidget* RoadmapPaintBox;
    QAction* EraseGridMenu;
    QAction* ZoomInMenu;
    QAction* ZoomOutMenu;
    QAction* GridSizeMenu_50;
    QAction* GridSizeMenu_40;
    QAction* GridSizeMenu_30;
    QAction* GridSizeMenu_25;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void ShowRange();
    void SetGridSize(int pixels);
    void PlaceControls();
    void PaintGrid();
    void FormClose();
    void PlotPosition();

    WindowLifecycle lifecycle_;
    QImage plotBitmap_;
};
