#include "rack/rackline.h"
#include "rack/rackwindow.h"
#include "session/devicesession.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The rack's window without a line: what it takes, what it refuses and says,
// and the names its panels answer to.
class RackWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }
    void cleanup() { QCOMPARE(TestSupport::takeWiringWarnings(), QStringList()); }

    void takesSixteenLinesAndRefusesMoreOrTwice()
    {
        TestSupport::ModalWatcher boxes;
        RackWindow rack;
        auto *notice = rack.findChild<QLabel *>(QStringLiteral("rackNotice"));
        QVERIFY(notice);
        for (int i = 1; i <= RackWindow::MaxLines; ++i)
            QVERIFY(rack.addLine(QStringLiteral("COM%1").arg(i)));
        QVERIFY(!rack.addLine(QStringLiteral("COM3")));
        QCOMPARE(notice->text(), QStringLiteral("Порт COM3 уже на стенде."));
        QVERIFY(!rack.addLine(QStringLiteral("COM17")));
        QCOMPARE(notice->text(),
                 QStringLiteral("На стенде не больше 16 линий: порт COM17 не добавлен."));

        const QList<QFrame *> panels =
            rack.findChildren<QFrame *>(QStringLiteral("rackLine"), Qt::FindChildrenRecursively);
        QCOMPARE(panels.size(), RackWindow::MaxLines);
        for (const char *name : {"rackConnect", "rackState", "rackSerial", "rackValues", "rackRows",
                                 "rackAge", "rackTrend", "rackStart", "rackStop", "rackRemove"})
            QVERIFY2(panels.first()->findChild<QWidget *>(QLatin1String(name)), name);
        QCOMPARE(panels.at(4)->property("port").toString(), QStringLiteral("COM5"));

        panels.at(4)->findChild<QPushButton *>(QStringLiteral("rackRemove"))->click();
        QTRY_COMPARE(rack.lines().size(), RackWindow::MaxLines - 1);
        QVERIFY(rack.addLine(QStringLiteral("COM17")));
        QCOMPARE(boxes.boxes().size(), 0);
    }

    // A line that cannot open says so on its panel, and the window asks nothing.
    void aPortThatWillNotOpenIsToldOnItsPanel()
    {
        TestSupport::ModalWatcher boxes;
        RackWindow rack;
        const QString missing = QStringLiteral("COM250"); // on no system here
        QVERIFY(rack.addLine(missing));
        auto *panel = rack.findChild<QFrame *>(QStringLiteral("rackLine"));
        panel->findChild<QPushButton *>(QStringLiteral("rackConnect"))->click();
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("rackNotice"))->text(),
                 QStringLiteral("Не подключено: порт не найден"));
        QVERIFY(!rack.lines().first()->isConnected());
        QCOMPARE(boxes.boxes().size(), 0);
    }

    // Hours of rows keep the trend bounded, spread from the first row to the last.
    void theTrendStaysBoundedOverALongRun()
    {
        RackLine line(QStringLiteral("COM1"));
        emit line.session()->runStarted();
        const QDateTime start = QDateTime::currentDateTime();
        constexpr int Rows = 10000;
        for (int i = 0; i < Rows; ++i)
            emit line.session()->rowLogged(start.addMSecs(2000LL * i), {0, 0, double(i), 0, 4});
        const QVector<QPointF> &trend = line.trend();
        QVERIFY2(trend.size() <= RackLine::TrendPoints, qPrintable(QString::number(trend.size())));
        QVERIFY(trend.size() >= RackLine::TrendPoints / 4);
        QCOMPARE(trend.first().y(), 0.0);
        QVERIFY2(trend.last().y() > Rows * 0.95, qPrintable(QString::number(trend.last().y())));
    }
};

QTEST_MAIN(RackWindowTest)
#include "tst_rackwindow.moc"
