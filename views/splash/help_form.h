// The help window: what each item of the main window's command list does.
#pragma once

#include <QStringList>
#include <QWidget>

class QCloseEvent;
class QPlainTextEdit;

class THelpForm : public QWidget {
    Q_OBJECT
  public:
    THelpForm();

    QPlainTextEdit* Memo1;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormClose();
};

// The memo's 19 lines: command, one or two tabs, "=> " and what it does.
QStringList HelpLines();
