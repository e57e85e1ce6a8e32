#pragma once

#include "link/framecodec.h"
#include "link/passwordmask.h"

#include <QByteArray>
#include <QFile>
#include <QString>

class QDateTime;

// What went over the line, for the support desk: one line a frame, appended to
// traffic/<yyyy-MM-dd hh-mm-ss>.txt in the working directory (no ":" in the
// name, which Windows forbids). A line holds the time to the millisecond, the
// direction ("TX" a frame written, "TX RAW" bytes the manual packet window
// wrote as typed, "RX" a reply received), the bytes in the window's hex form
// and, for a reply, whether it was accepted. Each line reaches the operating
// system before the call returns, so a crash loses none, and the cost of a
// line does not grow with the file. A line goes in whole or not at all. The
// administrator password is written as "**" a byte (see PasswordMask).
class TrafficLog
{
public:
    static QString directory() { return QStringLiteral("traffic"); }

    // A new file, never over an existing one; false when it cannot be
    // created, with errorString() saying why.
    bool start(const QDateTime &now);
    void stop();
    bool isOn() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }
    // Why the file could not be created, or why the last line did not go in.
    QString errorString() const { return failure.isEmpty() ? file.errorString() : failure; }

    // False when the line did not reach the file (a full disk, a file gone); the
    // file then holds none of it. With recording off there is nothing to lose:
    // true. Give every byte written to the first two, recording or not: the
    // password mask follows them in order.
    bool addSent(const QDateTime &time, const QByteArray &frame);
    bool addSentRaw(const QDateTime &time, const QByteArray &bytes);
    bool addReceived(const QDateTime &time, const QByteArray &bytes, FrameCodec::Outcome outcome);

private:
    bool add(const QDateTime &time, const char *direction, const QString &hex,
             const QString &verdict = QString());

    QFile file;
    PasswordMask::TxMask sentMask; // frames and raw bytes alike, in the order written
    QString failure;
};
