#pragma once
// A pseudo-terminal made by the test: the device side (its path, opened by
// the code under test, kept open here in raw mode so the pair lives until
// the test ends it) and the master side the test plays the device with.

#include <QByteArray>
#include <QString>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return m_master >= 0 && m_slave >= 0; }
    // "/dev/pts/N"
    const QString &path() const { return m_path; }

    // Writes all of data as the device, keeping the event loop running while
    // the other side reads; false on a failure or after timeoutMs.
    bool write(const QByteArray &data, int timeoutMs = 10000);
    // What the other side wrote, until n bytes came or timeoutMs passed.
    QByteArray read(qsizetype n, int timeoutMs = 5000);
    // The device goes away: the other side reads a hang-up.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
