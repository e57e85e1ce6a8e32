#include "app/qttranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTest>

// Qt's own texts in Russian, the numbers as they were.
class QtTranslationsTest : public QObject
{
    Q_OBJECT
private slots:
    void qtTextsAreRussianAndNumbersKeepTheirPoint()
    {
        const QLocale before;
        QDoubleSpinBox number;
        number.setValue(1.5);
        const QString shownBefore = number.text();

        const QString from = QtTranslations::install(*qApp);
        QVERIFY2(!from.isEmpty(), qPrintable("no catalogue in " +
                                             QtTranslations::folders().join(QStringLiteral(", "))));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"),
                 QStringLiteral("&Имя файла:"));
        QCOMPARE(QLocale(), before);
        QDoubleSpinBox after;
        after.setValue(1.5);
        QCOMPARE(after.text(), shownBefore);
    }
};

QTEST_MAIN(QtTranslationsTest)
#include "tst_qttranslations.moc"
