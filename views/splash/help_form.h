// The help window: what each item of the main window's command list does.
#pragma once

#include <QWidget>
#include <span>

#include "views.h"

class QCloseEvent;
class QPlainTextEdit;

class THelpForm : public QWidget {
    Q_OBJECT
public:
    // One line per command: the item, one or two tabs, "=> " and its help.
    explicit THelpForm(std::span<const CommandHelpText> commands);

    QPlainTextEdit* Memo1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
};
