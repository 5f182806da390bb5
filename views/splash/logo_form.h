// The splash window shown while the program starts.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QTimer;

// Shows its picture centred on its own area; a larger picture is cut at the
// edges, a smaller one leaves the window's background around it.
class CentredImage : public QWidget {
    Q_OBJECT
public:
    explicit CentredImage(QWidget* parent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the picture's top-left pixel lands in this widget.
    QPoint pictureOrigin() const;

    QImage picture_;
};

class TLogoForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLogoInterval = 3000; // ms
    // The interval is a parameter only so tests need not wait three seconds.
    explicit TLogoForm(int logoIntervalMs = kLogoInterval);

    CentredImage* Image1;
    QTimer* LogoTimer;

private:
    void FormCreate();
    void LogoTimerTimer();
};

// The picture the splash shows when there is no "Logo.jpg": our own JPEG,
// stored in the program and decoded like any other. Null if it cannot be.
QImage BuiltInLogoPicture();
