#include "plot/loggedrun.h"

#include "plot/csvlogreader.h"
#include "plot/spreadsheetexport.h"
#include "testlog/runevents.h"

#include <QFile>

void LoggedRun::clear()
{
    points.clear();
    decimator.clear();
}

bool LoggedRun::read(const QString &path, QString *unread)
{
    CsvLogReader reader;
    if (!reader.readFile(path))
        return false;
    if (unread)
        *unread = reader.report(path);
    clear();
    points = reader.takePoints();
    for (int r = 0; r < points.size(); ++r) {
        PointStore::Values row;
        for (int s = 0; s < PointStore::Series; ++s)
            row[size_t(s)] = points.value(r, s);
        decimator.add(points.time(r), row);
    }
    csvPath = path;
    const QString eventsPath = RunEvents::pathFor(SpreadsheetExport::runPathOf(path));
    eventsFound = QFile::exists(eventsPath);
    const std::optional<RunEvents::Event> first = RunEvents::first(eventsPath);
    device = first ? DeviceDescription::parse(first->text) : std::nullopt;
    start = first              ? first->time
            : points.isEmpty() ? QDateTime()
                               : QDateTime::fromMSecsSinceEpoch(points.time(0));
    return true;
}
