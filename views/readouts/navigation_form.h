// The navigation readout window: date, UTC time, position, altitude, speeds,
// fix type and validity as nine lines, rewritten once a second.
#pragma once

#include <QWidget>

#include "navigation_lines.h"
#include "window_lifecycle.h"

class QAction;
class QCloseEvent;
class QMenu;
class QPlainTextEdit;

class TNavigationForm : public QWidget {
    Q_OBJECT
public:
    TNavigationForm();
    ~TNavigationForm() override;

    // One tick: takes one copy of the receiver state and rewrites the text box.
    void ShowTimerTimer();

    // The menu items: each selects its own mode (shown from the next tick).
    void degonlyPopMenuClick();
    void degandminPopMenuClick();
    void degminsecPopMenuClick();

    // The mode the items' Tags select now.
    CoordinateMode coordinateMode() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void ShowLines();
    void SelectItem(QAction* item);

    QPlainTextEdit* GGAMemo;
    QMenu* NavigationPopupMenu;
    QAction* degonlyPopMenu;
    QAction* degandminPopMenu;
    QAction* degminsecPopMenu;
    WindowLifecycle lifecycle_;
    uint32_t shownColour_ = kNavigationBlack;
};
