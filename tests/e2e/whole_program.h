// The whole program inside the test process: started as main.cpp starts it
// (splash, then the main window, whose FormShow opens the six views and loads
// the settings), fed by gps-sim processes linked as COMn, and read back from
// the widgets the user sees. Each test runs in its own process (one ctest
// entry per test), so the program-wide state starts fresh every time.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "app_fakes.h"
#include "gps_thread.h"
#include "main_form.h"
#include "navigation_form.h"
#include "program_flags.h"
#include "receiver_state.h"
#include "recording_notifier.h"
#include "satellite_form.h"
#include "sentence_form.h"
#include "single_quality_form.h"
#include "test_support.h"
#include "views.h"

// Runs the event loop for `ms`, sleeping while there is nothing to do (so the
// test itself adds no CPU load), then frees what asked to be deleted.
inline void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Seconds until `done` held, checked every 20 ms; -1 when timeoutMs passed.
inline double SecondsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return -1;
        RunFor(20);
    }
    return static_cast<double>(timer.elapsed()) / 1000.0;
}

// Under AddressSanitizer freed memory waits in a quarantine of up to 256 MB,
// so resident memory says nothing about leaks there; LeakSanitizer checks
// them at exit instead.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMemoryMeasures = false;
#else
inline constexpr bool kResidentMemoryMeasures = true;
#endif

// A line of /proc/self/status ("VmRSS:", "Threads:") as a number.
inline long ProcStatusValue(const char* key) {
    const std::string status = ReadFileBytes("/proc/self/status");
    const std::size_t at = status.find(key);
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(key));
}

inline int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

inline bool StateIsEmpty(const ReceiverState& state) {
    static const ReceiverState empty{};
    return std::memcmp(&state, &empty, sizeof state) == 0;
}

// gps-sim as the receiver on COMn of the working directory.
class GpsSim {
public:
    GpsSim(std::string port, QStringList options) : port_(std::move(port)), options_(options) {}
    ~GpsSim() { Stop(); }
    GpsSim(const GpsSim&) = delete;
    GpsSim& operator=(const GpsSim&) = delete;

    // True once its pseudo-terminal is linked as COMn.
    bool Start() {
        process_.setProgram(QStringLiteral(GPS_SIM_PATH));
        process_.setArguments(QStringList{QStringLiteral("--link"), QString::fromStdString(port_)} +
                              options_);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start();
        if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000))
            return false;
        // The first line is the device; the link may be replaced, so wait for ours.
        const std::string device = process_.readLine().trimmed().toStdString();
        return SecondsUntil(
                   [&] {
                       char target[256] = {};
                       const ssize_t n = readlink(port_.c_str(), target, sizeof target - 1);
                       return n > 0 && device == target;
                   },
                   5000) >= 0;
    }
    // The receiver goes away at once: its side of the line hangs up.
    void Kill() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            Kill();
    }

private:
    std::string port_;
    QStringList options_;
    QProcess process_;
};

// The open window of a view class, or null.
template <typename T> T* OpenView() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* view = qobject_cast<T*>(window); view != nullptr && view->isVisible())
            return view;
    }
    return nullptr;
}

// What the views that follow the receiver show. (The position plot keeps its
// track by design, so it is not part of this.)
struct ViewLook {
    QString navigation; // the readout's text
    QImage sky;         // the satellite plot
    QStringList bars;   // PRN and SNR texts of the eight signal bars
    QString sentences;  // the latest batch's lines

    // Every part differs from `other`: all views show something else.
    bool AllDifferFrom(const ViewLook& other) const {
        return navigation != other.navigation && sky != other.sky && bars != other.bars &&
               sentences != other.sentences;
    }
    bool operator==(const ViewLook&) const = default;
};

// CPU seconds this process has used, the program and the test together.
inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The lines of a text whose lines end in CR LF; an unended tail is left out.
inline std::vector<std::string> CrLfSplit(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

inline ViewLook LookOfViews() {
    ViewLook look;
    if (auto* navigation = OpenView<TNavigationForm>())
        look.navigation = navigation->findChild<QPlainTextEdit*>("GGAMemo")->toPlainText();
    if (auto* satellite = OpenView<TSatelliteForm>())
        look.sky = satellite->plotImage();
    if (auto* single = OpenView<TSingleQualityForm>()) {
        for (int i = 1; i <= 8; ++i) {
            for (const char* name : {"SateLabel", "StaticText"})
                look.bars << single->findChild<QLabel*>(name + QString::number(i))->text();
        }
    }
    if (auto* sentence = OpenView<TSentenceForm>())
        look.sentences = sentence->LogRichEdit->toPlainText();
    return look;
}

inline bool AllViewsOpen() {
    return SingleQualityOpen && NavigationOpen && SentenceOpen && HelpOpen && RoadmapOpen &&
           SatelliteOpen;
}

// The notifier's record as readable text, for failure output.
inline std::string Told(const RecordingNotifier& notifier) {
    std::string out;
    for (const auto& shown : notifier.shown)
        out += "[" + shown.text.toStdString() + "|" + shown.caption.toStdString() + "] ";
    return out;
}

// The program in this process, in a fresh working directory.
class WholeProgram : public testing::Test {
protected:
    ~WholeProgram() override {
        form_.close();
        RunFor(0);
        // No receive loop outlives the test, as none outlives the program.
        WaitForReceiveLoops(3000);
    }

    // What main.cpp does, without its 3 s pause: the splash, then the main
    // window, whose first showing opens the six views and loads the settings.
    void StartProgram() {
        QWidget* splash = CreateLogoForm();
        splash->show();
        splash->repaint();
        form_.show();
        ASSERT_GE(SecondsUntil(AllViewsOpen, 5000), 0) << "FormShow did not open the views";
    }

    void Choose(const char* boxName, const QString& item) {
        auto* box = form_.findChild<QComboBox*>(boxName);
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void ClickTool(const char* name) {
        QTest::mouseClick(form_.findChild<QToolButton*>(name), Qt::LeftButton);
    }
    void ClickButton(const char* name) {
        QTest::mouseClick(form_.findChild<QPushButton*>(name), Qt::LeftButton);
    }

    TempWorkDir dir_;
    ScopedRecordingNotifier notifier_;
    FakeClock clock_; // the PC clock is never set
    TMainForm form_{&clock_};
};
