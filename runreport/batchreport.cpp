#include "runreport/batchreport.h"

#include "app/userfile.h"
#include "plot/loggedrun.h"
#include "plot/runsummary.h"
#include "runreport/reportpdf.h"
#include "runreport/runreport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"

#include <QFileInfo>
#include <QLocale>
#include <QPdfWriter>

namespace {

const QString NotRead = QStringLiteral("не считан");

// The row of a run whose files could not be read: why, where its verdict would be.
QStringList unreadRow(const QString &port, const QString &why)
{
    const QString none = QStringLiteral("—");
    return {port, NotRead, none, none, none, none, why, none, none};
}

// The summary's row of a run that was read.
QStringList rowOf(const BatchRun &batchRun, const LoggedRun &run, const OutputCheck &check)
{
    const RunSummary summary = RunSummary::of(run.points);
    const RunSummary::Value &current = summary.values[CsvFormat::Current];
    const RunEvents::LineLosses losses =
        RunEvents::lineLosses(RunEvents::all(RunEvents::pathFor(run.csvPath)));
    return {
        batchRun.port,
        run.device && run.device->identity ? QString::number(run.device->identity->serialNumber)
                                           : NotRead,
        QString::number(summary.rows),
        RunSummary::durationText(summary.durationMs),
        QStringLiteral("%1 … %2 мА")
            .arg(RunSummary::figureText(current.minimum), RunSummary::figureText(current.maximum)),
        check.computed() ? ReportPdf::percent(check.largest) : QStringLiteral("—"),
        check.verdict(),
        QString::number(losses.lost),
        QString::number(losses.regained)};
}

QString summaryHtml(const QList<QStringList> &rows, double tolerance, const QDateTime &made)
{
    QList<QStringList> table{
        {QStringLiteral("Порт"), QStringLiteral("Прибор №"), QStringLiteral("Строк"),
         QStringLiteral("Длительность"), QStringLiteral("Выходной ток"),
         QStringLiteral("Наибольшее отклонение"), QStringLiteral("Заключение"),
         QStringLiteral("Связь потеряна"), QStringLiteral("Связь восстановлена")}};
    table << rows;
    // The texts to the left, the figures to the right; room for a verdict
    // that explains itself, and for the current's range on one line.
    const QList<ReportPdf::GridColumn> columns{{6, true},  {9, true},   {5, false},
                                               {9, false}, {16, false}, {10, false},
                                               {24, true}, {9, false},  {12, false}};
    return QStringLiteral("<h2>Сводка испытаний на стенде</h2>"
                          "<p>Составлена %1 · преобразователей: %2 · допуск выходного тока: %3 % "
                          "диапазона 16 мА</p>")
               .arg(ReportPdf::timeText(made))
               .arg(rows.size())
               .arg(CsvFormat::valueText(tolerance)) +
           ReportPdf::grid(table, columns) +
           QStringLiteral("<p style='margin-top: 36px'>Выполнил ______________________"
                          "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                          "Проверил ______________________</p>");
}

} // namespace

BatchReportResult writeBatchReports(const QList<BatchRun> &runs, const QString &directory,
                                    double tolerance, const QDateTime &made)
{
    BatchReportResult result;
    QList<QStringList> rows;
    for (const BatchRun &batchRun : runs) {
        LoggedRun run;
        if (batchRun.csvPath.isEmpty() || !run.read(batchRun.csvPath)) {
            // The row names the file, the error where it is.
            const auto why = [&batchRun](const QString &path) {
                return batchRun.csvPath.isEmpty()
                           ? QStringLiteral("испытание не записано")
                           : QStringLiteral("не удалось открыть файл испытания %1").arg(path);
            };
            rows << unreadRow(batchRun.port, why(QFileInfo(batchRun.csvPath).fileName()));
            result.errors << QStringLiteral("Порт %1: %2")
                                 .arg(batchRun.port, why(UserFile::shownPath(batchRun.csvPath)));
            continue;
        }
        const RunReport report = RunReport::of(run, tolerance);
        QString error;
        const QString path = report.write(directory, &error);
        if (path.isEmpty())
            result.errors << QStringLiteral("Порт %1: %2").arg(batchRun.port, error);
        else
            result.reports << path;
        rows << rowOf(batchRun, run, report.check());
    }
    const auto fileName = [&made](int copy) {
        return QStringLiteral("Стенд ") +
               QLocale::c().toString(made, QStringLiteral("yyyy-MM-dd hh.mm")) +
               UserFile::copySuffix(copy) + QStringLiteral(".pdf");
    };
    const auto paint = [&](QPdfWriter &writer) {
        return ReportPdf::paintPages(writer, summaryHtml(rows, tolerance, made), made);
    };
    QString error;
    result.summary = ReportPdf::write(
        directory, fileName,
        QStringLiteral("Сводка испытаний на стенде, %1").arg(ReportPdf::timeText(made)),
        QPageLayout::Landscape, paint, &error);
    if (result.summary.isEmpty())
        result.errors << error;
    return result;
}
