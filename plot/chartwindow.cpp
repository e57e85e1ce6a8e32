#include "plot/chartwindow.h"

#include "plot/chartcompat.h"
#include "plot/csvlogreader.h"
#include "testlog/csvformat.h"
#include "ui_chartwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace {

constexpr int CurrentSeries = 4; // the loop current, on the right-hand axis

QString figure(double value)
{
    return std::isnan(value) ? QStringLiteral("—") : CsvFormat::valueText(value);
}

// A range around [low, high] with a little room, never empty.
std::pair<double, double> padded(double low, double high)
{
    if (std::isnan(low) || std::isnan(high) || std::isinf(low) || std::isinf(high))
        return {0.0, 1.0};
    const double room = high > low ? (high - low) * 0.05 : qMax(1.0, std::abs(high) * 0.01);
    return {low - room, high + room};
}

} // namespace

struct ChartWindow::Chart
{
    QChart *chart = new QChart;
    QChartView *view = nullptr;
    QDateTimeAxis *timeAxis = new QDateTimeAxis;
    QValueAxis *valueAxis = new QValueAxis;
    QValueAxis *currentAxis = new QValueAxis;
    std::array<QLineSeries *, PointStore::Series> series{};
};

void ChartWindow::Plot::clear()
{
    points.clear();
    decimator.clear();
}

ChartWindow::ChartWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::ChartWindow), chart(new Chart)
{
    ui->setupUi(this);
    buildChart();
    redrawTimer.setSingleShot(true);
    redrawTimer.setInterval(RedrawMs);
    connect(&redrawTimer, &QTimer::timeout, this, &ChartWindow::redraw);
    ui->summaryTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->summaryTable->setFixedHeight(ui->summaryTable->horizontalHeader()->sizeHint().height() +
                                     PointStore::Series *
                                         ui->summaryTable->verticalHeader()->defaultSectionSize() +
                                     2 * ui->summaryTable->frameWidth());
    for (int r = 0; r < PointStore::Series; ++r) {
        for (int c = 0; c < ui->summaryTable->columnCount(); ++c) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->summaryTable->setItem(r, c, item);
        }
    }
    updateSummary();
}

ChartWindow::~ChartWindow()
{
    delete chart;
    delete ui;
}

void ChartWindow::buildChart()
{
    chart->view = new QChartView(chart->chart, ui->chartFrame);
    chart->view->setRenderHint(QPainter::Antialiasing);
    ui->chartLayout->addWidget(chart->view);

    QChart *c = chart->chart;
    c->legend()->setAlignment(Qt::AlignBottom);
    chart->timeAxis->setTitleText(QStringLiteral("Время"));
    chart->valueAxis->setTitleText(QStringLiteral("Значения"));
    chart->currentAxis->setTitleText(QStringLiteral("Ток, мА"));
    c->addAxis(chart->timeAxis, Qt::AlignBottom);
    c->addAxis(chart->valueAxis, Qt::AlignLeft);
    c->addAxis(chart->currentAxis, Qt::AlignRight);

    for (int s = 0; s < PointStore::Series; ++s) {
        auto *series = new QLineSeries;
        series->setName(QString::fromUtf8(CsvFormat::LegendNames[s]));
        c->addSeries(series);
        series->attachAxis(chart->timeAxis);
        series->attachAxis(s == CurrentSeries ? chart->currentAxis : chart->valueAxis);
        chart->series[size_t(s)] = series;
    }
    // A click on a legend entry hides its series or brings it back.
    const QList<QLegendMarker *> markers = c->legend()->markers();
    for (QLegendMarker *marker : markers) {
        const int s = int(std::find(chart->series.begin(), chart->series.end(), marker->series()) -
                          chart->series.begin());
        connect(marker, &QLegendMarker::clicked, this, [this, s] { toggleSeries(s); });
    }
    updateAxes();
}

void ChartWindow::toggleSeries(int series)
{
    if (series < 0 || series >= PointStore::Series)
        return;
    QLineSeries *line = chart->series[size_t(series)];
    line->setVisible(!line->isVisible());
    // A hidden series takes its legend entry along; the entry stays, greyed.
    for (QLegendMarker *marker : chart->chart->legend()->markers(line)) {
        marker->setVisible(true);
        QColor colour = marker->labelBrush().color();
        colour.setAlphaF(line->isVisible() ? 1.0 : 0.4);
        marker->setLabelBrush(colour);
        QBrush brush = marker->brush();
        QColor fill = brush.color();
        fill.setAlphaF(line->isVisible() ? 1.0 : 0.4);
        brush.setColor(fill);
        marker->setBrush(brush);
    }
    redraw();
}

void ChartWindow::startRun()
{
    run.clear();
    runTitle =
        QStringLiteral("Испытание от %1").arg(CsvFormat::timeText(QDateTime::currentDateTime()));
    showPlot(&run);
}

