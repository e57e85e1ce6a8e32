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
//
// Request numbers go on from the last number in the file, so that they never
// repeat within it, across program starts too. Each line is appended under a
// lock file beside the journal ("1042.csv.lock"), which a second program
// writing the same folder waits for: it then reads the number the first one
// gave and goes on from there.
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

    // The line of a request going out. Returns a ticket for the line of its
    // outcome, which repeats the request's number.
    int sent(const QDateTime &time, const Device &device, const QString &command,
             const QString &values, const QString &valuesBefore);
    // The line of its outcome, in the file of the request's own line.
    void outcome(int ticket, const QDateTime &time, const QString &result);
    // A line of its own, numbered as a request, for what the program did
    // that is not one request: a verification's finding, a calibration step.
    void note(const QDateTime &time, const Device &device, const QString &what,
              const QString &result);
    // The highest request number in the journal file at `path`, 0 for none.
    static int lastNumberIn(const QString &path);
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
        int number;
        Device device;
        QString command;
    };
    // Appends the line `fields` makes after the device's fields, with the
    // next number in the file unless one is given. Returns the number.
    int append(const QString &path, const QDateTime &time, const Device &device,
               std::optional<int> number, const QStringList &fields);
    static QStringList deviceFields(const QDateTime &time, const Device &device);

    QString directory;
    QHash<int, Waiting> waiting;
    int lastTicket = 0;
    bool failureSeen = false;
    std::optional<QString> failure;
};
