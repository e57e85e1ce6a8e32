#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// The journal of every write and action the user sends: a CSV file per device
// (UTF-8 with a byte-order mark, ";" between fields, "\r\n" after each line),
// appended to and never rewritten. Each request gets two lines: one as it goes
// out, one when its outcome is known, so that a request is on record even if
// the program dies before the answer. Every line reaches the file before the
// call returns; the file is opened for each line and closed again.
class WriteJournal
{
public:
    // The device a request went to, as this connection knows it.
    struct Device
    {
        QString port;
        std::optional<qint32> serialNumber; // read from the device in this connection
        QString firmware;
    };

    static QStringList headerFields();
    // "1042.csv", or "unknown.csv" while the serial number is not known.
    static QString fileName(const std::optional<qint32> &serialNumber);

    // A relative directory is taken in the working directory of each write.
    explicit WriteJournal(const QString &directory = QStringLiteral("journal"));

    // The line of a request going out. Returns the request's number, which the
    // line of its outcome repeats.
    int sent(const QDateTime &time, const Device &device, const QString &command,
             const QString &values, const QString &valuesBefore);
    // The line of its outcome, in the file of the request's own line.
    void outcome(int number, const QDateTime &time, const QString &result);
    // Every request still waiting for its outcome gets this one.
    void outcomeOfAll(const QDateTime &time, const QString &result);

    // The first line since resetFailure() that did not reach its file: the
    // file's path and why. Given once; later failures are not told again.
    std::optional<QString> takeFailure();
    void resetFailure();

private:
    struct Waiting
    {
        QString path;
        Device device;
        QString command;
    };
    void append(const QString &path, const QStringList &fields);
    static QStringList deviceFields(const QDateTime &time, const Device &device);

    QString directory;
    QHash<int, Waiting> waiting;
    int lastNumber = 0;
    bool failureSeen = false;
    std::optional<QString> failure;
};
