// GPS_Quillmar: splash, pause, title, main window, message loop.
#include <QApplication>
#include <QThread>
#include <QWidget>
#include <exception>

#include "close_on_signal.h"
#include "gps_thread.h"
#include "main_form.h"
#include "notifier.h"
#include "views.h"
#include "working_folder.h"

namespace {

// A receive loop ends within one cycle once its port is closed.
constexpr int kReceiveLoopExitMs = 3000;

// An exception that escapes an event handler is shown in the standard error
// box; the program goes on.
class QuillmarApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            CurrentNotifier().ShowError(QString::fromLocal8Bit(error.what()));
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QuillmarApplication application(argc, argv);
    if (StartedFromMenu(argc, argv)) {
        const std::string problem = EnterWorkingFolder(MenuWorkingFolder());
        if (!problem.empty())
            CurrentNotifier().ShowError(QString::fromStdString(problem));
    }
    try {
        QWidget* splash = CreateLogoForm();
        splash->show();
        splash->repaint();
        // Lets the window system map the splash so the forced paint reaches the
        // screen; its 3000 ms timer cannot be due yet.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(3010);

        SetApplicationTitle(QStringLiteral("Zentu Corporation, LTD"));
        auto* form = new TMainForm();
        CloseOnTerminationSignals(form);
        form->show();
        QApplication::exec();
        delete form;
    } catch (const std::exception& error) {
        CurrentNotifier().ShowError(QString::fromLocal8Bit(error.what()));
    }
    // No receive loop outlives the application.
    WaitForReceiveLoops(kReceiveLoopExitMs);
    return 0;
}
