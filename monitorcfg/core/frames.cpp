#include "frames.h"

#include <QCoreApplication>
#include <QList>

namespace {

// Writes the frame position by position; nothing lands past its last byte.
class FrameWriter
{
public:
    FrameWriter() : m_frame(kFrameSize, '\0') {}

    void put(char byte)
    {
        if (m_pos < kFrameSize)
            m_frame[m_pos] = byte;
        ++m_pos;
    }
    void put(const char *ascii)
    {
        while (*ascii)
            put(*ascii++);
    }
    void skip(int count) { m_pos += count; }
    QByteArray frame() const { return m_frame; }

private:
    QByteArray m_frame;
    int m_pos = 0;
};

// The single-byte code of a character in the Chinese ANSI code page: only
// ASCII fits one byte there, anything else leaves 0x00.
char ByteOf(char32_t c) { return c < 0x80 ? char(c) : '\0'; }

// Fixed width W: a shorter non-empty text is padded on the left with "0",
// anything else gives its first W characters (an empty text leaves W zeros).
void PutFixedWidth(FrameWriter &out, const QString &text, int width)
{
    const QList<uint> chars = text.toUcs4();
    const int length = int(chars.size());
    if (length >= 1 && length < width) {
        for (int i = 0; i < width - length; ++i)
            out.put('0');
        for (uint c : chars)
            out.put(ByteOf(c));
        return;
    }
    for (int i = 0; i < width; ++i) {
        if (i < length)
            out.put(ByteOf(chars[i]));
        else
            out.skip(1);
    }
}

// IP octet: one or two characters as typed, otherwise three positions.
void PutOctet(FrameWriter &out, const QString &text)
{
    const QList<uint> chars = text.toUcs4();
    const int length = int(chars.size());
    const int taken = (length == 1 || length == 2) ? length : 3;
    for (int i = 0; i < taken; ++i) {
        if (i < length)
            out.put(ByteOf(chars[i]));
        else
            out.skip(1);
    }
}

}  // namespace

QByteArray BuildConfigFrame(const ConfigFields &fields)
{
    FrameWriter out;
    out.put("dst=");
    PutFixedWidth(out, fields.id1, 3);
    out.put('-');
    PutFixedWidth(out, fields.id2, 3);
    out.put(',');
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            out.put('.');
        PutOctet(out, fields.ip[i]);
    }
    out.put(',');
    PutFixedWidth(out, fields.port, 5);
    out.put(',');
    PutFixedWidth(out, fields.onlineTime, 5);
    out.put("\r\n");
    return out.frame();
}

QByteArray BuildQueryFrame()
{
    FrameWriter out;
    out.put("get dst=?\r\n");
    return out.frame();
}

QString ConfigReport(const ConfigFields &fields)
{
    const QString crlf = QStringLiteral("\r\n");
    return QCoreApplication::translate("Report", "配置成功！") + crlf
        + QStringLiteral("ID:") + fields.id1 + u'-' + fields.id2 + crlf
               + QStringLiteral("IP:") + fields.ip[0] + u'.' + fields.ip[1] + u'.' + fields.ip[2] + u'.'
                                + fields.ip[3] + crlf + QCoreApplication::translate("Report", "端口号:")
                                + fields.port + crlf + QCoreApplication::translate("Report", "在线时间:")
                                + fields.onlineTime + QCoreApplication::translate("Report", "秒(S)");
}

QString ConfigFailureText() { return QCoreApplication::translate("Report", "配置失败！"); }

QString QueryFailureText() { return QCoreApplication::translate("Report", "查询失败！"); }
