// Stand-ins for the main window and the PC clock, so the units run alone.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "port_connection.h"
#include "status_timer.h"

class FakeConnectionWindow : public ConnectionWindow {
public:
    int SelectedPortIndex() const override { return selectedPort; }
    void SelectPortIndex(int index) override {
        selectedPort = index >= 0 && index < 9 ? index : -1;
        selectCalls.push_back(index);
    }
    void SetGoEnabled(bool enabled) override { goEnabled = enabled; }
    void SetShowTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void MarkLineItem(LineMenu menu, int32_t code) override { marks[menu].push_back(code); }

    int selectedPort = -1;
    std::vector<int> selectCalls;
    bool goEnabled = false;
    bool timerEnabled = false;
    std::map<LineMenu, std::vector<int32_t>> marks;
};

class FakeClock : public SystemClock {
public:
    timespec Now() const override { return now; }
    bool Set(const timespec& utc) override {
        sets.push_back(utc);
        return accept;
    }
    timespec now{1700000000, 0};
    bool accept = true;
    std::vector<timespec> sets;
};

class RecordingDisplay : public StatusDisplay {
public:
    void ShowCurrentTime(const std::string& text) override { currentTime = text; }
    void ShowFixTime(const std::string& text) override { fixTime = text; }
    std::string currentTime;
    std::string fixTime;
};

// Runs the event loop until `done` or `timeoutMs` passed; true when done.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
