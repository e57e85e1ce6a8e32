#include "runreport/runreport.h"

#include "app/userfile.h"
#include "plot/runsummary.h"
#include "testlog/csvformat.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr int Dpi = 300;
constexpr double PointSize = 9.5;

QString timeText(const QDateTime &time)
{
    return time.isValid() ? CsvFormat::timeText(time) : QStringLiteral("—");
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

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

QString grid(const QList<QStringList> &rows)
{
    QString html =
        QStringLiteral("<table border='1' cellspacing='0' cellpadding='3' width='100%'>");
    for (int r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < rows[r].size(); ++c) {
            const bool title = r == 0 || c == 0;
            html += QStringLiteral("<td align='%1'>%2%3%4</td>")
                        .arg(c == 0 ? QStringLiteral("left") : QStringLiteral("right"),
                             title ? QStringLiteral("<b>") : QString(), escaped(rows[r][c]),
                             title ? QStringLiteral("</b>") : QString());
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// With its sign, unless it shows as zero.
QString percent(double value)
{
    const QString text = CsvFormat::valueText(value);
    const bool plus = value > 0 && text != QLatin1String("0.000");
    return (plus ? QStringLiteral("+") : QString()) + text + QStringLiteral(" %");
}

QString deviceSection(const std::optional<DeviceDescription> &device)
{
    QString html = QStringLiteral("<h3>Прибор</h3>");
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
    rows << qMakePair(QStringLiteral("Заключение"),
                      QStringLiteral("<span style='font-size:large; color:%1'><b>%2</b></span>")
                          .arg(colour, escaped(check.verdict())));
    return html + table(rows);
}

QString style()
{
    return QStringLiteral("<style>h2 { margin-bottom: 2px; } h3 { margin-top: 14px; "
                          "margin-bottom: 4px; } td { vertical-align: top; }</style>");
}

// A document laid out for the writer's pages, `height` device pixels tall.
void setUp(QTextDocument &document, QPdfWriter &writer, const QString &html, double height)
{
    document.documentLayout()->setPaintDevice(&writer);
    QFont font = QApplication::font();
    font.setPointSizeF(PointSize);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setPageSize(QSizeF(writer.width(), height));
    document.setHtml(style() + html);
}

void drawPage(QPainter &painter, QTextDocument &document, int page)
{
    const QSizeF size = document.pageSize();
    painter.save();
    painter.translate(0, -page * size.height());
    document.drawContents(&painter, QRectF(QPointF(0, page * size.height()), size));
    painter.restore();
}

// Numbers each page in its footer as it ends it.
class Pages
{
public:
    Pages(QPdfWriter &writer, QPainter &painter, int total)
        : writer(writer), painter(painter), total(total),
          created(CsvFormat::timeText(QDateTime::currentDateTime()))
    {
    }
    static double footerHeight(const QPainter &painter)
    {
        return painter.fontMetrics().height() * 2.0;
    }
    // False when the next page cannot be started.
    bool finish()
    {
        ++number;
        const double height = footerHeight(painter);
        const QRectF footer(0, writer.height() - height, writer.width(), height);
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom,
                         QStringLiteral("Конфигуратор Veltra · отчёт создан %1").arg(created));
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("стр. %1 из %2").arg(number).arg(total));
        return number == total || writer.newPage();
    }

private:
    QPdfWriter &writer;
    QPainter &painter;
    int total;
    QString created;
    int number = 0;
};

} // namespace

QString RunReport::recordLine(const std::optional<DeviceDescription> &device,
                              const QDateTime &start, const QString &csvPath)
{
    const QString deviceText =
        device && device->identity
            ? QStringLiteral("Прибор № %1").arg(device->identity->serialNumber)
            : QStringLiteral("Прибор не считан");
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

bool RunReport::paint(QPdfWriter &writer) const
{
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    QFont font = QApplication::font();
    font.setPointSizeF(PointSize * 0.85);
    painter.setFont(font);
    const double footerHeight = Pages::footerHeight(painter);
    const double bodyHeight = writer.height() - footerHeight * 1.5;
    const RunSummary figures = RunSummary::of(*points);

    QTextDocument text;
    setUp(text, writer,
          QStringLiteral("<h2>Отчёт об испытании преобразователя</h2><p>%1</p>")
                  .arg(escaped(recordLine(device, start, csvPath))) +
              deviceSection(device) + runSection(*this, figures) + checkSection(*this, check()),
          bodyHeight);
    QTextDocument summaryTable;
    setUp(summaryTable, writer, QStringLiteral("<h3>Сводка</h3>") + grid(summary), bodyHeight);

    // The text as many pages as it takes, then the chart and the summary on one.
    const int textPages = text.pageCount();
    Pages pages(writer, painter, textPages + 1);
    for (int page = 0; page < textPages; ++page) {
        drawPage(painter, text, page);
        if (!pages.finish())
            return false;
    }
    const double chartHeight = std::min(writer.width() / chartAspect, bodyHeight * 0.6);
    if (drawChart)
        drawChart(painter, QRectF(0, 0, writer.width(), chartHeight));
    painter.translate(0, chartHeight + footerHeight);
    summaryTable.drawContents(&painter);
    painter.resetTransform();
    pages.finish();
    return painter.end();
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
    const QDir dir(directory);
    QFile file;
    const auto pathOf = [&](int copy) { return dir.filePath(fileName(copy)); };
    if (!dir.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("Не удалось создать папку отчётов\n%1")
                     .arg(UserFile::shownPath(directory));
        return {};
    }
    if (!UserFile::createNew(file, pathOf, QIODevice::WriteOnly)) {
        *error = QStringLiteral("Не удалось создать файл отчёта\n%1\n%2")
                     .arg(UserFile::shownPath(file.fileName()), file.errorString());
        return {};
    }
    const QString path = file.fileName();
    bool written = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(Dpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 15, 15, 12), QPageLayout::Millimeter);
        writer.setTitle(
            QStringLiteral("Отчёт об испытании: %1").arg(recordLine(device, start, csvPath)));
        writer.setCreator(QStringLiteral("Конфигуратор Veltra"));
        written = paint(writer);
    }
    if (!written || file.error() != QFileDevice::NoError || !file.flush()) {
        *error = QStringLiteral("Не удалось записать файл отчёта\n%1\n%2")
                     .arg(UserFile::shownPath(path), file.errorString());
        file.close();
        file.remove();
        return {};
    }
    file.close();
    return path;
}
