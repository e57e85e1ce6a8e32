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
        // By name: Qt 6 renumbers the codes and drops three of them.
        QTest::newRow("no error") << int(QSerialPort::NoError) << QString();
        QTest::newRow("device not found") << int(QSerialPort::DeviceNotFoundError) << QString();
        QTest::newRow("permission")
            << int(QSerialPort::PermissionError) << QStringLiteral("Доступ запрещен");
        QTest::newRow("open") << int(QSerialPort::OpenError)
                              << QStringLiteral("При открытии порта возникла ошибка");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        QTest::newRow("parity") << int(QSerialPort::ParityError)
                                << QStringLiteral("Ошибка четности");
        QTest::newRow("framing") << int(QSerialPort::FramingError)
                                 << QStringLiteral("Ошибка фрейма");
        QTest::newRow("break condition") << int(QSerialPort::BreakConditionError) << QString();
#endif
        QTest::newRow("write") << int(QSerialPort::WriteError) << QStringLiteral("Ошибка записи");
        QTest::newRow("read") << int(QSerialPort::ReadError) << QString();
        QTest::newRow("resource") << int(QSerialPort::ResourceError)
                                  << QStringLiteral("Соединение с модемом потеряно");
        QTest::newRow("unsupported") << int(QSerialPort::UnsupportedOperationError)
                                     << QStringLiteral("Неподдерживаемая операция");
        QTest::newRow("unknown") << int(QSerialPort::UnknownError)
                                 << QStringLiteral("Неизвестная ошибка");
        QTest::newRow("timeout") << int(QSerialPort::TimeoutError)
                                 << QStringLiteral("Превышено время ожидания");
        QTest::newRow("not open") << int(QSerialPort::NotOpenError)
                                  << QStringLiteral("Ошибка подключения к модему");
        QTest::newRow("beyond the table") << int(QSerialPort::NotOpenError) + 1 << QString();
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
        for (auto code :
             {QSerialPort::NoError, QSerialPort::DeviceNotFoundError, QSerialPort::ReadError})
            worker.portError(code);
        QTest::qWait(100);
        QVERIFY(watcher.boxes().isEmpty());
    }

    void errorsInQuickSuccessionShowOneBoxEachAfterAnother()
    {
        PortErrorReporter reporter;
        QStringList shown;
        int openAtOnce = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (shown.isEmpty()) { // while the first is open: the same again, another twice
                for (const char *text :
                     {"Соединение с модемом потеряно", "Ошибка записи", "Ошибка записи"})
                    reporter.report(QString::fromUtf8(text));
            }
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
