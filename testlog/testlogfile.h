#pragma once

#include <QFile>
#include <QStringList>

class QDateTime;

// The CSV file of one test run.
//
// create() picks a name that no file has yet, so a run never overwrites
// anything: two runs started in the same second get "<name>.csv" and
// "<name> (2).csv". The file is unbuffered, so every row is handed to the
// operating system before writeRow() returns and survives a crash or a killed
// process. A row that does not reach the file (disk full, the file removed or
// replaced under the run) is reported by writeRow(), the first one of a run
// differently from the rest, so the caller can tell the user once; of such a
// row the file holds nothing, never half a line.
class TestLogFile : public QFile
{
    Q_OBJECT
public:
    enum class RowOutcome { Written, FirstFailure, Failed };

    explicit TestLogFile(QObject *parent = nullptr);
    ~TestLogFile() override;

    // Creates the file of a run started at `start` in `directory` and writes the
    // header. On failure nothing is left behind, the object stays closed and
    // fileName() names the file that could not be created.
    bool create(const QString &directory, const QDateTime &start,
                const QString &prefix = QString());

    RowOutcome writeRow(const QStringList &fields);
    // Why the last row that failed did not go in, in the user's words.
    QString failureReason() const { return failure; }

private:
    bool writeLine(const QByteArray &bytes);
    bool stillOnDisk() const;

    bool failureSeen = false;
    QString failure;
};
