#include "core/text/displaytext.h"

#include <QDateTime>

QString bytesForDisplay(const QByteArray &bytes)
{
    QString s = QString::fromLocal8Bit(bytes);
    QChar *p = s.data();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < 0x20 && c != u'\t')
            p[i] = QChar(char16_t(0x2400 + c));
        else if (c == 0x7F)
            p[i] = QChar(char16_t(0x2421));
        else if (c == 0x2028 || c == 0x2029)  // a text document breaks lines there
            p[i] = QChar(char16_t(0x2424));
        else if (c == 0xFDD0 || c == 0xFDD1)  // noncharacters a text document takes as frame marks
            p[i] = QChar(QChar::ReplacementCharacter);
    }
    return s;
}

QString logClockText() { return logClockText(QDateTime::currentMSecsSinceEpoch()); }

QString logClockText(qint64 msecsSinceEpoch)
{
    static qint64 cachedSecond = -1;
    static QString cached;
    const qint64 second = msecsSinceEpoch / 1000;
    if (second != cachedSecond) {
        cached = QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("HH:mm:ss"));
        cachedSecond = second;
    }
    return cached;
}
