#include "calibration/certificatedialog.h"
#include "calibration/correctionwizard.h"
#include "calibration/correctionwizarddialog.h"
#include "calibration/looptest.h"
#include "calibration/looptestdialog.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::SimWindow;

// The calibration dialogs against the simulator, driven as an engineer does:
// the reference applied (the simulator's temperature set), typed, measured;
// the meter read (the simulator's loop current) and typed.
class CalibrationTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;
    std::unique_ptr<SimWindow> rig;

    template <typename T> T *in(QWidget *dialog, const char *name)
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    void applyTemperature(double celsius, double noise = 0.005)
    {
        veltra::sim::Process process;
        process.temperature = celsius;
        process.noise = noise;
        rig->sim().setProcess(process);
    }
    QString journalText()
    {
        QString text;
        QDirIterator files(QStringLiteral("journal"), {QStringLiteral("*.csv")});
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(file.readAll());
        }
        return text;
    }
    CorrectionWizardDialog *openWizard(int timeoutMs)
    {
        rig->find<QAction>("correctionWizard")->trigger();
        auto *dialog = rig->window().findChild<CorrectionWizardDialog *>();
        if (!dialog)
            return nullptr;
        CorrectionWizard::Settings settings = dialog->wizard()->settings();
        settings.intervalMs = 50;
        settings.timeoutMs = timeoutMs;
        dialog->wizard()->setSettings(settings);
        in<QSpinBox>(dialog, "correctionSteadyCount")->setValue(3);
        return dialog;
    }
    // The five steps with the meter read off the simulator; true once done.
    bool runLoopTest(LoopTestDialog *dialog)
    {
        dialog->test()->setReadingInterval(50);
        in<QPushButton>(dialog, "loopStart")->click();
        for (int step = 0; step < 5; ++step) {
            if (!QTest::qWaitFor([&] { return dialog->test()->phase() == LoopTest::Phase::Meter; }))
                return false;
            auto *meter = in<QLineEdit>(dialog, "loopMeter");
            meter->setText("twelve");
            in<QPushButton>(dialog, "loopTake")->click();
            if (!in<QLabel>(dialog, "loopStatus")->text().contains("числом"))
                return false;
            // A comma as the decimal mark, as a meter's display may be read.
            meter->setText(QString::number(rig->sim().loopCurrent(), 'f', 3).replace('.', ','));
            in<QPushButton>(dialog, "loopTake")->click();
        }
        return QTest::qWaitFor([&] { return dialog->test()->phase() == LoopTest::Phase::Done; });
    }
    bool measurePoint(CorrectionWizardDialog *dialog, int row, double reference)
    {
        applyTemperature(reference);
        in<QTableWidget>(dialog, "correctionPoints")->selectRow(row);
        in<QLineEdit>(dialog, "correctionReference")->setText(QString::number(reference));
        in<QPushButton>(dialog, "correctionMeasure")->click();
        CorrectionWizard *wizard = dialog->wizard();
        return QTest::qWaitFor([&] { return wizard->measuring() < 0 && wizard->isActive(); },
                               5000) &&
               (wizard->phase() == CorrectionWizard::Phase::AsLeft
                    ? wizard->result().points.at(row).asLeft.has_value()
                    : wizard->measured(row));
    }

