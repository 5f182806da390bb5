// The signal quality window: the SNR of satellite slots 0 to 7 as eight
// vertical bars, with the SNR above and the PRN below each bar.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>

#include "single_quality_bars.h"
#include "window_lifecycle.h"

class QCloseEvent;
class QLabel;

// One bar's paint box. It keeps its pixels, so a bar comes back when the
// window is uncovered, not only at the next tick.
class SignalPaintBox : public QWidget {
public:
    SignalPaintBox(QWidget* parent, int width, int height);
    // The tick's drawing: the bar, then the wipe above it when due.
    void DrawBar(const SignalColumn& column, const QColor& colour, int penWidth);
    const QImage& pixels() const { return pixels_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage pixels_;
};

class TSingleQualityForm : public QWidget {
    Q_OBJECT
public:
    TSingleQualityForm();
    ~TSingleQualityForm() override;

    // One tick: one copy of the receiver state, texts and bars refreshed.
    void SingleTimerTimer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void ShowBars();

    WindowLifecycle lifecycle_;
    std::array<QLabel*, kSignalColumns> StaticText{};
    std::array<SignalPaintBox*, kSignalColumns> SignalPaintBox_{};
    std::array<QLabel*, kSignalColumns> SateLabel{};
    QLabel* BarImage;
    QLabel* StaticText13;
    QLabel* Label9;
    // The level each column's bar was last drawn at.
    std::array<int, kSignalColumns> drawnLevel_{};
};
