#pragma once

#include "testlog/runevents.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class TestLogFile;

// One test run at a time: its CSV file, its events file and its rows. Every
// row reaches the file before it is told; a file that cannot be written is
// told once, as a problem for the user.
class TestRun : public QObject
{
    Q_OBJECT
public:
    explicit TestRun(QObject *parent = nullptr);
    ~TestRun() override;

    // A new run in `directory`, the last one ended first. On failure nothing
    // changes and `failure` says so in the user's words.
    // `prefix` goes before the start in the file's name.
    bool start(const QString &directory, const QDateTime &startTime, QString *failure,
               const QString &prefix = QString());
    bool isRunning() const { return running; }
    // The last run's file (the current one while it runs); empty before the first.
    QString fileName() const;
    QString shownFileName() const; // as a box names it
    int rows() const { return rowCount; }

    void logRow(const QDateTime &time, const QList<double> &values);
    // Goes to the events file while the run is on; nothing otherwise. What a
    // reply told carries the time that reply arrived.
    void note(const QString &text, const QDateTime &time = QDateTime::currentDateTime());
    void end(RunEnd cause, const QString &detail = QString());

signals:
    void rowLogged(QDateTime time, QList<double> values);
    void ended(QString causeText);
    // A file of the run could not be written: a box for the user.
    void problem(QString title, QString text);
    // A row did not reach the file, the first of the run that did not.
    void rowsFailing();

private:
    TestLogFile *log = nullptr;
    RunEvents events;
    bool running = false;
    int rowCount = 0;
};
