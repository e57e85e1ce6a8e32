#include "runreport/runreport.h"

#include "app/userfile.h"
#include "plot/loggedrun.h"
#include "plot/runchart.h"
#include "plot/runsummary.h"
#include "runreport/reportpdf.h"
#include "testlog/csvformat.h"

#include <QFileInfo>
#include <QGraphicsScene>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <algorithm>

namespace {

using ReportPdf::escaped;
using ReportPdf::percent;
using ReportPdf::timeText;

// The chart as a report draws it: small enough for its texts to be read on paper.
const QSizeF PrintedChart(900, 500);

// A two-column table of names and values.
QString table(const QList<QPair<QString, QString>> &rows)
{
    QString html =
        QStringLiteral("<table border='1' cellspacing='0' cellpadding='3' width='100%'>");
    for (const auto &row : rows)
        html += QStringLiteral("<tr><td width='38%'>%1</td><td>%2</td></tr>")
                    .arg(escaped(row.first), row.second);
    return html + QStringLiteral("</table>");
}

QString deviceSection(const std::optional<DeviceDescription> &device, bool eventsFound)
{
    QString html = QStringLiteral("<h3>Прибор</h3>");
    if (!eventsFound)
        return html + QStringLiteral("<p>События испытания не найдены: рядом с файлом "
                                     "испытания нет файла его событий, в котором записан "
                                     "прибор.</p>");
    if (!device || device->isEmpty())
        return html + QStringLiteral("<p>Прибор не считан: при старте испытания с прибора "
                                     "ничего не было считано.</p>");
    const QString notRead = QStringLiteral("<i>не считано</i>");
    QList<QPair<QString, QString>> rows;
    const auto &id = device->identity;
    rows << qMakePair(QStringLiteral("Серийный номер"),
                      id ? QString::number(id->serialNumber) : notRead)
         << qMakePair(QStringLiteral("Дата выпуска"), id ? escaped(id->productionDate) : notRead)
         << qMakePair(QStringLiteral("Версия ПО"), id ? escaped(id->firmware) : notRead);
    const auto &s = device->settings;
    rows << qMakePair(QStringLiteral("Чувствительный элемент"), s ? escaped(s->element) : notRead)
         << qMakePair(QStringLiteral("Тип"),
                      s ? (s->type.isEmpty() ? QStringLiteral("—") : escaped(s->type)) : notRead)
         << qMakePair(QStringLiteral("Диапазон"), s ? s->rangeText() : notRead)
         << qMakePair(QStringLiteral("Демпфирование (буфер)"),
                      s ? QString::number(s->dampingBuffer) : notRead)
         << qMakePair(QStringLiteral("Компенсация ХС"),
                      s ? DeviceDescription::onOff(s->compensation) : notRead)
         << qMakePair(
                QStringLiteral("Гистерезис"),
                s ? (s->hysteresis ? CsvFormat::valueText(*s->hysteresis) : QStringLiteral("—"))
                  : notRead);
    const auto &c = device->correction;
    rows << qMakePair(QStringLiteral("Коррекция"),
                      c ? DeviceDescription::onOff(c->enabled) : notRead);
    if (c) {
        QStringList pairs;
        for (size_t i = 0; i < c->reference.size(); ++i)
            pairs << CsvFormat::valueText(c->measured[i]) + QStringLiteral(" → ") +
                         CsvFormat::valueText(c->reference[i]);
        rows << qMakePair(QStringLiteral("Точки коррекции (измеренное → опорное)"),
                          pairs.join(QStringLiteral("; ")));
    } else {
        rows << qMakePair(QStringLiteral("Точки коррекции"), notRead);
    }
    return html + table(rows);
}

QString runSection(const RunReport &report, const RunSummary &summary)
{
    const PointStore &points = *report.points;
    const QString end =
        points.isEmpty() ? QStringLiteral("—")
                         : timeText(QDateTime::fromMSecsSinceEpoch(points.time(points.size() - 1)));
    QString html =
        QStringLiteral("<h3>Испытание</h3>") +
        table({{QStringLiteral("Файл"), escaped(QFileInfo(report.csvPath).fileName())},
               {QStringLiteral("Начало"), timeText(report.start)},
               {QStringLiteral("Конец (последняя строка)"), end},
               {QStringLiteral("Длительность"), RunSummary::durationText(summary.durationMs)},
               {QStringLiteral("Строк"), QString::number(summary.rows)}});
    if (summary.rows == 0)
        html += QStringLiteral("<p><b>В испытании нет ни одной строки:</b> сводка, график и "
                               "проверка выходного тока пусты.</p>");
    else if (summary.rows == 1)
        html += QStringLiteral("<p><b>В испытании одна строка:</b> длительность нулевая, дрейф "
                               "не вычисляется.</p>");
    return html;
}

QString checkSection(const RunReport &report, const OutputCheck &check)
{
    QString html = QStringLiteral(
        "<h3>Проверка выходного тока</h3>"
        "<p>В каждой строке ток, который сообщает прибор (Iout), сравнивается с током "
        "4 + 16 · (Корр − НП) / (ВП − НП) мА, ограниченным пределами 3.8 … 20.5 мА; отклонение "
        "дано в % диапазона 16 мА. <b>Проверка использует ток, который сообщает сам прибор, а не "
        "показания миллиамперметра</b>; проверка по миллиамперметру в токовой петле — дело "
        "калибровки.</p>");
    QList<QPair<QString, QString>> rows;
    if (report.device && report.device->settings)
        rows << qMakePair(QStringLiteral("Диапазон (НП … ВП)"),
                          report.device->settings->rangeText());
    rows << qMakePair(QStringLiteral("Допуск"),
                      CsvFormat::valueText(check.tolerance) + QStringLiteral(" % диапазона"));
    if (check.computed()) {
        rows << qMakePair(QStringLiteral("Строк проверено"),
                          QStringLiteral("%1 (пропущено без значений: %2)")
                              .arg(check.rowsChecked)
                              .arg(check.rowsSkipped))
             << qMakePair(QStringLiteral("Наибольшее отклонение"),
                          percent(check.largest) +
                              QStringLiteral(" (строка %1)")
                                  .arg(timeText(QDateTime::fromMSecsSinceEpoch(check.largestAt))))
             << qMakePair(QStringLiteral("Среднее отклонение"), percent(check.mean));
    }
    const QString colour = check.outcome == OutputCheck::Outcome::Passed
                               ? QStringLiteral("#1b7a1b")
                               : QStringLiteral("#b01c1c");
    QString verdict = QStringLiteral("<span style='font-size:large; color:%1'><b>%2</b></span>")
                          .arg(colour, escaped(check.verdict()));
    if (check.computed())
        verdict += QStringLiteral("; ") + escaped(check.coveredText());
    rows << qMakePair(QStringLiteral("Заключение"), verdict);
    return html + table(rows);
}

} // namespace