private slots:
    void initTestCase()
    {
        TestSupport::watchWarnings();
        QVERIFY(QDir::setCurrent(workDir.path()));
    }

    void init()
    {
        rig = std::make_unique<SimWindow>();
        QVERIFY(rig->connectWindow());
    }

    void cleanup()
    {
        rig.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void fivePointCorrectionIsWrittenAndLeftWithinTolerance()
    {
        const double references[] = {0, 25, 50, 75, 100};
        CorrectionWizardDialog *dialog = openWizard(5000);
        QVERIFY(dialog);
        CorrectionWizard *wizard = dialog->wizard();
        QTRY_COMPARE(wizard->phase(), CorrectionWizard::Phase::AsFound);
        // Out of the sensing element's limits, and twice the same point.
        in<QLineEdit>(dialog, "correctionReference")->setText("900");
        in<QPushButton>(dialog, "correctionMeasure")->click();
        QVERIFY(in<QLabel>(dialog, "correctionStatus")->text().contains("вне пределов"));
        for (int row = 0; row < 5; ++row)
            QVERIFY2(measurePoint(dialog, row, references[row]), qPrintable(QString::number(row)));
        in<QLineEdit>(dialog, "correctionReference")->setText("25,0");
        in<QPushButton>(dialog, "correctionMeasure")->click();
        QVERIFY(in<QLabel>(dialog, "correctionStatus")->text().contains("уже взято в точке 2"));

        in<QPushButton>(dialog, "correctionWrite")->click();
        QTRY_COMPARE(wizard->phase(), CorrectionWizard::Phase::AsLeft);
        const veltra::sim::CorrectionPoints written = rig->sim().state().correction;
        QVERIFY(written.enabled);
        for (int row = 0; row < 5; ++row) {
            QCOMPARE(written.reference[size_t(row)], float(references[row]));
            QCOMPARE(written.measured[size_t(row)],
                     float(wizard->result().points.at(row).measured));
        }
        for (int row = 0; row < 5; ++row)
            QVERIFY(measurePoint(dialog, row, references[row]));
        in<QPushButton>(dialog, "correctionAccept")->click();
        QCOMPARE(wizard->phase(), CorrectionWizard::Phase::Done);
        const CorrectionResult &result = wizard->result();
        QVERIFY(result.verified);
        QVERIFY2(result.asLeftPassed(),
                 qPrintable(QString::number(*result.points.at(4).asLeftError())));
        // The converter's own error, found before the correction and gone after it.
        QVERIFY(!result.asFoundPassed());
        const QString journal = journalText();
        QVERIFY(journal.contains("точки коррекции записаны и проверены"));
        QVERIFY(journal.contains("принято: как найдено вне допуска, как оставлено в допуске"));
        dialog->close();

        // Then the loop test and the certificate of both, in the same connection.
        QTRY_VERIFY(rig->find<QAction>("loopTest")->isEnabled());
        rig->find<QAction>("loopTest")->trigger();
        auto *loop = rig->window().findChild<LoopTestDialog *>();
        QVERIFY(loop && runLoopTest(loop));
        loop->close();
        QTRY_VERIFY(rig->find<QAction>("calibrationCertificate")->isEnabled());
        rig->find<QAction>("calibrationCertificate")->trigger();
        auto *certificate = rig->window().findChild<CertificateDialog *>();
        QVERIFY(certificate);
        in<QLineEdit>(certificate, "certificateOperator")->setText("Иванов И. И.");
        in<QDoubleSpinBox>(certificate, "certificateAmbient")->setValue(21.5);
        in<QPushButton>(certificate, "certificateAddInstrument")->click();
        auto *instruments = in<QTableWidget>(certificate, "certificateInstruments");
        const QStringList cells{"Калибратор КТ-1", "123", "01.12.2099"};
        for (int column = 0; column < cells.size(); ++column)
            instruments->setItem(0, column, new QTableWidgetItem(cells[column]));
        in<QPushButton>(certificate, "certificateCreate")->click();
        QVERIFY2(QFile::exists(certificate->writtenPath()),
                 qPrintable(in<QLabel>(certificate, "certificateOutcome")->text()));
        const QString text = TestSupport::pdfText(certificate->writtenPath()).simplified();
        const QString number = QDate::currentDate().toString("yyyy") + "-000001";
        for (const QString &expected :
             {"Протокол калибровки № " + number, QString("Заводской номер 1"),
              QString("Калибратор КТ-1 123 01.12.2099"),
              QString("Как найдено: вне допуска; как оставлено: в допуске"),
              QString("Итог: в допуске"), QString("Заключение: Годен")})
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in " + text));
        certificate->close();
    }

    void pointThatNeverSettlesIsNotTakenAndNothingIsWritten()
    {
        CorrectionWizardDialog *dialog = openWizard(600);
        QVERIFY(dialog);
        QTRY_COMPARE(dialog->wizard()->phase(), CorrectionWizard::Phase::AsFound);
        applyTemperature(30, 1.0);
        in<QLineEdit>(dialog, "correctionReference")->setText("30");
        in<QPushButton>(dialog, "correctionMeasure")->click();
        QTRY_VERIFY(in<QLabel>(dialog, "correctionStatus")->text().contains("не установились"));
        QVERIFY(!dialog->wizard()->measured(0));
        in<QPushButton>(dialog, "correctionCancel")->click();
        for (const veltra::sim::Request &request : rig->sim().requests())
            QVERIFY(request.type != 1); // no write
        QVERIFY(journalText().contains("отменено, ничего не записано"));
        QTRY_VERIFY(rig->find<QAction>("correctionWizard")->isEnabled());
    }

    void loopTestJudgesTheMeterAndReleasesTheOutput_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("trimmed") << 0.0 << "Вывод: годен";
        QTest::newRow("off by 0.05 mA") << 0.05 << "Вывод: не годен";
    }

    void loopTestJudgesTheMeterAndReleasesTheOutput()
    {
        QFETCH(double, offset);
        QFETCH(QString, verdict);
        veltra::sim::Faults faults;
        faults.currentOffset = offset;
        rig->sim().setFaults(faults);
        rig->find<QAction>("loopTest")->trigger();
        auto *dialog = rig->window().findChild<LoopTestDialog *>();
        QVERIFY(dialog);
        QVERIFY(runLoopTest(dialog));
        QVERIFY2(in<QLabel>(dialog, "loopVerdict")->text().startsWith(verdict + " ("),
                 qPrintable(in<QLabel>(dialog, "loopVerdict")->text()));
        QCOMPARE(rig->sim().state().fixedCurrent, 0.0f);
        QVERIFY(dialog->test()->result().released);
        QVERIFY(in<QLabel>(dialog, "loopStatus")->text().contains("Выход возвращён к измерению"));
    }

    void lostLineStopsTheLoopTestAndSaysTheOutputMayBeFixed()
    {
        rig->find<QAction>("loopTest")->trigger();
        auto *dialog = rig->window().findChild<LoopTestDialog *>();
        in<QPushButton>(dialog, "loopStart")->click();
        QTRY_COMPARE(dialog->test()->phase(), LoopTest::Phase::Meter);
        rig->sim().hangUp();
        QTRY_COMPARE(dialog->test()->phase(), LoopTest::Phase::Stopped);
        QCOMPARE(in<QLabel>(dialog, "loopStatus")->text(),
                 "Связь с прибором потеряна (шаг 4 мА). Выход мог остаться заданным: после "
                 "восстановления связи снимите заданный ток.");
        QVERIFY(dialog->test()->outputMayBeFixed());
    }
};

QTEST_MAIN(CalibrationTest)
#include "tst_calibration.moc"
