// Checks of the manual packet window form: what the generated Ui::DebugWindow builds on a bare
// dialog. Controls are looked up by object name, because the window's handlers and the serial
// worker reach them by those names.

#include "ui_debugwindow.h"

#include <QtTest>

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTranslator>

#include <memory>

#include "support/formcheck.h"

using TestSupport::MarkingTranslator;
using TestSupport::only;
using TestSupport::WarningRecorder;

namespace {

// A dialog with the two handlers the manual packet window binds by name.
class HandlerProbe : public QDialog
{
    Q_OBJECT
public:
    QStringList calls;

public slots:
    void on_sendButton_clicked() { calls << QStringLiteral("on_sendButton_clicked"); }
    void on_manualSendButton_clicked() { calls << QStringLiteral("on_manualSendButton_clicked"); }
};

} // namespace

class DebugWindowFormTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QDialog> m_dialog;
    Ui::DebugWindow m_ui{};

    template <typename T> T *widget(const char *name) const
    {
        return only<T>(m_dialog.get(), QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        m_dialog = std::make_unique<QDialog>();
        const QStringList suspicious = TestSupport::buildFormWatchingWarnings(m_ui, m_dialog.get());
        QVERIFY2(suspicious.isEmpty(), qPrintable(suspicious.join(QLatin1Char('\n'))));
    }
    void cleanup() { m_dialog.reset(); }

    void buildingTheFormOnTheManualPacketWindowRaisesNoWarnings()
    {
        HandlerProbe probe;
        Ui::DebugWindow ui;
        const QStringList suspicious = TestSupport::buildFormWatchingWarnings(ui, &probe);
        QVERIFY2(suspicious.isEmpty(), qPrintable(suspicious.join(QLatin1Char('\n'))));
    }

    void dialogIsNamedTitledAndSized()
    {
        QCOMPARE(m_dialog->objectName(), QStringLiteral("DebugWindow"));
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Ручная посылка"));
        QCOMPARE(m_dialog->size(), QSize(722, 337));
    }

    void dialogHasNoFontOrStyleOfItsOwn()
    {
        QVERIFY(!m_dialog->testAttribute(Qt::WA_SetFont));
        QVERIFY(m_dialog->styleSheet().isEmpty());
    }

    void existingNameOfTheDialogIsKept()
    {
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("packets"));
        Ui::DebugWindow ui;
        ui.setupUi(&dialog);
        QCOMPARE(dialog.objectName(), QStringLiteral("packets"));
    }

    void everyObjectHasItsNameAndClass_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const QList<QPair<const char *, const char *>> objects = {
            {"gridLayout", "QGridLayout"},
            {"Tx", "QGroupBox"},
            {"gridLayout_2", "QGridLayout"},
            {"label", "QLabel"},
            {"TxCommand", "QSpinBox"},
            {"label_2", "QLabel"},
            {"TxData", "QLineEdit"},
            {"sendButton", "QPushButton"},
            {"Tx_2", "QGroupBox"},
            {"gridLayout_4", "QGridLayout"},
            {"label_5", "QLabel"},
            {"ManualTxData", "QLineEdit"},
            {"manualSendButton", "QPushButton"},
            {"manualSendLayout", "QHBoxLayout"},
            {"manualSendProgress", "QLabel"},
            {"manualCancelButton", "QPushButton"},
            {"Rx", "QGroupBox"},
            {"gridLayout_3", "QGridLayout"},
            {"label_3", "QLabel"},
            {"RxCommand", "QSpinBox"},
            {"label_4", "QLabel"},
            {"RxData", "QLineEdit"},
            {"trafficLayout", "QHBoxLayout"},
            {"recordTraffic", "QCheckBox"},
            {"trafficFile", "QLabel"},
        };
        for (const auto &object : objects)
            QTest::newRow(object.first)
                << QString::fromLatin1(object.first) << QString::fromLatin1(object.second);
    }

    void everyObjectHasItsNameAndClass()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        const QList<QObject *> found = m_dialog->findChildren<QObject *>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    }

    void formMembersPointAtTheNamedObjects()
    {
        QCOMPARE(m_ui.TxCommand, widget<QSpinBox>("TxCommand"));
        QCOMPARE(m_ui.TxData, widget<QLineEdit>("TxData"));
        QCOMPARE(m_ui.RxCommand, widget<QSpinBox>("RxCommand"));
        QCOMPARE(m_ui.RxData, widget<QLineEdit>("RxData"));
        QCOMPARE(m_ui.ManualTxData, widget<QLineEdit>("ManualTxData"));
        QCOMPARE(m_dialog->layout(), static_cast<QLayout *>(m_ui.gridLayout));
    }

    void containerUsesItsLayout_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("layout");
        QTest::newRow("Tx") << "Tx"
                            << "gridLayout_2";
        QTest::newRow("Tx_2") << "Tx_2"
                              << "gridLayout_4";
        QTest::newRow("Rx") << "Rx"
                            << "gridLayout_3";
    }

    void containerUsesItsLayout()
    {
        QFETCH(QString, container);
        QFETCH(QString, layout);
        QWidget *owner = only<QWidget>(m_dialog.get(), container);
        QVERIFY(owner != nullptr);
        QVERIFY(owner->layout() != nullptr);
        QCOMPARE(owner->layout()->objectName(), layout);
    }

    void widgetSitsInItsGridCell_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("columnSpan");
        QTest::newRow("Tx") << "Tx"
                            << "gridLayout" << 0 << 0 << 1;
        QTest::newRow("Tx_2") << "Tx_2"
                              << "gridLayout" << 1 << 0 << 1;
        QTest::newRow("Rx") << "Rx"
                            << "gridLayout" << 2 << 0 << 1;
        QTest::newRow("label") << "label"
                               << "gridLayout_2" << 0 << 0 << 1;
        QTest::newRow("TxCommand") << "TxCommand"
                                   << "gridLayout_2" << 0 << 1 << 2;
        QTest::newRow("label_2") << "label_2"
                                 << "gridLayout_2" << 1 << 0 << 1;
        QTest::newRow("TxData") << "TxData"
                                << "gridLayout_2" << 1 << 1 << 2;
        QTest::newRow("sendButton") << "sendButton"
                                    << "gridLayout_2" << 2 << 2 << 1;
        QTest::newRow("label_5") << "label_5"
                                 << "gridLayout_4" << 0 << 0 << 1;
        QTest::newRow("ManualTxData") << "ManualTxData"
                                      << "gridLayout_4" << 0 << 1 << 2;
        QTest::newRow("manualSendButton") << "manualSendButton"
                                          << "gridLayout_4" << 1 << 2 << 1;
        QTest::newRow("label_3") << "label_3"
                                 << "gridLayout_3" << 0 << 0 << 1;
        QTest::newRow("RxCommand") << "RxCommand"
                                   << "gridLayout_3" << 0 << 1 << 1;
        QTest::newRow("label_4") << "label_4"
                                 << "gridLayout_3" << 1 << 0 << 1;
        QTest::newRow("RxData") << "RxData"
                                << "gridLayout_3" << 1 << 1 << 1;
    }

    void widgetSitsInItsGridCell()
    {
        QFETCH(QString, name);
        QFETCH(QString, layout);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, columnSpan);
        QGridLayout *grid = only<QGridLayout>(m_dialog.get(), layout);
        QWidget *child = only<QWidget>(m_dialog.get(), name);
        QVERIFY(grid != nullptr);
        QVERIFY(child != nullptr);
        const int index = grid->indexOf(child);
        QVERIFY2(index >= 0, "the widget is not in this layout");
        int actualRow = -1, actualColumn = -1, rowSpan = -1, actualColumnSpan = -1;
        grid->getItemPosition(index, &actualRow, &actualColumn, &rowSpan, &actualColumnSpan);
        QCOMPARE(actualRow, row);
        QCOMPARE(actualColumn, column);
        QCOMPARE(rowSpan, 1);
        QCOMPARE(actualColumnSpan, columnSpan);
    }

    void dialogGridHasOneColumnWithASpacerBelow()
    {
        QGridLayout *grid = widget<QGridLayout>("gridLayout");
        QVERIFY(grid != nullptr);
        QCOMPARE(grid->columnCount(), 1);
        QCOMPARE(grid->rowCount(), 5);
        QLayoutItem *item = grid->itemAtPosition(4, 0);
        QVERIFY(item != nullptr);
        QSpacerItem *spacer = item->spacerItem();
        QVERIFY2(spacer != nullptr, "row 4 holds something other than a spacer");
        QCOMPARE(spacer->sizeHint(), QSize(20, 40));
        QCOMPARE(spacer->expandingDirections(), Qt::Vertical);
    }

    // No spacing or margins are set, so the layouts take what the style gives any new layout.
    void layoutsUseTheToolkitDefaults_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::newRow("gridLayout") << "gridLayout";
        QTest::newRow("gridLayout_2") << "gridLayout_2";
        QTest::newRow("gridLayout_4") << "gridLayout_4";
        QTest::newRow("gridLayout_3") << "gridLayout_3";
    }

    void layoutsUseTheToolkitDefaults()
    {
        QFETCH(QString, layout);
        QGridLayout *grid = only<QGridLayout>(m_dialog.get(), layout);
        QVERIFY(grid != nullptr);
        QWidget *owner = grid->parentWidget();
        QVERIFY(owner != nullptr);
        QWidget sameKind;
        if (qobject_cast<QGroupBox *>(owner) != nullptr)
            sameKind.setParent(m_dialog.get());
        auto *plain = new QGridLayout(&sameKind);
        QCOMPARE(grid->horizontalSpacing(), plain->horizontalSpacing());
        QCOMPARE(grid->verticalSpacing(), plain->verticalSpacing());
        QCOMPARE(grid->contentsMargins(), plain->contentsMargins());
    }

    void sizePolicies_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<int>("vertical");
        for (const char *group : {"Tx", "Tx_2", "Rx"})
            QTest::newRow(group) << QString::fromLatin1(group) << int(QSizePolicy::Minimum)
                                 << int(QSizePolicy::Maximum);
        for (const char *line : {"TxData", "ManualTxData", "RxData"})
            QTest::newRow(line) << QString::fromLatin1(line) << int(QSizePolicy::Minimum)
                                << int(QSizePolicy::Minimum);
        for (const char *button : {"sendButton", "manualSendButton"})
            QTest::newRow(button) << QString::fromLatin1(button) << int(QSizePolicy::Maximum)
                                  << int(QSizePolicy::Minimum);
    }

    void sizePolicies()
    {
        QFETCH(QString, name);
        QFETCH(int, horizontal);
        QFETCH(int, vertical);
        QWidget *control = only<QWidget>(m_dialog.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(int(control->sizePolicy().horizontalPolicy()), horizontal);
        QCOMPARE(int(control->sizePolicy().verticalPolicy()), vertical);
    }

    void labelsHugTheirTextFromTheRight_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("label") << "label"
                               << "Команда";
        QTest::newRow("label_2") << "label_2"
                                 << "Данные";
        QTest::newRow("label_5") << "label_5"
                                 << "Данные";
        QTest::newRow("label_3") << "label_3"
                                 << "Команда";
        QTest::newRow("label_4") << "label_4"
                                 << "Данные";
    }

    void labelsHugTheirTextFromTheRight()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QLabel *label = only<QLabel>(m_dialog.get(), name);
        QVERIFY(label != nullptr);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(label->alignment() & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask),
                 Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(label->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    }

    void visibleTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("text");
        QTest::newRow("window") << QString() << QByteArray("windowTitle") << "Ручная посылка";
        QTest::newRow("Tx") << "Tx" << QByteArray("title") << "Отправка команды";
        QTest::newRow("Tx_2") << "Tx_2" << QByteArray("title") << "Ручное составление пакета";
        QTest::newRow("Rx") << "Rx" << QByteArray("title") << "Прием";
        QTest::newRow("label") << "label" << QByteArray("text") << "Команда";
        QTest::newRow("label_2") << "label_2" << QByteArray("text") << "Данные";
        QTest::newRow("label_5") << "label_5" << QByteArray("text") << "Данные";
        QTest::newRow("label_3") << "label_3" << QByteArray("text") << "Команда";
        QTest::newRow("label_4") << "label_4" << QByteArray("text") << "Данные";
        QTest::newRow("sendButton") << "sendButton" << QByteArray("text") << "Отправить";
        QTest::newRow("manualSendButton")
            << "manualSendButton" << QByteArray("text") << "Отправить";
    }

    void visibleTexts()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, property);
        QFETCH(QString, text);
        QObject *object = name.isEmpty() ? m_dialog.get() : only<QObject>(m_dialog.get(), name);
        QVERIFY(object != nullptr);
        QCOMPARE(object->property(property.constData()).toString(), text);

        // Each text is looked up for translation in the window's own context.
        MarkingTranslator translator("DebugWindow");
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QDialog dialog;
        Ui::DebugWindow ui;
        ui.setupUi(&dialog);
        QCoreApplication::removeTranslator(&translator);
        QObject *translated = name.isEmpty() ? &dialog : only<QObject>(&dialog, name);
        QVERIFY(translated != nullptr);
        QCOMPARE(translated->property(property.constData()).toString(),
                 QLatin1Char('[') + text + QLatin1Char(']'));
    }

    void blackTextStyle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("black");
        QTest::newRow("sendButton") << "sendButton" << true;
        QTest::newRow("manualSendButton") << "manualSendButton" << true;
        QTest::newRow("RxData") << "RxData" << true;
        QTest::newRow("TxData") << "TxData" << false;
        QTest::newRow("Tx") << "Tx" << false;
    }

    void blackTextStyle()
    {
        QFETCH(QString, name);
        QFETCH(bool, black);
        QWidget *control = only<QWidget>(m_dialog.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->styleSheet(), black ? QStringLiteral("color: black;") : QString());
    }

    void commandBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("TxCommand") << "TxCommand" << true;
        QTest::newRow("RxCommand") << "RxCommand" << false;
    }

    void commandBoxes()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QSpinBox *box = only<QSpinBox>(m_dialog.get(), name);
        QVERIFY(box != nullptr);
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), 255);
        QCOMPARE(box->value(), 0);
        QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);
        QCOMPARE(box->isEnabled(), enabled);
    }

    void onlyTheReceivedCommandStartsDisabled()
    {
        QStringList disabled;
        for (const QWidget *child : m_dialog->findChildren<QWidget *>()) {
            if (child->testAttribute(Qt::WA_ForceDisabled))
                disabled << child->objectName();
        }
        // "Прервать" has nothing to cancel until a raw send runs.
        QCOMPARE(disabled,
                 (QStringList{QStringLiteral("manualCancelButton"), QStringLiteral("RxCommand")}));
    }

    void commandNumbersOutsideAByteAreClamped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("shown");
        QTest::newRow("sent above") << "TxCommand" << 300 << 255;
        QTest::newRow("sent below") << "TxCommand" << -4 << 0;
        QTest::newRow("sent inside") << "TxCommand" << 17 << 17;
        QTest::newRow("received above") << "RxCommand" << 256 << 255;
        QTest::newRow("received inside") << "RxCommand" << 200 << 200;
    }

    void commandNumbersOutsideAByteAreClamped()
    {
        QFETCH(QString, name);
        QFETCH(int, written);
        QFETCH(int, shown);
        QSpinBox *box = only<QSpinBox>(m_dialog.get(), name);
        QVERIFY(box != nullptr);
        box->setValue(written);
        QCOMPARE(box->value(), shown);
    }

    void lineEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("readOnly");
        const int toolkitDefault = QLineEdit().maxLength();
        QTest::newRow("TxData") << "TxData" << toolkitDefault << false;
        QTest::newRow("ManualTxData") << "ManualTxData" << toolkitDefault << false;
        QTest::newRow("RxData") << "RxData" << 74 << true;
    }

    void lineEdits()
    {
        QFETCH(QString, name);
        QFETCH(int, maxLength);
        QFETCH(bool, readOnly);
        QLineEdit *line = only<QLineEdit>(m_dialog.get(), name);
        QVERIFY(line != nullptr);
        QCOMPARE(line->maxLength(), maxLength);
        QCOMPARE(line->isReadOnly(), readOnly);
        QVERIFY(line->text().isEmpty());
        QVERIFY(line->inputMask().isEmpty());
        QVERIFY(line->validator() == nullptr);
        QVERIFY(line->isEnabled());
    }

    void typedTextIsKeptAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("kept");
        const QString longHex = QString(QStringLiteral("0102030405")).repeated(20);
        QTest::newRow("hex with spaces") << "TxData"
                                         << "01 ff 7A"
                                         << "01 ff 7A";
        QTest::newRow("not hex at all") << "TxData"
                                        << "zz!?"
                                        << "zz!?";
        QTest::newRow("long data") << "TxData" << longHex << longHex;
        QTest::newRow("manual raw bytes") << "ManualTxData"
                                          << "FF0001000FF"
                                          << "FF0001000FF";
        QTest::newRow("manual long") << "ManualTxData" << longHex << longHex;
        QTest::newRow("reply of 74") << "RxData" << longHex.left(74) << longHex.left(74);
        QTest::newRow("reply of 200") << "RxData" << longHex << longHex.left(74);
        QTest::newRow("reply of 75") << "RxData" << longHex.left(75) << longHex.left(74);
    }

    void typedTextIsKeptAsWritten()
    {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(QString, kept);
        QLineEdit *line = only<QLineEdit>(m_dialog.get(), name);
        QVERIFY(line != nullptr);
        line->setText(written);
        QCOMPARE(line->text(), kept);
    }

    void receivedDataCannotBeTypedOver()
    {
        QLineEdit *received = widget<QLineEdit>("RxData");
        QVERIFY(received != nullptr);
        received->setText(QStringLiteral("0A0B"));
        QTest::keyClicks(received, QStringLiteral("FF"));
        QCOMPARE(received->text(), QStringLiteral("0A0B"));

        QLineEdit *sent = widget<QLineEdit>("TxData");
        QVERIFY(sent != nullptr);
        QTest::keyClicks(sent, QStringLiteral("FF"));
        QCOMPARE(sent->text(), QStringLiteral("FF"));
    }

    void handlersAreBoundByObjectName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("call");
        QTest::newRow("sendButton") << "sendButton"
                                    << "on_sendButton_clicked";
        QTest::newRow("manualSendButton") << "manualSendButton"
                                          << "on_manualSendButton_clicked";
    }

    void handlersAreBoundByObjectName()
    {
        QFETCH(QString, name);
        QFETCH(QString, call);
        HandlerProbe probe;
        Ui::DebugWindow ui;
        ui.setupUi(&probe);
        QPushButton *button = only<QPushButton>(&probe, name);
        QVERIFY(button != nullptr);
        button->click();
        QCOMPARE(probe.calls, QStringList{call});
    }
};

QTEST_MAIN(DebugWindowFormTest)
#include "tst_debugwindowform.moc"
