// Stand-ins for windows whose real form is not built yet: right caption,
// position and open-flag behaviour, nothing else.
#include <QCloseEvent>
#include <QDialog>
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

QWidget* CreateSingleQualityForm() {
    return new PlaceholderForm("Single Quality", 1, 124, 300, 279, &SingleQualityOpen);
}

QWidget* CreateNavigationForm() {
    return new PlaceholderForm("Navigation", 310, 124, 261, 245, &NavigationOpen);
}

QWidget* CreateSentenceForm() {
    return new PlaceholderForm("NMEA Sentence", 574, 125, 443, 394, &SentenceOpen);
}

QWidget* CreateRoadmapForm() {
    return new PlaceholderForm("Real-time Position Plot", 656, 396, 367, 344, &RoadmapOpen);
}

QWidget* CreateSatelliteForm() {
    return new PlaceholderForm("Satellite", 309, 396, 348, 344, &SatelliteOpen);
}
