// Looking at a window as its user does: what is drawn, where the controls are
// on it, and what a click does. Offscreen, so no display is needed.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// What the window shows, in plain RGB.
inline QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A press and release of the left button at `at` (the centre by default),
// delivered as the application delivers a real one, so a disabled control
// ignores it.
inline void Click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    if (at == QPoint(-1, -1))
        at = widget->rect().center();
    const QPointF local(at), global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Runs the event loop until `done` holds or `ms` milliseconds have passed;
// returns whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::sendPostedEvents(nullptr, 0);
    }
    return true;
}

// Runs the event loop for `ms` milliseconds: what timers and batches would do meanwhile.
inline void RunEventsFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

// Where `child` is, in the coordinates of `window`.
inline QRect RectIn(const QWidget* child, const QWidget* window) {
    return QRect(child->mapTo(window, QPoint(0, 0)), child->size());
}

// Visible and wholly inside the window: nothing cut off by its edges.
inline bool ShownWhole(const QWidget* child, const QWidget* window) {
    return child->isVisibleTo(window) && window->rect().contains(RectIn(child, window));
}

// Names of the controls that are hidden, cut off by the window's edge, or
// that overlap one another; empty when all are shown whole and apart.
inline std::vector<std::string> CrowdedOrCut(const std::vector<const QWidget*>& controls,
                                             const QWidget* window) {
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const std::string name = controls[i]->objectName().toStdString();
        if (!ShownWhole(controls[i], window))
            problems.push_back(name + " hidden or cut off");
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (RectIn(controls[i], window).intersects(RectIn(controls[j], window)))
                problems.push_back(name + " overlaps " + controls[j]->objectName().toStdString());
    }
    return problems;
}

// Each control starts right of where the one before it ends.
inline bool LeftToRight(const std::vector<const QWidget*>& controls, const QWidget* window) {
    for (std::size_t i = 1; i < controls.size(); ++i)
        if (RectIn(controls[i], window).left() <= RectIn(controls[i - 1], window).right())
            return false;
    return true;
}

// Each control starts below where the one before it ends.
inline bool TopToBottom(const std::vector<const QWidget*>& controls, const QWidget* window) {
    for (std::size_t i = 1; i < controls.size(); ++i)
        if (RectIn(controls[i], window).top() <= RectIn(controls[i - 1], window).bottom())
            return false;
    return true;
}

// Pixels of `image` inside `box` that `match` accepts.
inline int CountPixels(const QImage& image, QRect box, const std::function<bool(QRgb)>& match) {
    box &= image.rect();
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += match(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// Clearly red or clearly dark text pixels, whatever the anti-aliasing did at the edges.
inline bool Reddish(QRgb c) {
    return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90;
}
inline bool Dark(QRgb c) {
    return qRed(c) < 70 && qGreen(c) < 70 && qBlue(c) < 70;
}
