// The about box: product name, version and the program icon.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // Centred on `owner` when it has one, else on the screen.
    explicit TAboutBox(QWidget* owner = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QPushButton* OKButton;

    void OKButtonClick();
};
