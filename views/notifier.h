// Dialogs and beeps go through here, so tests can read what the user would
// have been shown instead of blocking on a modal box.
#pragma once

#include <QString>

// The MessageBeep values the program passes: the fix beep plays the desktop's
// "complete" sound, every other one its "dialog-warning".
constexpr unsigned kFixBeep = 10000;
constexpr unsigned kWarningBeep = 10;

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

// The notifier in use unless replaced: modal Qt boxes, and event sounds that
// fall back to QApplication::beep() where no sound service answers.
Notifier& CurrentNotifier();
// That default notifier, whatever replaced it.
Notifier& DefaultNotifier();
// Replaces the notifier (nullptr restores the default). Not owned.
void SetNotifier(Notifier* notifier);