void ChartWindow::addRow(const QDateTime &time, const QList<double> &values)
{
    PointStore::Values row;
    for (int s = 0; s < PointStore::Series; ++s)
        row[size_t(s)] = float(values.value(s, 0.0));
    const qint64 ms = time.toMSecsSinceEpoch();
    run.points.append(ms, row);
    run.decimator.add(ms, row);
    // A closed window only keeps the rows; it draws them when it is shown.
    if (shown == &run && isVisible() && !redrawTimer.isActive())
        redrawTimer.start();
}

void ChartWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
}

void ChartWindow::showPlot(Plot *plot)
{
    shown = plot;
    ui->buttonShowRun->setEnabled(plot == &file);
    const QString title = plot == &file ? fileTitle : runTitle;
    ui->sourceLabel->setText(title.isEmpty() ? QStringLiteral("Испытание не запускалось") : title);
    redraw();
}

void ChartWindow::redraw()
{
    redrawTimer.stop();
    // A hidden series is brought up to date when it is shown again.
    for (int s = 0; s < PointStore::Series; ++s) {
        QLineSeries *series = chart->series[size_t(s)];
        if (series->isVisible())
            series->replace(shown->decimator.points(s));
    }
    updateAxes();
    updateSummary();
}

void ChartWindow::updateAxes()
{
    const PointStore &points = shown->points;
    if (points.isEmpty()) {
        const QDateTime now = QDateTime::currentDateTime();
        chart->timeAxis->setRange(now, now.addSecs(60));
        chart->timeAxis->setFormat(QStringLiteral("hh:mm:ss"));
        chart->valueAxis->setRange(0, 100);
        chart->currentAxis->setRange(4, 20);
        return;
    }
    const qint64 first = points.time(0);
    const qint64 last = qMax(points.time(points.size() - 1), first + 1000);
    chart->timeAxis->setFormat(last - first < 24 * 3600 * 1000 ? QStringLiteral("hh:mm:ss")
                                                               : QStringLiteral("dd.MM hh:mm"));
    chart->timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first),
                              QDateTime::fromMSecsSinceEpoch(last));

    double low = NAN;
    double high = NAN;
    for (int s = 0; s < PointStore::Series; ++s) {
        if (s == CurrentSeries || !chart->series[size_t(s)]->isVisible())
            continue;
        low = std::fmin(low, double(points.minimum(s)));
        high = std::fmax(high, double(points.maximum(s)));
    }
    const auto values = padded(low, high);
    chart->valueAxis->setRange(values.first, values.second);
    chart->valueAxis->applyNiceNumbers();
    const auto current = padded(points.minimum(CurrentSeries), points.maximum(CurrentSeries));
    chart->currentAxis->setRange(current.first, current.second);
    chart->currentAxis->applyNiceNumbers();
}

void ChartWindow::updateSummary()
{
    const RunSummary summary = RunSummary::of(shown->points);
    for (int s = 0; s < PointStore::Series; ++s) {
        const RunSummary::Value &v = summary.values[size_t(s)];
        const double figures[] = {v.minimum, v.maximum, v.mean, v.drift};
        for (int c = 0; c < 4; ++c)
            ui->summaryTable->item(s, c)->setText(figure(figures[c]));
    }
    ui->summaryLabel->setText(QStringLiteral("Длительность: %1, строк: %2")
                                  .arg(RunSummary::durationText(summary.durationMs))
                                  .arg(summary.rows));
}

bool ChartWindow::openLog(const QString &path)
{
    CsvLogReader reader;
    if (!reader.readFile(path)) {
        QMessageBox::information(
            this, QStringLiteral("Внимание!"),
            QStringLiteral("Не удалось открыть файл\n%1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QString report = reader.report(path);
    file.clear();
    file.points = reader.takePoints();
    for (int r = 0; r < file.points.size(); ++r) {
        PointStore::Values row;
        for (int s = 0; s < PointStore::Series; ++s)
            row[size_t(s)] = file.points.value(r, s);
        file.decimator.add(file.points.time(r), row);
    }
    fileTitle = QStringLiteral("Журнал: %1").arg(QFileInfo(path).fileName());
    showPlot(&file);
    if (!report.isEmpty())
        QMessageBox::information(this, QStringLiteral("Журнал открыт не полностью"), report);
    return true;
}

bool ChartWindow::saveImage(const QString &path)
{
    return chart->view->grab().save(path, "PNG");
}

void ChartWindow::on_buttonOpenLog_clicked()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Открыть журнал"), QDir::currentPath(),
                                     QStringLiteral("Журналы испытаний (*.csv);;Все файлы (*)"));
    if (!path.isEmpty())
        openLog(path);
}

void ChartWindow::on_buttonSaveImage_clicked()
{
    QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить изображение"),
                                     QDir::current().filePath(QStringLiteral("график.png")),
                                     QStringLiteral("Изображения PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!saveImage(path))
        QMessageBox::information(this, QStringLiteral("Внимание!"),
                                 QStringLiteral("Не удалось сохранить изображение\n%1")
                                     .arg(QDir::toNativeSeparators(path)));
}

void ChartWindow::on_buttonShowRun_clicked()
{
    showPlot(&run);
}
