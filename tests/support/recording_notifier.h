// A notifier that records what the user would have been shown.
#pragma once

#include <QString>
#include <vector>

#include "notifier.h"

// Records instead of showing.
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
