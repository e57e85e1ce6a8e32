#include "plot/chartwindow.h"

#include "plot/chartcompat.h"
#include "plot/spreadsheetexport.h"
#include "runreport/runreport.h"
#include "testlog/csvformat.h"
#include "ui_chartwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressDialog>

ChartWindow::ChartWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::ChartWindow),
      reportTolerance(OutputCheck::DefaultTolerance)
{
    ui->setupUi(this);
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
    buildChart();
}

ChartWindow::~ChartWindow()
{
    delete ui;
}

void ChartWindow::buildChart()
{
    view = new QChartView(chart.chart(), ui->chartFrame);
    view->setRenderHint(QPainter::Antialiasing);
    ui->chartLayout->addWidget(view);
    // A click on a legend entry hides its series or brings it back.
    const QList<QLegendMarker *> markers = chart.chart()->legend()->markers();
    for (QLegendMarker *marker : markers) {
        const int s = chart.seriesOf(marker);
        connect(marker, &QLegendMarker::clicked, this, [this, s] {
            chart.setSeriesVisible(s, !chart.series(s)->isVisible());
            redraw();
        });
    }
}

void ChartWindow::startRun(const QString &csvPath, const std::optional<DeviceDescription> &device)
{
    run.clear();
    run.csvPath = csvPath;
    run.start = QDateTime::currentDateTime();
    run.device = device;
    run.eventsFound = true;
    showPlot(&run);
}

void ChartWindow::addRow(const QDateTime &time, const QList<double> &values)
{
    PointStore::Values row;
    for (int s = 0; s < PointStore::Series; ++s)
        row[size_t(s)] = float(values.value(s, 0.0));
    // Whole seconds, as the run's file has them: a run lasts as long live as
    // read back from its file.
    const qint64 ms = time.toMSecsSinceEpoch() / 1000 * 1000;
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
    const bool hasRun = !plot->csvPath.isEmpty();
    ui->buttonReport->setEnabled(hasRun);
    ui->buttonExportExcel->setEnabled(hasRun && !excelExport);
    if (plot == &file)
        ui->sourceLabel->setText(
            QStringLiteral("Журнал: %1").arg(QFileInfo(plot->csvPath).fileName()));
    else if (hasRun)
        ui->sourceLabel->setText(
            QStringLiteral("Испытание от %1").arg(CsvFormat::timeText(plot->start)));
    else
        ui->sourceLabel->setText(QStringLiteral("Испытание не запускалось"));
    chart.chart()->setTitle(title());
    redraw();
}

QString ChartWindow::title() const
{
    return shown->csvPath.isEmpty() ? QString()
                                    : RunReport::recordLine(shown->device, shown->start,
                                                            shown->csvPath, shown->eventsFound);
}

void ChartWindow::redraw()
{
    redrawTimer.stop();
    chart.draw(shown->decimator, shown->points);
    updateSummary();
}

void ChartWindow::updateSummary()
{
    const RunSummary summary = RunSummary::of(shown->points);
    // The titles are the form's; the figures come as a report prints them.
    const QList<QStringList> table = summary.table();
    for (int s = 0; s < PointStore::Series; ++s) {
        for (int c = 0; c < ui->summaryTable->columnCount(); ++c)
            ui->summaryTable->item(s, c)->setText(table[s + 1][c + 1]);
    }
    ui->summaryLabel->setText(QStringLiteral("Длительность: %1, строк: %2")
                                  .arg(RunSummary::durationText(summary.durationMs))
                                  .arg(summary.rows));
}

bool ChartWindow::openLog(const QString &path)
{
    QString unread;
    if (!file.read(path, &unread)) {
        QMessageBox::information(
            this, QStringLiteral("Внимание!"),
            QStringLiteral("Не удалось открыть файл\n%1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    showPlot(&file);
    if (!unread.isEmpty())
        QMessageBox::information(this, QStringLiteral("Журнал открыт не полностью"), unread);
    return true;
}

bool ChartWindow::saveImage(const QString &path)
{
    return view->grab().save(path, "PNG");
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

// A month's run takes seconds to write: the job writes a copy of its rows in a
// thread of its own, and the window goes on meanwhile. The box shows only for
// an export that takes longer than half a second.
bool ChartWindow::exportForExcel(const QString &path)
{
    if (excelExport)
        return false;
    // Two names of one file, or one name of a file that is gone.
    const QFileInfo target(path);
    const QFileInfo run(shown->csvPath);
    if (target.absoluteFilePath() == run.absoluteFilePath() || (target.exists() && target == run)) {
        tellExportFailed(path, QStringLiteral("Это файл самого испытания, он останется как есть."));
        return false;
    }
    excelExport = new SpreadsheetExportJob(path, shown->points, this);
    ui->buttonExportExcel->setEnabled(false);
    const int rows = excelExport->rows();
    auto *progress = new QProgressDialog(QStringLiteral("Экспорт для Excel…"),
                                         QStringLiteral("Отмена"), 0, rows, this);
    progress->setWindowTitle(QStringLiteral("Экспорт для Excel"));
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(500);
    progress->setValue(0);
    connect(excelExport, &SpreadsheetExportJob::progress, progress, [progress, rows](int written) {
        progress->setLabelText(QStringLiteral("Записано строк: %1 из %2").arg(written).arg(rows));
        progress->setValue(written);
    });
    connect(progress, &QProgressDialog::canceled, excelExport, &SpreadsheetExportJob::cancel);
    connect(excelExport, &SpreadsheetExportJob::finished, this,
            [this, path, progress](bool ok, const QString &error) {
                progress->hide();
                progress->deleteLater();
                excelExport->deleteLater();
                excelExport = nullptr;
                ui->buttonExportExcel->setEnabled(!shown->csvPath.isEmpty());
                emit excelExportFinished(ok);
                if (!ok && !error.isEmpty())
                    tellExportFailed(path, error);
            });
    excelExport->start();
    return true;
}

void ChartWindow::tellExportFailed(const QString &path, const QString &error)
{
    QMessageBox::information(this, QStringLiteral("Внимание!"),
                             QStringLiteral("Не удалось записать файл\n%1\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
}

void ChartWindow::on_buttonExportExcel_clicked()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт для Excel"),
                                                SpreadsheetExport::pathBeside(shown->csvPath),
                                                QStringLiteral("Файлы CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    exportForExcel(path);
}

QString ChartWindow::writeReport(const QString &directory, double tolerance)
{
    redraw(); // the rows that came since the last redraw go into the picture
    QString error;
    const QString path = RunReport::of(*shown, tolerance, &chart).write(directory, &error);
    if (path.isEmpty())
        QMessageBox::information(this, QStringLiteral("Внимание!"), error);
    return path;
}

void ChartWindow::on_buttonReport_clicked()
{
    bool ok = false;
    const double tolerance =
        QInputDialog::getDouble(this, QStringLiteral("Отчёт об испытании"),
                                QStringLiteral("Допуск выходного тока, % диапазона 16 мА:"),
                                reportTolerance, 0.001, 10.0, 3, &ok);
    if (!ok)
        return;
    reportTolerance = tolerance;
    const QString path =
        writeReport(QDir::current().filePath(QStringLiteral("reports")), tolerance);
    if (!path.isEmpty())
        QMessageBox::information(this, QStringLiteral("Отчёт сохранён"),
                                 QDir::toNativeSeparators(path));
}
