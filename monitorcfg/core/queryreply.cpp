#include "queryreply.h"

#include <QCoreApplication>

namespace {

// Thrown internally when a read would run past the end of the reply.
struct ReplyEnded
{};

class ReplyReader
{
public:
    explicit ReplyReader(const QByteArray &bytes) : m_bytes(bytes) {}

    unsigned char at(qsizetype index) const
    {
        if (index < 0 || index >= m_bytes.size())
            throw ReplyEnded {};
        return static_cast<unsigned char>(m_bytes[index]);
    }
    // count bytes from start, each as the character it stands for.
    QString text(qsizetype start, int count) const
    {
        QString out;
        for (int i = 0; i < count; ++i)
            out.append(CharOf(at(start + i)));
        return out;
    }
    static QChar CharOf(unsigned char byte)
    {
        // A byte above 0x7F is half of a double-byte character at best.
        return byte < 0x80 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
    }

private:
    const QByteArray &m_bytes;
};

bool IsDigit(unsigned char b) { return b >= '0' && b <= '9'; }

// The positions the report reads: four octets, then the two 5-byte fields.
struct ReplyLayout
{
    std::array<QString, 4> octets;
    qsizetype portStart = 0;
};

// An octet is a run of bytes of 0x30 or more; the byte that ends it is the
// separator after it, skipped whatever it holds.
QString ScanOctet(const ReplyReader &in, qsizetype &pos)
{
    QString octet;
    while (in.at(pos) >= 0x30)
        octet.append(ReplyReader::CharOf(in.at(pos++)));
    ++pos;
    return octet;
}

// Digits of bytes start..start+count-1 up to the first non-digit; pos ends
// on the byte where reading stopped.
QString LeadingDigits(const ReplyReader &in, qsizetype start, int count, qsizetype *stop = nullptr)
{
    QString out;
    qsizetype pos = start;
    while (pos < start + count && IsDigit(in.at(pos)))
        out.append(QChar(in.at(pos++)));
    if (stop)
        *stop = pos;
    return out;
}

QString DigitsOf(const ReplyReader &in, qsizetype start, int count)
{
    QString out;
    for (int i = 0; i < count; ++i)
        if (IsDigit(in.at(start + i)))
            out.append(QChar(in.at(start + i)));
    return out;
}

}  // namespace

QueryReplyResult ReadQueryReply(const QByteArray &reply)
{
    QueryReplyResult result;
    const ReplyReader in(reply);
    const QString crlf = QStringLiteral("\r\n");
    ReplyLayout layout;
    try {
        QString line = QCoreApplication::translate("Report", "查询成功！");
        result.report = line + crlf;

        line = QStringLiteral("ID:") + in.text(0, 3) + u'-' + in.text(4, 3);
        result.report += line + crlf;

        qsizetype pos = 8;
        for (QString &octet : layout.octets)
            octet = ScanOctet(in, pos);
        layout.portStart = pos;
        line = QStringLiteral("IP:") + layout.octets[0] + u'.' + layout.octets[1] + u'.' + layout.octets[2]
                              + u'.' + layout.octets[3];
        result.report += line + crlf;

        line = QCoreApplication::translate("Report", "端口号:") + in.text(layout.portStart, 5);
        result.report += line + crlf;

        line = QCoreApplication::translate("Report", "在线时间:") + in.text(layout.portStart + 6, 5)
            + QCoreApplication::translate("Report", "秒(S)");
        result.report += line;

        // Refill: each field is emptied, then gets what the reply holds for it.
        result.fields[0] = DigitsOf(in, 0, 3);
        result.fields[1] = DigitsOf(in, 4, 3);
        for (int i = 0; i < 4; ++i)
            result.fields[2 + i] = layout.octets[i];
        qsizetype portStop = 0;
        result.fields[6] = LeadingDigits(in, layout.portStart, 5, &portStop);
        // The online time starts one byte after where the port stopped.
        result.fields[7] = LeadingDigits(in, portStop + 1, 5);
        result.complete = true;
    } catch (const ReplyEnded &) {
        result.complete = false;
    }
    return result;
}
