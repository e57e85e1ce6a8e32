#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

#include <optional>

// Why a test run ended.
enum class RunEnd { Stop, OtherTab, Disconnect, WindowClosed, LineLost, OtherDevice, WriteFailed };
// "Стоп", "переход на вкладку «Настройка»", "отключение", "закрытие окна", "потеря
// связи", "на линии другой прибор (№ 1043)", "файл не записывается"; `detail` is
// the tab or the serial number.
QString runEndText(RunEnd cause, const QString &detail = QString());

// What a run's events say of its line: "Связь потеряна: порт COM3", and
// "Связь восстановлена: порт COM3, прибор № 1042".
QString lineLostText(const QString &port);
QString lineRegainedText(const QString &port, qint32 serial);

// The events of one test run, in a UTF-8 text file beside its CSV file: the
// CSV file's name with ".events.txt" for ".csv". One line an event, the local
// time to the millisecond first; like the rows, each line reaches the
// operating system before add() returns, whole or not at all. A file that
// cannot be created or written is reported once: by create(), or by the first
// add() that fails.
class RunEvents
{
public:
    static QString pathFor(const QString &csvPath);

    struct Event
    {
        QDateTime time;
        QString text;
    };
    // The first line of an events file, read back: the run's start.
    static std::optional<Event> first(const QString &eventsPath);
    // The events of a file in order, the first `most` of them; a line that
    // does not start with a time is passed over.
    static QList<Event> all(const QString &eventsPath, int most = 100000);

    // How many times `events` tell that the line was lost, and regained.
    struct LineLosses
    {
        int lost = 0;
        int regained = 0;
    };
    static LineLosses lineLosses(const QList<Event> &events);

    // Never over an existing file.
    bool create(const QString &csvPath);
    // False only for the first line of a run that does not reach the file.
    bool add(const QDateTime &time, const QString &text);
    void close();

    QString fileName() const { return file.fileName(); }
    // Why the file could not be created, or why the last line did not go in.
    QString failureReason() const { return failure.isEmpty() ? file.errorString() : failure; }

private:
    QFile file;
    bool failureSeen = false;
    QString failure;
};
