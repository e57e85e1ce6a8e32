#include "plot/chartwindow.h"
#include "plot/spreadsheetexport.h"

#include <QTemporaryDir>
#include <QtTest>

// "Экспорт для Excel…" runs beside the window: the rows that come meanwhile
// stay out of the file, and a cancelled export leaves nothing.
class ExcelExportTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    void addRows(ChartWindow &chart, int first, int last)
    {
        for (int row = first; row < last; ++row)
            chart.addRow(QDateTime::fromSecsSinceEpoch(2 * row), {row * 0.5, 2, 3, 4, 5});
    }

private slots:
    void laterRowsStayOutAndACancelledExportLeavesNothing()
    {
        QFile run(dir.filePath("run.csv"));
        QVERIFY(run.open(QIODevice::WriteOnly));
        ChartWindow chart;
        chart.startRun(run.fileName());
        addRows(chart, 0, 20000);
        const PointStore atStart = chart.points();
        QSignalSpy ended(&chart, &ChartWindow::excelExportFinished);
        QVERIFY(chart.exportForExcel(dir.filePath("run (Excel).csv")));
        QVERIFY(!chart.exportForExcel(dir.filePath("second.csv")));
        addRows(chart, 20000, 60000); // moves the window's rows while the export reads its own
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 60000);
        QCOMPARE(ended.first().first().toBool(), true);
        QFile file(dir.filePath("run (Excel).csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == SpreadsheetExport::bytes(atStart, 0, atStart.size()));

        SpreadsheetExportJob job(dir.filePath("cancelled.csv"), chart.points());
        QSignalSpy cancelled(&job, &SpreadsheetExportJob::finished);
        job.start();
        job.cancel();
        QTRY_COMPARE_WITH_TIMEOUT(cancelled.size(), 1, 60000);
        QCOMPARE(cancelled.first(), (QList<QVariant>{false, QString()}));
        QCOMPARE(QDir(dir.path()).entryList({"cancelled*"}, QDir::Files), QStringList());
    }
};

QTEST_MAIN(ExcelExportTest)
#include "tst_excelexport.moc"
