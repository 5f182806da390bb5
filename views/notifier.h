// Dialogs and beeps go through here, so tests can read what the user would
// have been shown instead of blocking on a modal box.
#pragma once

#include <QString>
#include <vector>

class Notifier {
public:
    virtual ~Notifier() = default;
    // The toolkit's plain message dialog; its caption is the application title.
    virtual void ShowMessage(const QString& text) = 0;
    // A message box with its own caption and an OK button.
    virtual void MessageBox(const QString& text, const QString& caption) = 0;
    // The toolkit's standard error box (for example a picture that cannot be read).
    virtual void ShowError(const QString& text) = 0;
    // MessageBeep with the system sound value given.
    virtual void Beep(unsigned type) = 0;
};

// The application title: the caption of every plain message dialog. It is not
// Qt's application display name, which the X11 platform would append to every
// window caption ("Navigation — ...").
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

// The notifier in use: modal Qt boxes and QApplication::beep() unless replaced.
Notifier& CurrentNotifier();
// Replaces the notifier (nullptr restores the default). Not owned.
void SetNotifier(Notifier* notifier);

// Records instead of showing; for tests.
class RecordingNotifier : public Notifier {
public:
    struct Shown {
        enum Kind { Message, Box, Error } kind;
        QString text;
        QString caption;
    };
    void ShowMessage(const QString& text) override { shown.push_back({Shown::Message, text, {}}); }
    void MessageBox(const QString& text, const QString& caption) override {
        shown.push_back({Shown::Box, text, caption});
    }
    void ShowError(const QString& text) override { shown.push_back({Shown::Error, text, {}}); }
    void Beep(unsigned type) override { beeps.push_back(type); }

    std::vector<Shown> shown;
    std::vector<unsigned> beeps;
};

// Installs a RecordingNotifier for the lifetime of the object.
class ScopedRecordingNotifier : public RecordingNotifier {
public:
    ScopedRecordingNotifier() { SetNotifier(this); }
    ~ScopedRecordingNotifier() override { SetNotifier(nullptr); }
};
