#include "readout_style.h"

#include <QGuiApplication>
#include <QPalette>
#include <QStringList>

QFont SansFont(int pixelHeight) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

QFont TimesFont(int pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setStyleHint(QFont::Serif);
    // Windows: height = -MulDiv(points, 96, 72), rounded half up.
    font.setPixelSize((pointSize * 96 + 36) / 72);
    return font;
}

QColor FromColourRef(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QColor ButtonFace() {
    return QGuiApplication::palette().color(QPalette::Button);
}
