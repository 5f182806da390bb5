#include "big5_text.h"

#include <QStringDecoder>

QString FromBig5(std::string_view bytes) {
    QStringDecoder decoder("Big5");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
