#include "plot/chartwindow.h"
#include "plot/spreadsheetexport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// "Экспорт для Excel…" runs beside the window: the rows that come meanwhile
// stay out of the file, and a cancelled export leaves nothing.
class ExcelExportTest : public QObject
{
    Q_OBJECT

    static QList<double> valuesOf(int row) { return {row * 0.5, 2, 3, 4, 4.0 + row % 16}; }

private slots:
    void rowsThatComeDuringTheExportStayOut()
    {
        QTemporaryDir dir;
        QFile run(dir.filePath("run.csv"));
        QVERIFY(run.open(QIODevice::WriteOnly));
        ChartWindow chart;
        chart.startRun(run.fileName());
        const QDateTime start(QDate(2026, 12, 6), QTime(14, 5, 9));
        for (int row = 0; row < 20000; ++row)
            chart.addRow(start.addSecs(2 * row), valuesOf(row));
        const PointStore atStart = chart.points();
        QSignalSpy ended(&chart, &ChartWindow::excelExportFinished);
        const QString path = dir.filePath("run (Excel).csv");
        QVERIFY(chart.exportForExcel(path));
        QVERIFY(!chart.exportForExcel(dir.filePath("second.csv")));
        // Enough to move the window's rows elsewhere in memory while the export reads its own.
        for (int row = 20000; row < 60000; ++row)
            chart.addRow(start.addSecs(2 * row), valuesOf(row));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 60000);
        QCOMPARE(ended.first().first().toBool(), true);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == SpreadsheetExport::bytes(atStart, 0, atStart.size()));
    }

    void cancelledExportLeavesNoFile()
    {
        QTemporaryDir dir;
        PointStore points;
        for (int row = 0; row < 200000; ++row)
            points.append(1000 * qint64(row), {1, 2, 3, 4, 5});
        SpreadsheetExportJob job(dir.filePath("run (Excel).csv"), points);
        QSignalSpy ended(&job, &SpreadsheetExportJob::finished);
        job.start();
        job.cancel();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 60000);
        QCOMPARE(ended.first(), (QList<QVariant>{false, QString()}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_MAIN(ExcelExportTest)
#include "tst_excelexport.moc"
