#include "app/mainwindow.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using TestSupport::adcReply;
using TestSupport::deliver;

// While a reply's message box is open, later replies wait for it to close and
// are then handled in the order they came.
class ReplyOrderTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void laterRepliesWaitForTheOpenBox()
    {
        // Two reads of the user's, answered below by hand: a device that is
        // told not to answer leaves the line to the test.
        TestSupport::SimWindow rig;
        veltra::sim::Faults silent;
        silent.noAnswer = true;
        rig.sim().setFaults(silent);
        QVERIFY(rig.connectWindow());
        rig.click("buttonReadADC");
        rig.click("buttonReadADC");
        MainWindow &window = rig.window();
        auto *fsr = window.findChild<QDoubleSpinBox *>("ADC_FSR");
        QStringList texts;
        QList<double> fsrWhileOpen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (texts.isEmpty()) {
                // The second reply arrives while the first box is still open.
                deliver(window, adcReply(3, 2.5f, 0.5f));
                QTest::qWait(100);
            }
            texts.append(box->text());
            fsrWhileOpen.append(fsr->value());
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        deliver(window, adcReply(4, 1.5f, 0.25f));
        QTRY_COMPARE(texts.size(), 2);
        QCOMPARE(texts, QStringList({"Код 4: Переданный параметр слишком маленький!!",
                                     "Код 3: Переданный параметр слишком большой!!"}));
        // The first box stood before its reply was decoded, and the second
        // reply was not decoded under it.
        QCOMPARE(fsrWhileOpen, QList<double>({0.0, 1.5}));
        QTRY_COMPARE(fsr->value(), 2.5);
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }
};

QTEST_MAIN(ReplyOrderTest)
#include "tst_replyorder.moc"
