#include "big5_text.h"

#include <QStringDecoder>
#include <algorithm>

QString FromBig5(std::string_view bytes) {
    // Big5 keeps ASCII as it is; most text is ASCII, and a decoder costs
    // more to make than the text costs to copy.
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder("Big5");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