QString RunReport::recordLine(const std::optional<DeviceDescription> &device,
                              const QDateTime &start, const QString &csvPath, bool eventsFound)
{
    const QString deviceText =
        device && device->identity
            ? QStringLiteral("Прибор № %1").arg(device->identity->serialNumber)
        : eventsFound ? QStringLiteral("Прибор не считан")
                      : QStringLiteral("События испытания не найдены");
    return QStringLiteral("%1 · начало %2 · %3")
        .arg(deviceText, timeText(start), QFileInfo(csvPath).fileName());
}

QString RunReport::fileName(int copy) const
{
    const QString serial = device && device->identity
                               ? QString::number(device->identity->serialNumber)
                               : QStringLiteral("unknown");
    return serial + QLatin1Char('_') +
           QLocale::c().toString(start, QStringLiteral("yyyy-MM-dd_hh-mm-ss")) +
           UserFile::copySuffix(copy) + QStringLiteral(".pdf");
}

RunReport RunReport::of(const LoggedRun &run, double tolerance, const RunChart *shownAs)
{
    RunReport report;
    report.csvPath = run.csvPath;
    report.start = run.start;
    report.device = run.device;
    report.eventsFound = run.eventsFound;
    report.points = &run.points;
    report.tolerance = tolerance;
    report.chartAspect = PrintedChart.width() / PrintedChart.height();
    const QString title = recordLine(run.device, run.start, run.csvPath, run.eventsFound);
    report.drawChart = [&run, shownAs, title](QPainter &painter, const QRectF &target) {
        if (shownAs) {
            RunChart::render(*shownAs, run.decimator, run.points, painter, target, PrintedChart);
            return;
        }
        QGraphicsScene scene; // owns the chart
        RunChart fresh;
        scene.addItem(fresh.chart());
        fresh.chart()->setTitle(title);
        RunChart::render(fresh, run.decimator, run.points, painter, target, PrintedChart);
    };
    return report;
}

QString RunReport::html() const
{
    return QStringLiteral("<h2>Отчёт об испытании преобразователя</h2><p>%1</p>")
               .arg(escaped(recordLine(device, start, csvPath, eventsFound))) +
           deviceSection(device, eventsFound) + runSection(*this, RunSummary::of(*points)) +
           checkSection(*this, check());
}

OutputCheck RunReport::check() const
{
    std::optional<OutputCheck::Range> range;
    if (device && device->settings)
        range = OutputCheck::Range{device->settings->lower, device->settings->upper};
    return OutputCheck::of(*points, range, tolerance);
}

QString RunReport::write(const QString &directory, QString *error) const
{
    const QString summaryTable =
        QStringLiteral("<h3>Сводка</h3>") + ReportPdf::grid(RunSummary::of(*points).table());
    // The text as many pages as it takes, then the chart and the summary on one.
    const auto paint = [&](QPdfWriter &writer) {
        return ReportPdf::paintPages(
            writer, html(), QDateTime::currentDateTime(),
            [&](QPainter &painter, const QRectF &body) {
                const double chartHeight =
                    std::min(body.width() / chartAspect, body.height() * 0.6);
                if (drawChart)
                    drawChart(painter, QRectF(0, 0, body.width(), chartHeight));
                QTextDocument summary;
                ReportPdf::setUp(summary, writer, summaryTable, body.height());
                painter.translate(0, chartHeight + painter.fontMetrics().height() * 2.0);
                summary.drawContents(&painter);
            });
    };
    return ReportPdf::write(
        directory, [this](int copy) { return fileName(copy); },
        QStringLiteral("Отчёт об испытании: %1")
            .arg(recordLine(device, start, csvPath, eventsFound)),
        QPageLayout::Portrait, paint, error);
}
