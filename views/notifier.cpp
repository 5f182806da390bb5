#include "notifier.h"

#include <QApplication>
#include <QMessageBox>

#include "event_sound.h"

namespace {

class QtNotifier : public Notifier {
public:
    void ShowMessage(const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok);
        box.exec();
    }
    void MessageBox(const QString& text, const QString& caption) override {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
        box.exec();
    }
    void ShowError(const QString& text) override {
        QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
        box.exec();
    }
    void Beep(unsigned type) override {
        const bool fix = type == kFixBeep;
        if (!PlayEventSound(fix ? "complete" : "dialog-warning", fix ? "GPS fix" : "Warning"))
            QApplication::beep();
    }
};

QtNotifier g_qtNotifier;
QString g_applicationTitle;
Notifier* g_notifier = nullptr;

} // namespace

Notifier& DefaultNotifier() {
    return g_qtNotifier;
}

Notifier& CurrentNotifier() {
    return g_notifier != nullptr ? *g_notifier : g_qtNotifier;
}

void SetNotifier(Notifier* notifier) {
    g_notifier = notifier;
}

void SetApplicationTitle(const QString& title) {
    g_applicationTitle = title;
}

QString ApplicationTitle() {
    return g_applicationTitle;
}
