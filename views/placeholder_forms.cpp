// Stand-ins for windows whose real form is not built yet: right caption,
// position and open-flag behaviour, nothing else.
#include <QCloseEvent>
#include <QWidget>

#include "program_flags.h"
#include "views.h"

namespace {

class PlaceholderForm : public QWidget {
public:
    PlaceholderForm(const char* caption, int left, int top, int width, int height, bool* flag)
        : flag_(flag) {
        setWindowTitle(QString::fromLatin1(caption));
        setWindowFlag(Qt::WindowStaysOnTopHint);
        setAttribute(Qt::WA_DeleteOnClose);
        move(left, top);
        resize(width, height);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        *flag_ = false;
        event->accept();
    }

private:
    bool* flag_;
};

} // namespace

QWidget* CreateSentenceForm() {
    return new PlaceholderForm("NMEA Sentence", 574, 125, 443, 394, &SentenceOpen);
}

QWidget* CreateRoadmapForm() {
    return new PlaceholderForm("Real-time Position Plot", 656, 396, 367, 344, &RoadmapOpen);
}
