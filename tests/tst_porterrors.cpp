#include "link/porterrors.h"
#include "link/serialworker.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class PortErrorsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::watchWarnings(); }
    void cleanup() { QCOMPARE(TestSupport::takeWiringWarnings(), QStringList()); }

    void everyCodeHasItsText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("no error") << 0 << QString();
        QTest::newRow("device not found") << 1 << QString();
        QTest::newRow("permission") << 2 << QStringLiteral("Доступ запрещен");
        QTest::newRow("open") << 3 << QStringLiteral("При открытии порта возникла ошибка");
        QTest::newRow("parity") << 4 << QStringLiteral("Ошибка четности");
        QTest::newRow("framing") << 5 << QStringLiteral("Ошибка фрейма");
        QTest::newRow("break condition") << 6 << QString();
        QTest::newRow("write") << 7 << QStringLiteral("Ошибка записи");
        QTest::newRow("read") << 8 << QString();
        QTest::newRow("resource") << 9 << QStringLiteral("Соединение с модемом потеряно");
        QTest::newRow("unsupported") << 10 << QStringLiteral("Неподдерживаемая операция");
        QTest::newRow("unknown") << 11 << QStringLiteral("Неизвестная ошибка");
        QTest::newRow("timeout") << 12 << QStringLiteral("Превышено время ожидания");
        QTest::newRow("not open") << 13 << QStringLiteral("Ошибка подключения к модему");
        QTest::newRow("beyond the table") << 14 << QString();
        QTest::newRow("far beyond") << 200 << QString();
    }
    void everyCodeHasItsText()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(portErrorMessage(QSerialPort::SerialPortError(code)), text);
    }

    void workerShowsAPortErrorBox()
    {
        QSerialPort port;
        SerialWorker worker(&port);
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([&] { worker.portError(QSerialPort::ResourceError); });
        QVERIFY(box.shown);
        QCOMPARE(box.className, QStringLiteral("QMessageBox"));
        QCOMPARE(box.title, QStringLiteral("Ошибка порта"));
        QCOMPARE(box.text, QStringLiteral("Соединение с модемом потеряно"));
    }

    void silentCodesShowNothing()
    {
        QSerialPort port;
        SerialWorker worker(&port);
        TestSupport::ModalWatcher watcher;
        for (auto code : {QSerialPort::NoError, QSerialPort::DeviceNotFoundError,
                          QSerialPort::BreakConditionError, QSerialPort::ReadError})
            worker.portError(code);
        QTest::qWait(100);
        QVERIFY(watcher.boxes().isEmpty());
    }

    void errorsInQuickSuccessionShowOneBoxAfterAnother()
    {
        PortErrorReporter reporter;
        QStringList shown;
        int openAtOnce = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (shown.isEmpty())
                reporter.report(QStringLiteral("Ошибка записи")); // arrives while the first is open
            int open = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                open += qobject_cast<QMessageBox *>(widget) && widget->isVisible() ? 1 : 0;
            openAtOnce = qMax(openAtOnce, open);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            shown.append(box->text());
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        reporter.report(QStringLiteral("Соединение с модемом потеряно"));
        QTRY_COMPARE(shown.size(), 2);
        QCOMPARE(shown, QStringList({"Соединение с модемом потеряно", "Ошибка записи"}));
        QCOMPARE(openAtOnce, 1);
    }
};

QTEST_MAIN(PortErrorsTest)
#include "tst_porterrors.moc"
