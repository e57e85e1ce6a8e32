// Checks of the main window form: what the generated Ui::MainWindow builds on a bare window.
// Widgets are looked up by object name, so that a renamed object (and with it a handler that
// would no longer be bound) shows up as a failure here.

#include "ui_mainwindow.h"

#include <QtTest>

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTranslator>

#include <memory>

#include "support/formcheck.h"

using TestSupport::MarkingTranslator;
using TestSupport::only;
using TestSupport::WarningRecorder;

namespace {

QString marked(const QString &text)
{
    return QLatin1Char('[') + text + QLatin1Char(']');
}

// A main window with one slot per handler the configurator binds by name. Each slot notes that
// it was called, so a test can see which handler a control reaches.
class HandlerProbe : public QMainWindow
{
    Q_OBJECT
public:
    QStringList calls;

public slots:
    void on_refreshButton_clicked() { note("on_refreshButton_clicked"); }
    void on_buttonConnect_clicked() { note("on_buttonConnect_clicked"); }
    void on_tabWidget_currentChanged(int index)
    {
        note("on_tabWidget_currentChanged:" + QString::number(index));
    }
    void on_startButton_clicked() { note("on_startButton_clicked"); }
    void on_stopButton_clicked() { note("on_stopButton_clicked"); }
    void on_comboGradType_currentIndexChanged(int index)
    {
        note("on_comboGradType_currentIndexChanged:" + QString::number(index));
    }
    void on_comboGradName_currentIndexChanged(int index)
    {
        note("on_comboGradName_currentIndexChanged:" + QString::number(index));
    }
    void on_pushButtonStartTesting_clicked() { note("on_pushButtonStartTesting_clicked"); }
    void on_pushButtonStopTesting_clicked() { note("on_pushButtonStopTesting_clicked"); }
    void on_debugMode_triggered() { note("on_debugMode_triggered"); }
    void on_buttonFactoryMode_clicked() { note("on_buttonFactoryMode_clicked"); }
    void on_buttonReadProbeType_clicked() { note("on_buttonReadProbeType_clicked"); }
    void on_buttonWriteProbeType_clicked() { note("on_buttonWriteProbeType_clicked"); }
    void on_buttonReadRefAndMeas_clicked() { note("on_buttonReadRefAndMeas_clicked"); }
    void on_buttonWriteRefAndMeas_clicked() { note("on_buttonWriteRefAndMeas_clicked"); }
    void on_buttonFactoryResetSettings_clicked() { note("on_buttonFactoryResetSettings_clicked"); }
    void on_buttonReadDeviceInfo_clicked() { note("on_buttonReadDeviceInfo_clicked"); }
    void on_buttonWriteDeviceInfo_clicked() { note("on_buttonWriteDeviceInfo_clicked"); }
    void on_buttonFirstPoint_clicked() { note("on_buttonFirstPoint_clicked"); }
    void on_buttonSecondPoint_clicked() { note("on_buttonSecondPoint_clicked"); }
    void on_buttonWriteFixedCurrent_clicked() { note("on_buttonWriteFixedCurrent_clicked"); }
    void on_buttonReadADC_clicked() { note("on_buttonReadADC_clicked"); }
    void on_buttonWriteADC_clicked() { note("on_buttonWriteADC_clicked"); }
    void on_buttonSaveFactorySettings_clicked() { note("on_buttonSaveFactorySettings_clicked"); }
    void on_readConfig_clicked() { note("on_readConfig_clicked"); }
    void on_buttonClearEEPROM_clicked() { note("on_buttonClearEEPROM_clicked"); }
    void on_buttonReadCJ_clicked() { note("on_buttonReadCJ_clicked"); }
    void on_buttonWriteCJ_clicked() { note("on_buttonWriteCJ_clicked"); }

private:
    void note(const QString &call) { calls << call; }
};

// The only object of class T and name `name` below `root`, or nullptr when there is none or
// more than one.

QSet<QString> namesOf(const QList<QWidget *> &widgets)
{
    QSet<QString> names;
    for (const QWidget *widget : widgets)
        names.insert(widget->objectName());
    return names;
}

// The tab pages and the grid of what each shows.
const QList<QPair<QString, QString>> kPages = {{"tabData", "gridLayout_5"},
                                               {"tabSettings", "gridLayout_6"},
                                               {"tabParam", "gridLayout_19"},
                                               {"tabCalib", "gridLayout_10"},
                                               {"tabTesting", "gridLayout_16"}};

// The laid-out widgets below `root` that got less height than they ask for.
QStringList squashedBelow(QWidget *root)
{
    QStringList squashed;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        const QLayout *layout = widget->parentWidget()->layout();
        if (!widget->isVisibleTo(root) || layout == nullptr || layout->indexOf(widget) < 0)
            continue;
        const int asked = widget->minimumHeight() > 0 ? widget->minimumHeight()
                                                      : widget->minimumSizeHint().height();
        if (widget->height() < qMin(asked, widget->maximumHeight()))
            squashed << widget->objectName();
    }
    return squashed;
}

// Whether all of `widget` shows in its window: not hidden, not scrolled out of a scroll
// area's viewport, not cut off by any widget it sits in.
bool shownWhole(const QWidget *widget)
{
    QRect shown = widget->rect();
    for (const QWidget *w = widget; !w->isWindow(); w = w->parentWidget())
        shown = shown.translated(w->pos()) & w->parentWidget()->rect();
    return widget->isVisible() && shown.size() == widget->size();
}

const QStringList kValueBoxes = {QStringLiteral("preValue"), QStringLiteral("correctedValue"),
                                 QStringLiteral("tempADC"), QStringLiteral("tempTMP"),
                                 QStringLiteral("Iout")};

} // namespace

class MainWindowFormTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QMainWindow> m_window;
    Ui::MainWindow m_ui{};

    template <typename T> T *widget(const char *name) const
    {
        return only<T>(m_window.get(), QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QMainWindow>();
        const QStringList suspicious = TestSupport::buildFormWatchingWarnings(m_ui, m_window.get());
        QVERIFY2(suspicious.isEmpty(), qPrintable(suspicious.join(QLatin1Char('\n'))));
    }
    void cleanup() { m_window.reset(); }

    void buildingTheFormOnTheConfiguratorWindowRaisesNoWarnings()
    {
        HandlerProbe probe;
        Ui::MainWindow ui;
        const QStringList suspicious = TestSupport::buildFormWatchingWarnings(ui, &probe);
        QVERIFY2(suspicious.isEmpty(), qPrintable(suspicious.join(QLatin1Char('\n'))));
    }

    void windowIsNamedAndTitled()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Конфигуратор Veltra v1.2"));
        QVERIFY(m_window->autoFillBackground());
        QCOMPARE(m_window->styleSheet(), QStringLiteral("color: black;"));
        QCOMPARE(m_window->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(m_window->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }

    void existingNameOfTheWindowIsKept()
    {
        QMainWindow window;
        window.setObjectName(QStringLiteral("configurator"));
        Ui::MainWindow ui;
        ui.setupUi(&window);
        QCOMPARE(window.objectName(), QStringLiteral("configurator"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Конфигуратор Veltra v1.2"));
    }

    void everyObjectHasItsNameAndClass_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const QList<QPair<const char *, const char *>> objects = {
            {"debugMode", "QAction"},
            {"centralWidget", "QWidget"},
            {"gridLayout_3", "QGridLayout"},
            {"frame_2", "QFrame"},
            {"gridLayout_7", "QGridLayout"},
            {"label_5", "QLabel"},
            {"comboPort", "QComboBox"},
            {"refreshButton", "QPushButton"},
            {"buttonConnect", "QPushButton"},
            {"label_4", "QLabel"},
            {"passwordLine", "QLineEdit"},
            {"buttonFactoryMode", "QPushButton"},
            {"tabWidget", "QTabWidget"},
            {"tabData", "QWidget"},
            {"gridLayout_5", "QGridLayout"},
            {"frame", "QFrame"},
            {"gridLayout", "QGridLayout"},
            {"frame_5", "QFrame"},
            {"gridLayout_9", "QGridLayout"},
            {"label_15", "QLabel"},
            {"preValue", "QDoubleSpinBox"},
            {"label_23", "QLabel"},
            {"correctedValue", "QDoubleSpinBox"},
            {"label", "QLabel"},
            {"tempADC", "QDoubleSpinBox"},
            {"label_2", "QLabel"},
            {"tempTMP", "QDoubleSpinBox"},
            {"label_3", "QLabel"},
            {"Iout", "QDoubleSpinBox"},
            {"startButton", "QPushButton"},
            {"stopButton", "QPushButton"},
            {"tabSettings", "QWidget"},
            {"gridLayout_6", "QGridLayout"},
            {"frame_4", "QFrame"},
            {"gridLayout_4", "QGridLayout"},
            {"label_18", "QLabel"},
            {"comboGradType", "QComboBox"},
            {"comboGradName", "QComboBox"},
            {"label_10", "QLabel"},
            {"LowerRange", "QDoubleSpinBox"},
            {"label_11", "QLabel"},
            {"UpperRange", "QDoubleSpinBox"},
            {"label_41", "QLabel"},
            {"dempBuffSize", "QSpinBox"},
            {"label_42", "QLabel"},
            {"Hyst", "QDoubleSpinBox"},
            {"CompensationCheckBox", "QCheckBox"},
            {"buttonReadProbeType", "QPushButton"},
            {"buttonWriteProbeType", "QPushButton"},
            {"frame1", "QFrame"},
            {"gridLayout_2", "QGridLayout"},
            {"label_13", "QLabel"},
            {"frame_3", "QFrame"},
            {"horizontalLayout", "QHBoxLayout"},
            {"refVal", "QDoubleSpinBox"},
            {"refVal_2", "QDoubleSpinBox"},
            {"refVal_3", "QDoubleSpinBox"},
            {"refVal_4", "QDoubleSpinBox"},
            {"refVal_5", "QDoubleSpinBox"},
            {"label_16", "QLabel"},
            {"frame_41", "QFrame"},
            {"horizontalLayout_2", "QHBoxLayout"},
            {"measVal", "QDoubleSpinBox"},
            {"measVal_2", "QDoubleSpinBox"},
            {"measVal_3", "QDoubleSpinBox"},
            {"measVal_4", "QDoubleSpinBox"},
            {"measVal_5", "QDoubleSpinBox"},
            {"CorrectionCheckBox", "QCheckBox"},
            {"buttonReadRefAndMeas", "QPushButton"},
            {"buttonWriteRefAndMeas", "QPushButton"},
            {"buttonFactoryResetSettings", "QPushButton"},
            {"tabParam", "QWidget"},
            {"gridLayout_19", "QGridLayout"},
            {"label_14", "QLabel"},
            {"Number", "QSpinBox"},
            {"label_28", "QLabel"},
            {"CurrentDate", "QDateEdit"},
            {"label_31", "QLabel"},
            {"firmwareVersion", "QLineEdit"},
            {"buttonReadDeviceInfo", "QPushButton"},
            {"buttonWriteDeviceInfo", "QPushButton"},
            {"tabCalib", "QWidget"},
            {"gridLayout_10", "QGridLayout"},
            {"groupBox_6", "QGroupBox"},
            {"gridLayout_12", "QGridLayout"},
            {"label_7", "QLabel"},
            {"label_6", "QLabel"},
            {"label_9", "QLabel"},
            {"label_36", "QLabel"},
            {"label_39", "QLabel"},
            {"buttonFirstPoint", "QPushButton"},
            {"label_12", "QLabel"},
            {"label_17", "QLabel"},
            {"label_38", "QLabel"},
            {"buttonSecondPoint", "QPushButton"},
            {"groupBox_8", "QGroupBox"},
            {"gridLayout_8", "QGridLayout"},
            {"label_21", "QLabel"},
            {"ADC_OCR", "QDoubleSpinBox"},
            {"label_22", "QLabel"},
            {"ADC_FSR", "QDoubleSpinBox"},
            {"label_24", "QLabel"},
            {"calib3x", "QDoubleSpinBox"},
            {"buttonReadADC", "QPushButton"},
            {"buttonWriteADC", "QPushButton"},
            {"label_19", "QLabel"},
            {"LoopCurrent", "QDoubleSpinBox"},
            {"buttonWriteFixedCurrent", "QPushButton"},
            {"groupBox_17", "QGroupBox"},
            {"verticalLayout", "QVBoxLayout"},
            {"buttonSaveFactorySettings", "QPushButton"},
            {"readConfig", "QPushButton"},
            {"buttonClearEEPROM", "QPushButton"},
            {"groupBox", "QGroupBox"},
            {"gridLayout_11", "QGridLayout"},
            {"label_25", "QLabel"},
            {"CJ_FSR", "QDoubleSpinBox"},
            {"label_26", "QLabel"},
            {"CJ_OCR", "QDoubleSpinBox"},
            {"buttonReadCJ", "QPushButton"},
            {"buttonWriteCJ", "QPushButton"},
            {"tabTesting", "QWidget"},
            {"gridLayout_16", "QGridLayout"},
            {"table", "QTableWidget"},
            {"pushButtonStartTesting", "QPushButton"},
            {"pushButtonStopTesting", "QPushButton"},
            {"statusBar", "QStatusBar"},
            {"menuBar", "QMenuBar"},
            {"menu", "QMenu"},
        };
        for (const auto &object : objects)
            QTest::newRow(object.first)
                << QString::fromLatin1(object.first) << QString::fromLatin1(object.second);
    }

    void everyObjectHasItsNameAndClass()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        const QList<QObject *> found = m_window->findChildren<QObject *>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    }

    void formMembersPointAtTheNamedObjects()
    {
        QCOMPARE(m_ui.centralWidget, widget<QWidget>("centralWidget"));
        QCOMPARE(m_window->centralWidget(), m_ui.centralWidget);
        QCOMPARE(m_window->statusBar(), widget<QStatusBar>("statusBar"));
        QCOMPARE(m_window->menuBar(), widget<QMenuBar>("menuBar"));
        QCOMPARE(m_ui.debugMode, widget<QAction>("debugMode"));
        QCOMPARE(m_ui.table, widget<QTableWidget>("table"));
        QCOMPARE(m_ui.LowerRange, widget<QDoubleSpinBox>("LowerRange"));
        QCOMPARE(m_ui.comboGradType, widget<QComboBox>("comboGradType"));
        QCOMPARE(m_ui.gridLayout_3, only<QGridLayout>(m_window.get(), "gridLayout_3"));
    }

    void containerUsesItsLayout_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("layout");
        const QList<QPair<const char *, const char *>> pairs = {
            {"centralWidget", "gridLayout_3"}, {"frame_2", "gridLayout_7"},
            {"frame", "gridLayout"},           {"frame_5", "gridLayout_9"},
            {"frame_4", "gridLayout_4"},       {"frame1", "gridLayout_2"},
            {"frame_3", "horizontalLayout"},   {"frame_41", "horizontalLayout_2"},
            {"groupBox_6", "gridLayout_12"},   {"groupBox_8", "gridLayout_8"},
            {"groupBox_17", "verticalLayout"}, {"groupBox", "gridLayout_11"},
        };
        for (const auto &pair : pairs)
            QTest::newRow(pair.first)
                << QString::fromLatin1(pair.first) << QString::fromLatin1(pair.second);
        // Each page holds a scroll area whose contents hold what the page shows.
        for (const auto &page : kPages) {
            QTest::newRow(qPrintable(page.first)) << page.first << page.first + "Layout";
            QTest::newRow(qPrintable(page.first + "Contents"))
                << page.first + "Contents" << page.second;
        }
    }

    void containerUsesItsLayout()
    {
        QFETCH(QString, container);
        QFETCH(QString, layout);
        QWidget *owner = only<QWidget>(m_window.get(), container);
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
        QTest::addColumn<int>("rowSpan");
        QTest::addColumn<int>("columnSpan");
        struct Cell
        {
            const char *name;
            const char *layout;
            int row, column, rowSpan, columnSpan;
        };
        const QList<Cell> cells = {
            {"frame_2", "gridLayout_3", 0, 0, 1, 2},
            {"tabWidget", "gridLayout_3", 2, 0, 1, 2},
            {"label_5", "gridLayout_7", 0, 0, 1, 1},
            {"comboPort", "gridLayout_7", 0, 1, 1, 2},
            {"refreshButton", "gridLayout_7", 0, 3, 1, 1},
            {"buttonConnect", "gridLayout_7", 0, 4, 1, 1},
            {"label_4", "gridLayout_7", 1, 0, 1, 1},
            {"passwordLine", "gridLayout_7", 1, 1, 1, 2},
            {"buttonFactoryMode", "gridLayout_7", 1, 3, 1, 2},
            {"frame", "gridLayout_5", 0, 0, 1, 2},
            {"frame_5", "gridLayout", 0, 0, 1, 3},
            {"startButton", "gridLayout", 6, 1, 1, 1},
            {"stopButton", "gridLayout", 6, 2, 1, 1},
            {"label_15", "gridLayout_9", 0, 0, 1, 1},
            {"preValue", "gridLayout_9", 0, 1, 1, 1},
            {"label_23", "gridLayout_9", 1, 0, 1, 1},
            {"correctedValue", "gridLayout_9", 1, 1, 1, 1},
            {"label", "gridLayout_9", 2, 0, 1, 1},
            {"tempADC", "gridLayout_9", 2, 1, 1, 1},
            {"label_2", "gridLayout_9", 3, 0, 1, 1},
            {"tempTMP", "gridLayout_9", 3, 1, 1, 1},
            {"label_3", "gridLayout_9", 4, 0, 1, 1},
            {"Iout", "gridLayout_9", 4, 1, 1, 1},
            {"frame_4", "gridLayout_6", 0, 0, 1, 2},
            {"frame1", "gridLayout_6", 1, 0, 1, 2},
            {"buttonFactoryResetSettings", "gridLayout_6", 2, 0, 1, 2},
            {"label_18", "gridLayout_4", 0, 0, 1, 1},
            {"comboGradType", "gridLayout_4", 0, 1, 1, 1},
            {"comboGradName", "gridLayout_4", 0, 2, 1, 1},
            {"label_10", "gridLayout_4", 1, 0, 1, 2},
            {"LowerRange", "gridLayout_4", 1, 2, 1, 1},
            {"label_11", "gridLayout_4", 2, 0, 1, 2},
            {"UpperRange", "gridLayout_4", 2, 2, 1, 1},
            {"label_41", "gridLayout_4", 3, 0, 1, 1},
            {"dempBuffSize", "gridLayout_4", 3, 2, 1, 1},
            {"label_42", "gridLayout_4", 4, 0, 1, 1},
            {"Hyst", "gridLayout_4", 4, 2, 1, 1},
            {"CompensationCheckBox", "gridLayout_4", 5, 0, 1, 3},
            {"buttonReadProbeType", "gridLayout_4", 6, 1, 1, 1},
            {"buttonWriteProbeType", "gridLayout_4", 6, 2, 1, 1},
            {"label_13", "gridLayout_2", 0, 0, 1, 4},
            {"frame_3", "gridLayout_2", 1, 0, 1, 4},
            {"label_16", "gridLayout_2", 2, 0, 1, 4},
            {"frame_41", "gridLayout_2", 3, 0, 1, 4},
            {"CorrectionCheckBox", "gridLayout_2", 4, 1, 1, 1},
            {"buttonReadRefAndMeas", "gridLayout_2", 4, 2, 1, 1},
            {"buttonWriteRefAndMeas", "gridLayout_2", 4, 3, 1, 1},
            {"label_14", "gridLayout_19", 0, 0, 1, 1},
            {"Number", "gridLayout_19", 0, 1, 1, 2},
            {"label_28", "gridLayout_19", 1, 0, 1, 1},
            {"CurrentDate", "gridLayout_19", 1, 1, 1, 2},
            {"label_31", "gridLayout_19", 2, 0, 1, 1},
            {"firmwareVersion", "gridLayout_19", 2, 1, 1, 2},
            {"buttonReadDeviceInfo", "gridLayout_19", 3, 1, 1, 1},
            {"buttonWriteDeviceInfo", "gridLayout_19", 3, 2, 1, 1},
            {"groupBox_6", "gridLayout_10", 0, 0, 1, 2},
            {"groupBox_8", "gridLayout_10", 0, 2, 1, 2},
            {"label_19", "gridLayout_10", 1, 0, 1, 1},
            {"LoopCurrent", "gridLayout_10", 1, 1, 1, 1},
            {"buttonWriteFixedCurrent", "gridLayout_10", 1, 2, 1, 1},
            {"groupBox_17", "gridLayout_10", 2, 0, 1, 2},
            {"groupBox", "gridLayout_10", 2, 2, 1, 2},
            {"label_7", "gridLayout_12", 0, 1, 1, 1},
            {"label_6", "gridLayout_12", 0, 2, 1, 1},
            {"label_9", "gridLayout_12", 1, 0, 1, 1},
            {"label_36", "gridLayout_12", 1, 1, 1, 1},
            {"label_39", "gridLayout_12", 1, 2, 1, 1},
            {"buttonFirstPoint", "gridLayout_12", 1, 3, 1, 1},
            {"label_12", "gridLayout_12", 2, 0, 1, 1},
            {"label_17", "gridLayout_12", 2, 1, 1, 1},
            {"label_38", "gridLayout_12", 2, 2, 1, 1},
            {"buttonSecondPoint", "gridLayout_12", 2, 3, 1, 1},
            {"label_21", "gridLayout_8", 0, 0, 1, 1},
            {"ADC_OCR", "gridLayout_8", 0, 1, 1, 1},
            {"label_22", "gridLayout_8", 1, 0, 1, 1},
            {"ADC_FSR", "gridLayout_8", 1, 1, 1, 1},
            {"label_24", "gridLayout_8", 2, 0, 1, 1},
            {"calib3x", "gridLayout_8", 2, 1, 1, 1},
            {"buttonReadADC", "gridLayout_8", 3, 0, 1, 1},
            {"buttonWriteADC", "gridLayout_8", 3, 1, 1, 1},
            {"label_25", "gridLayout_11", 0, 0, 1, 1},
            {"CJ_FSR", "gridLayout_11", 0, 1, 1, 1},
            {"label_26", "gridLayout_11", 1, 0, 1, 1},
            {"CJ_OCR", "gridLayout_11", 1, 1, 1, 1},
            {"buttonReadCJ", "gridLayout_11", 2, 0, 1, 1},
            {"buttonWriteCJ", "gridLayout_11", 2, 1, 1, 1},
            {"table", "gridLayout_16", 0, 0, 1, 2},
            {"pushButtonStartTesting", "gridLayout_16", 1, 1, 1, 1},
            {"pushButtonStopTesting", "gridLayout_16", 2, 1, 1, 1},
        };
        for (const Cell &cell : cells)
            QTest::newRow(cell.name)
                << QString::fromLatin1(cell.name) << QString::fromLatin1(cell.layout) << cell.row
                << cell.column << cell.rowSpan << cell.columnSpan;
    }

    void widgetSitsInItsGridCell()
    {
        QFETCH(QString, name);
        QFETCH(QString, layout);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, rowSpan);
        QFETCH(int, columnSpan);
        QGridLayout *grid = only<QGridLayout>(m_window.get(), layout);
        QWidget *child = only<QWidget>(m_window.get(), name);
        QVERIFY(grid != nullptr);
        QVERIFY(child != nullptr);
        const int index = grid->indexOf(child);
        QVERIFY2(index >= 0, "the widget is not in this layout");
        int actualRow = -1, actualColumn = -1, actualRowSpan = -1, actualColumnSpan = -1;
        grid->getItemPosition(index, &actualRow, &actualColumn, &actualRowSpan, &actualColumnSpan);
        QCOMPARE(actualRow, row);
        QCOMPARE(actualColumn, column);
        QCOMPARE(actualRowSpan, rowSpan);
        QCOMPARE(actualColumnSpan, columnSpan);
    }

    void spacerSitsInItsGridCell_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("columnSpan");
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<QSize>("hint");
        QTest::newRow("between port bar and tabs")
            << "gridLayout_3" << 1 << 0 << 2 << Qt::Vertical << QSize(20, 6);
        QTest::newRow("below live values")
            << "gridLayout_5" << 1 << 0 << 1 << Qt::Vertical << QSize(20, 40);
        QTest::newRow("left of start and stop")
            << "gridLayout" << 6 << 0 << 1 << Qt::Horizontal << QSize(40, 20);
        QTest::newRow("left of correction switch")
            << "gridLayout_2" << 4 << 0 << 1 << Qt::Horizontal << QSize(493, 20);
        QTest::newRow("below production data")
            << "gridLayout_19" << 4 << 0 << 3 << Qt::Vertical << QSize(20, 40);
        QTest::newRow("below calibration groups")
            << "gridLayout_10" << 3 << 3 << 1 << Qt::Vertical << QSize(20, 40);
    }

    void spacerSitsInItsGridCell()
    {
        QFETCH(QString, layout);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, columnSpan);
        QFETCH(Qt::Orientation, orientation);
        QFETCH(QSize, hint);
        QGridLayout *grid = only<QGridLayout>(m_window.get(), layout);
        QVERIFY(grid != nullptr);
        QLayoutItem *item = grid->itemAtPosition(row, column);
        QVERIFY(item != nullptr);
        QSpacerItem *spacer = item->spacerItem();
        QVERIFY2(spacer != nullptr, "the cell holds something other than a spacer");
        int actualRow = -1, actualColumn = -1, rowSpan = -1, actualColumnSpan = -1;
        grid->getItemPosition(grid->indexOf(spacer), &actualRow, &actualColumn, &rowSpan,
                              &actualColumnSpan);
        QCOMPARE(actualColumnSpan, columnSpan);
        QCOMPARE(spacer->sizeHint(), hint);
        // A designer spacer stretches along its own direction and takes the minimum across it.
        if (orientation == Qt::Vertical)
            QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        else
            QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }

    void boxLayoutHoldsItsWidgetsInOrder_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("widgets");
        QTest::newRow("reference points")
            << "horizontalLayout"
            << QStringList{"refVal", "refVal_2", "refVal_3", "refVal_4", "refVal_5"};
        QTest::newRow("measured points")
            << "horizontalLayout_2"
            << QStringList{"measVal", "measVal_2", "measVal_3", "measVal_4", "measVal_5"};
        QTest::newRow("EEPROM buttons")
            << "verticalLayout"
            << QStringList{"buttonSaveFactorySettings", "readConfig", "buttonClearEEPROM"};
    }

    void boxLayoutHoldsItsWidgetsInOrder()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, widgets);
        QBoxLayout *box = only<QBoxLayout>(m_window.get(), layout);
        QVERIFY(box != nullptr);
        QStringList actual;
        for (int i = 0; i < box->count(); ++i)
            actual << (box->itemAt(i)->widget() ? box->itemAt(i)->widget()->objectName()
                                                : QStringLiteral("<not a widget>"));
        QCOMPARE(actual, widgets);
    }

    void layoutSpacingAndMargins_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<int>("margin");
        const QList<QPair<const char *, QPair<int, int>>> layouts = {
            {"gridLayout_3", {6, 11}},      {"gridLayout_7", {6, 11}}, {"gridLayout_5", {6, 1}},
            {"gridLayout", {8, 8}},         {"gridLayout_9", {6, 11}}, {"gridLayout_6", {6, 11}},
            {"gridLayout_4", {8, 8}},       {"gridLayout_2", {6, 11}}, {"horizontalLayout", {8, 0}},
            {"horizontalLayout_2", {8, 0}}, {"gridLayout_19", {8, 8}}, {"gridLayout_10", {6, 11}},
            {"gridLayout_12", {8, 8}},      {"gridLayout_8", {8, 8}},  {"verticalLayout", {8, 8}},
            {"gridLayout_11", {6, 11}},     {"gridLayout_16", {6, 1}},
        };
        for (const auto &entry : layouts)
            QTest::newRow(entry.first)
                << QString::fromLatin1(entry.first) << entry.second.first << entry.second.second;
    }

    void layoutSpacingAndMargins()
    {
        QFETCH(QString, layout);
        QFETCH(int, spacing);
        QFETCH(int, margin);
        QLayout *found = only<QLayout>(m_window.get(), layout);
        QVERIFY(found != nullptr);
        QCOMPARE(found->spacing(), spacing);
        QCOMPARE(found->contentsMargins(), QMargins(margin, margin, margin, margin));
    }

    void dataTabLayoutKeepsItsMinimumSize()
    {
        QGridLayout *grid = only<QGridLayout>(m_window.get(), "gridLayout_5");
        QVERIFY(grid != nullptr);
        QCOMPARE(grid->sizeConstraint(), QLayout::SetMinimumSize);
    }

    void framesHaveTheirShapes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("shadow");
        QTest::newRow("port bar") << "frame_2" << int(QFrame::StyledPanel) << int(QFrame::Raised);
        QTest::newRow("data frame") << "frame" << int(QFrame::StyledPanel) << int(QFrame::Plain);
        QTest::newRow("live values")
            << "frame_5" << int(QFrame::StyledPanel) << int(QFrame::Raised);
        QTest::newRow("sensing element")
            << "frame_4" << int(QFrame::StyledPanel) << int(QFrame::Plain);
        QTest::newRow("correction") << "frame1" << int(QFrame::StyledPanel) << int(QFrame::Raised);
        QTest::newRow("reference row") << "frame_3" << int(QFrame::NoFrame) << int(QFrame::Raised);
        QTest::newRow("measured row") << "frame_41" << int(QFrame::NoFrame) << int(QFrame::Raised);
    }

    void framesHaveTheirShapes()
    {
        QFETCH(QString, name);
        QFETCH(int, shape);
        QFETCH(int, shadow);
        QFrame *frame = only<QFrame>(m_window.get(), name);
        QVERIFY(frame != nullptr);
        QCOMPARE(int(frame->frameShape()), shape);
        QCOMPARE(int(frame->frameShadow()), shadow);
    }

    void doubleBoxRangeAndPrecision_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("singleStep");
        struct Box
        {
            const char *name;
            int decimals;
            double minimum, maximum, value, step;
        };
        const QList<Box> boxes = {
            {"preValue", 6, -1e12, 1e15, 0, 1},
            {"correctedValue", 6, -1e12, 1e15, 0, 1},
            {"tempADC", 6, -300, 5000, 0, 1},
            {"tempTMP", 6, -300, 300, 0, 1},
            {"Iout", 6, -1, 30, 0, 1},
            {"LowerRange", 6, -280, 1810, -40, 1},
            {"UpperRange", 6, -280, 2550, 85, 1},
            {"Hyst", 2, 0, 5, 0, 0.5},
            {"refVal", 4, -275, 3000, 0, 1},
            {"refVal_2", 4, -275, 3000, 0, 1},
            {"refVal_3", 4, -275, 3000, 0, 1},
            {"refVal_4", 4, -275, 3000, 0, 1},
            {"refVal_5", 4, -275, 3000, 0, 1},
            {"measVal", 4, -275, 3000, 0, 1},
            {"measVal_2", 4, -275, 3000, 0, 1},
            {"measVal_3", 4, -275, 3000, 0, 1},
            {"measVal_4", 4, -275, 3000, 0, 1},
            {"measVal_5", 4, -275, 3000, 0, 1},
            {"LoopCurrent", 6, 0, 24, 3, 1},
            {"ADC_OCR", 6, -10, 10, 0, 1},
            {"ADC_FSR", 6, -10, 10, 0, 1},
            {"calib3x", 6, -1, 1, 0, 1},
            {"CJ_FSR", 6, -10, 10, 0, 1},
            {"CJ_OCR", 6, -10, 10, 0, 1},
        };
        for (const Box &box : boxes)
            QTest::newRow(box.name) << QString::fromLatin1(box.name) << box.decimals << box.minimum
                                    << box.maximum << box.value << box.step;
    }

    void doubleBoxRangeAndPrecision()
    {
        QFETCH(QString, name);
        QFETCH(int, decimals);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, value);
        QFETCH(double, singleStep);
        QDoubleSpinBox *box = only<QDoubleSpinBox>(m_window.get(), name);
        QVERIFY(box != nullptr);
        QCOMPARE(box->decimals(), decimals);
        QCOMPARE(box->minimum(), minimum);
        QCOMPARE(box->maximum(), maximum);
        QCOMPARE(box->value(), value);
        QCOMPARE(box->singleStep(), singleStep);
    }

    void wholeNumberBoxRange_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("dempBuffSize") << "dempBuffSize" << 0 << 12 << 0;
        QTest::newRow("Number") << "Number" << 0 << 999999999 << 0;
    }

    void wholeNumberBoxRange()
    {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QSpinBox *box = only<QSpinBox>(m_window.get(), name);
        QVERIFY(box != nullptr);
        QCOMPARE(box->minimum(), minimum);
        QCOMPARE(box->maximum(), maximum);
        QCOMPARE(box->value(), value);
        QCOMPARE(box->singleStep(), 1);
    }

    void entryBoxPresentation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("stepButtons");
        QTest::addColumn<bool>("rightAligned");
        QTest::addColumn<bool>("keyboardTracking");
        for (const QString &name : kValueBoxes)
            QTest::newRow(qPrintable(name)) << name << true << false << true << false;
        for (const char *name :
             {"LowerRange", "UpperRange", "dempBuffSize", "Hyst", "Number", "CurrentDate",
              "LoopCurrent", "ADC_OCR", "ADC_FSR", "calib3x", "CJ_FSR", "CJ_OCR"})
            QTest::newRow(name) << QString::fromLatin1(name) << false << false << true << true;
        for (const char *prefix : {"refVal", "measVal"}) {
            for (int i = 1; i <= 5; ++i) {
                const QString name = i == 1 ? QString::fromLatin1(prefix)
                                            : QStringLiteral("%1_%2").arg(prefix).arg(i);
                QTest::newRow(qPrintable(name)) << name << false << false << false << true;
            }
        }
    }

    void entryBoxPresentation()
    {
        QFETCH(QString, name);
        QFETCH(bool, readOnly);
        QFETCH(bool, stepButtons);
        QFETCH(bool, rightAligned);
        QFETCH(bool, keyboardTracking);
        QAbstractSpinBox *box = only<QAbstractSpinBox>(m_window.get(), name);
        QVERIFY(box != nullptr);
        QCOMPARE(box->isReadOnly(), readOnly);
        QCOMPARE(box->buttonSymbols() != QAbstractSpinBox::NoButtons, stepButtons);
        const Qt::Alignment expected =
            rightAligned ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter;
        QCOMPARE(box->alignment() & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask), expected);
        QCOMPARE(box->keyboardTracking(), keyboardTracking);
    }

    void valueBoxesAreBlackOnTheirOwn()
    {
        for (const QString &name : kValueBoxes) {
            QDoubleSpinBox *box = only<QDoubleSpinBox>(m_window.get(), name);
            QVERIFY2(box != nullptr, qPrintable(name));
            QCOMPARE(box->styleSheet(), QStringLiteral("color: black;"));
        }
    }

    void onlyTheLiveValuesAndFirmwareVersionAreReadOnly()
    {
        QSet<QString> readOnly;
        for (const QAbstractSpinBox *box : m_window->findChildren<QAbstractSpinBox *>()) {
            if (box->isReadOnly())
                readOnly.insert(box->objectName());
        }
        for (const QLineEdit *line : m_window->findChildren<QLineEdit *>()) {
            if (line->isReadOnly() && !line->objectName().startsWith(QLatin1String("qt_")))
                readOnly.insert(line->objectName());
        }
        QSet<QString> expected(kValueBoxes.cbegin(), kValueBoxes.cend());
        expected.insert(QStringLiteral("firmwareVersion"));
        QCOMPARE(readOnly, expected);
    }

    void onlyTheTableStartsDisabled()
    {
        QList<QWidget *> disabled;
        for (QWidget *child : m_window->findChildren<QWidget *>()) {
            if (child->testAttribute(Qt::WA_ForceDisabled))
                disabled << child;
        }
        QCOMPARE(namesOf(disabled), QSet<QString>{QStringLiteral("table")});
        QVERIFY(!widget<QTableWidget>("table")->isEnabled());
        QVERIFY(widget<QPushButton>("pushButtonStartTesting")->isEnabled());
    }

    void onlyCompensationStartsChecked()
    {
        QCheckBox *compensation = widget<QCheckBox>("CompensationCheckBox");
        QCheckBox *correction = widget<QCheckBox>("CorrectionCheckBox");
        QVERIFY(compensation != nullptr);
        QVERIFY(correction != nullptr);
        QVERIFY(compensation->isChecked());
        QVERIFY(!correction->isChecked());
        QCOMPARE(m_window->findChildren<QCheckBox *>().size(), 2);
    }

    void lineEditLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("echoMode");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("clearButton");
        QTest::newRow("passwordLine")
            << "passwordLine" << 8 << int(QLineEdit::Password) << false << true;
        QTest::newRow("firmwareVersion")
            << "firmwareVersion" << 5 << int(QLineEdit::Normal) << true << false;
    }

    void lineEditLimits()
    {
        QFETCH(QString, name);
        QFETCH(int, maxLength);
        QFETCH(int, echoMode);
        QFETCH(bool, readOnly);
        QFETCH(bool, clearButton);
        QLineEdit *line = only<QLineEdit>(m_window.get(), name);
        QVERIFY(line != nullptr);
        QCOMPARE(line->maxLength(), maxLength);
        QCOMPARE(int(line->echoMode()), echoMode);
        QCOMPARE(line->isReadOnly(), readOnly);
        QCOMPARE(line->isClearButtonEnabled(), clearButton);
        QVERIFY(line->text().isEmpty());
    }

    void passwordRowHasFixedHeight_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("passwordLine") << "passwordLine";
        QTest::newRow("buttonFactoryMode") << "buttonFactoryMode";
    }

    void passwordRowHasFixedHeight()
    {
        QFETCH(QString, name);
        QWidget *control = only<QWidget>(m_window.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->minimumHeight(), 23);
        QCOMPARE(control->maximumHeight(), 23);
    }

    void minimumSizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("minimum");
        for (const char *name : {"startButton",
                                 "stopButton",
                                 "label_15",
                                 "label_23",
                                 "label",
                                 "label_2",
                                 "label_3",
                                 "preValue",
                                 "correctedValue",
                                 "tempADC",
                                 "tempTMP",
                                 "Iout",
                                 "buttonFactoryResetSettings",
                                 "Number",
                                 "CurrentDate",
                                 "firmwareVersion",
                                 "label_19",
                                 "LoopCurrent",
                                 "buttonWriteFixedCurrent",
                                 "ADC_OCR",
                                 "CJ_OCR",
                                 "label_36",
                                 "readConfig"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(0, 30);
        for (const char *name :
             {"comboGradType", "comboGradName", "LowerRange", "UpperRange", "dempBuffSize", "Hyst",
              "CompensationCheckBox", "buttonReadProbeType", "refVal", "measVal_5"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(0, 26);
        QTest::newRow("frame_5") << "frame_5" << QSize(0, 60);
        // The converter and cold-junction buttons may narrow down to 70 pixels, which leaves the
        // calibration tab more room in a narrow window.
        for (const char *name :
             {"buttonReadADC", "buttonWriteADC", "buttonReadCJ", "buttonWriteCJ"})
            QTest::newRow(name) << QString::fromLatin1(name) << QSize(70, 30);
        QTest::newRow("buttonFirstPoint") << "buttonFirstPoint" << QSize(130, 30);
        QTest::newRow("buttonSecondPoint") << "buttonSecondPoint" << QSize(130, 30);
    }

    void minimumSizes()
    {
        QFETCH(QString, name);
        QFETCH(QSize, minimum);
        QWidget *control = only<QWidget>(m_window.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->minimumSize(), minimum);
    }

    void blackTextStyle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("black");
        for (const char *name : {"refreshButton", "buttonConnect", "startButton", "stopButton",
                                 "buttonReadProbeType", "buttonWriteProbeType", "readConfig"})
            QTest::newRow(name) << QString::fromLatin1(name) << true;
        for (const char *name : {"buttonFactoryMode", "buttonReadRefAndMeas", "buttonClearEEPROM",
                                 "pushButtonStartTesting", "LowerRange"})
            QTest::newRow(name) << QString::fromLatin1(name) << false;
    }

    void blackTextStyle()
    {
        QFETCH(QString, name);
        QFETCH(bool, black);
        QWidget *control = only<QWidget>(m_window.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->styleSheet(), black ? QStringLiteral("color: black;") : QString());
    }

    void visibleTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, const char *>> texts = {
            {"label_5", "Порт"},
            {"refreshButton", "Обновить"},
            {"buttonConnect", "Подключиться"},
            {"label_4", "Пароль"},
            {"buttonFactoryMode", "Разблокировать"},
            {"label_15", "Значение преобразователя"},
            {"label_23", "Корректированные значения"},
            {"label", "Измеренное значение"},
            {"label_2", "Температура ХС"},
            {"label_3", "Ток Установленный"},
            {"startButton", "Старт"},
            {"stopButton", "Стоп"},
            {"label_18", "Чувствительный элемент"},
            {"label_10", "НПИ (Tmin)"},
            {"label_11", "ВПИ (Tmax)"},
            {"label_41", "Демпфирующий буффер"},
            {"label_42", "Гистерезис, %"},
            {"CompensationCheckBox", "Компенсация ХС"},
            {"buttonReadProbeType", "Считать"},
            {"buttonWriteProbeType", "Задать"},
            {"label_13", "Значения эталона, °C"},
            {"label_16", "Измеренные значения, °C"},
            {"CorrectionCheckBox", "Использовать коррекцию"},
            {"buttonReadRefAndMeas", "Считать"},
            {"buttonWriteRefAndMeas", "Задать"},
            {"buttonFactoryResetSettings", "Сбросить до заводских настроек"},
            {"label_14", "Серийный номер"},
            {"label_28", "Дата производства"},
            {"label_31", "VL_V"},
            {"buttonReadDeviceInfo", "Считать"},
            {"buttonWriteDeviceInfo", "Задать"},
            {"label_7", "Напряжение"},
            {"label_6", "Сопротивление"},
            {"label_9", "1я"},
            {"label_36", "110 мВ"},
            {"label_39", "400 Ом"},
            {"buttonFirstPoint", "Автокалибровка"},
            {"label_12", "2я"},
            {"label_17", "0 мВ"},
            {"label_38", "1 Ом"},
            {"buttonSecondPoint", "Автокалибровка"},
            {"label_21", "OCR"},
            {"label_22", "FSR"},
            {"label_24", "Calib3x"},
            {"buttonReadADC", "Считать"},
            {"buttonWriteADC", "Задать"},
            {"label_19", "Установить значение выходного тока"},
            {"buttonWriteFixedCurrent", "Задать"},
            {"buttonSaveFactorySettings", "Сохранить как заводские настройки"},
            {"readConfig", "Экспорт конфигурации"},
            {"buttonClearEEPROM", "Сбросить настройки"},
            {"label_25", "FSR"},
            {"label_26", "OCR"},
            {"buttonReadCJ", "Считать"},
            {"buttonWriteCJ", "Задать"},
            {"pushButtonStartTesting", "Старт"},
            {"pushButtonStopTesting", "Стоп"},
            {"debugMode", "Ручная Посылка"},
        };
        for (const auto &entry : texts)
            QTest::newRow(entry.first) << QString::fromLatin1(entry.first) << QByteArray("text")
                                       << QString::fromUtf8(entry.second);
        const QList<QPair<const char *, const char *>> titles = {
            {"groupBox_6", "Калибровка входного сигнала"},
            {"groupBox_8", "Параметры АЦП"},
            {"groupBox_17", "EEPROM"},
            {"groupBox", "Пар-ры ХС"},
            {"menu", "Инструменты"},
        };
        for (const auto &entry : titles)
            QTest::newRow(entry.first) << QString::fromLatin1(entry.first) << QByteArray("title")
                                       << QString::fromUtf8(entry.second);
    }

    void visibleTexts()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, property);
        QFETCH(QString, text);
        QObject *object = only<QObject>(m_window.get(), name);
        QVERIFY(object != nullptr);
        QCOMPARE(object->property(property.constData()).toString(), text);

        // The same text is looked up for translation in the window's context.
        MarkingTranslator translator("MainWindow");
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
        QObject *translated = only<QObject>(&window, name);
        QVERIFY(translated != nullptr);
        QCOMPARE(translated->property(property.constData()).toString(), marked(text));
    }

    void windowTitleGoesThroughTranslation()
    {
        MarkingTranslator translator("MainWindow");
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(window.windowTitle(), marked(QStringLiteral("Конфигуратор Veltra v1.2")));
    }

    void retranslatingClearsThePassword()
    {
        QLineEdit *password = widget<QLineEdit>("passwordLine");
        QVERIFY(password != nullptr);
        password->setText(QStringLiteral("1234"));
        m_ui.retranslateUi(m_window.get());
        QVERIFY(password->text().isEmpty());
    }

    void tabPagesInOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("title");
        QTest::newRow("data") << 0 << "tabData"
                              << "Данные";
        QTest::newRow("settings") << 1 << "tabSettings"
                                  << "Настройка";
        QTest::newRow("production") << 2 << "tabParam"
                                    << "Производственные параметры";
        QTest::newRow("calibration") << 3 << "tabCalib"
                                     << "Калибровка";
        QTest::newRow("testing") << 4 << "tabTesting"
                                 << "Тестирование";
    }

    void tabPagesInOrder()
    {
        QFETCH(int, index);
        QFETCH(QString, page);
        QFETCH(QString, title);
        QTabWidget *tabs = widget<QTabWidget>("tabWidget");
        QVERIFY(tabs != nullptr);
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->widget(index), only<QWidget>(m_window.get(), page));
        QCOMPARE(tabs->tabText(index), title);
    }

    void productionTabIsCurrentRightAfterSetUp()
    {
        QTabWidget *tabs = widget<QTabWidget>("tabWidget");
        QVERIFY(tabs != nullptr);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tabParam"));
    }

    void tabWidgetSettings()
    {
        QTabWidget *tabs = widget<QTabWidget>("tabWidget");
        QVERIFY(tabs != nullptr);
        QCOMPARE(tabs->tabPosition(), QTabWidget::North);
        QVERIFY(!tabs->isMovable());
        QCOMPARE(tabs->contextMenuPolicy(), Qt::NoContextMenu);
        QVERIFY(tabs->autoFillBackground());
    }

    void comboGradTypeItems_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("translated");
        QTest::newRow("TMP123") << 0 << "Датчик температуры TMP123" << true;
        QTest::newRow("voltage") << 1 << "Напряжение (не выбирается)" << false;
        QTest::newRow("thermocouple") << 2 << "Термопара" << true;
        QTest::newRow("3-wire RTD") << 3 << "3х проводное ТС" << true;
        QTest::newRow("4-wire RTD") << 4 << "4х проводное ТС" << true;
    }

    void comboGradTypeItems()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(bool, translated);
        QComboBox *combo = widget<QComboBox>("comboGradType");
        QVERIFY(combo != nullptr);
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->itemText(index), text);

        MarkingTranslator translator("MainWindow");
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
        QComboBox *other = only<QComboBox>(&window, "comboGradType");
        QVERIFY(other != nullptr);
        QCOMPARE(other->itemText(index), translated ? marked(text) : text);
    }

    void runTimeListsStartEmpty_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("comboPort") << "comboPort";
        QTest::newRow("comboGradName") << "comboGradName";
    }

    void runTimeListsStartEmpty()
    {
        QFETCH(QString, name);
        QComboBox *combo = only<QComboBox>(m_window.get(), name);
        QVERIFY(combo != nullptr);
        QCOMPARE(combo->count(), 0);
    }

    void tableHeaders_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("time") << 0 << "Время";
        QTest::newRow("converter") << 1 << "Значение преобр";
        QTest::newRow("corrected") << 2 << "Корр-ое значение";
        QTest::newRow("measured") << 3 << "Измеренное значение";
        QTest::newRow("cold junction") << 4 << "Температура ХС";
        QTest::newRow("current") << 5 << "Ток";
    }

    void tableHeaders()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QTableWidget *table = widget<QTableWidget>("table");
        QVERIFY(table != nullptr);
        QCOMPARE(table->columnCount(), 6);
        QVERIFY(table->horizontalHeaderItem(column) != nullptr);
        QCOMPARE(table->horizontalHeaderItem(column)->text(), text);

        MarkingTranslator translator("MainWindow");
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        QCoreApplication::removeTranslator(&translator);
        QTableWidget *other = only<QTableWidget>(&window, "table");
        QVERIFY(other != nullptr);
        QCOMPARE(other->horizontalHeaderItem(column)->text(), marked(text));
    }

    void tableStartsEmptyDisabledAndSorted()
    {
        QTableWidget *table = widget<QTableWidget>("table");
        QVERIFY(table != nullptr);
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(table->columnCount(), 6);
        QVERIFY(!table->isEnabled());
        QVERIFY(table->isSortingEnabled());
    }

    void tableViewSettings_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<int>("value");
        QTest::newRow("vertical scroll bar")
            << QByteArray("verticalScrollBarPolicy") << int(Qt::ScrollBarAsNeeded);
        QTest::newRow("horizontal scroll bar")
            << QByteArray("horizontalScrollBarPolicy") << int(Qt::ScrollBarAlwaysOff);
        QTest::newRow("size adjust")
            << QByteArray("sizeAdjustPolicy") << int(QAbstractScrollArea::AdjustToContents);
        QTest::newRow("auto scroll") << QByteArray("autoScroll") << 0;
        QTest::newRow("tab key navigation") << QByteArray("tabKeyNavigation") << 0;
        QTest::newRow("drop indicator") << QByteArray("showDropIndicator") << 0;
        QTest::newRow("drag drop overwrite") << QByteArray("dragDropOverwriteMode") << 0;
        QTest::newRow("alternating colours") << QByteArray("alternatingRowColors") << 0;
        QTest::newRow("selection mode")
            << QByteArray("selectionMode") << int(QAbstractItemView::SingleSelection);
        QTest::newRow("selection behaviour")
            << QByteArray("selectionBehavior") << int(QAbstractItemView::SelectItems);
        QTest::newRow("elide") << QByteArray("textElideMode") << int(Qt::ElideLeft);
        QTest::newRow("vertical scroll mode")
            << QByteArray("verticalScrollMode") << int(QAbstractItemView::ScrollPerPixel);
        QTest::newRow("horizontal scroll mode")
            << QByteArray("horizontalScrollMode") << int(QAbstractItemView::ScrollPerPixel);
        QTest::newRow("sorting") << QByteArray("sortingEnabled") << 1;
    }

    void tableViewSettings()
    {
        QFETCH(QByteArray, property);
        QFETCH(int, value);
        QTableWidget *table = widget<QTableWidget>("table");
        QVERIFY(table != nullptr);
        const QVariant actual = table->property(property.constData());
        QVERIFY2(actual.isValid(), property.constData());
        QCOMPARE(actual.toInt(), value);
    }

    void productionDateLimits()
    {
        QDateEdit *date = widget<QDateEdit>("CurrentDate");
        QVERIFY(date != nullptr);
        QCOMPARE(date->minimumDateTime(), QDateTime(QDate(2018, 9, 1), QTime(0, 0, 0)));
        QCOMPARE(date->maximumDateTime(), QDateTime(QDate(2155, 12, 31), QTime(23, 59, 59)));
        QCOMPARE(date->date(), QDate(2018, 9, 1));
        QVERIFY(date->calendarPopup());
        QCOMPARE(date->currentSection(), QDateTimeEdit::DaySection);
        // Day, month and year in digits, whatever the system's language.
        QCOMPARE(date->displayFormat(), QStringLiteral("dd.MM.yyyy"));
        date->setDate(QDate(2024, 3, 15));
        QCOMPARE(date->text(), QStringLiteral("15.03.2024"));
    }

    void productionDateIsClamped_data()
    {
        QTest::addColumn<QDate>("written");
        QTest::addColumn<QDate>("shown");
        QTest::newRow("before first date") << QDate(2000, 1, 1) << QDate(2018, 9, 1);
        QTest::newRow("inside") << QDate(2024, 2, 29) << QDate(2024, 2, 29);
        QTest::newRow("after last date") << QDate(2200, 1, 1) << QDate(2155, 12, 31);
    }

    void productionDateIsClamped()
    {
        QFETCH(QDate, written);
        QFETCH(QDate, shown);
        QDateEdit *date = widget<QDateEdit>("CurrentDate");
        QVERIFY(date != nullptr);
        date->setDate(written);
        QCOMPARE(date->date(), shown);
    }

    void windowSizes()
    {
        QCOMPARE(m_window->size(), QSize(734, 680));
        QCOMPARE(m_window->minimumSize(), QSize(660, 540));
        QCOMPARE(m_window->maximumSize(), QSize(867, 680));
    }

    void resizingStaysWithinLimits_data()
    {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("result");
        QTest::newRow("huge") << QSize(2000, 2000) << QSize(867, 680);
        QTest::newRow("tiny") << QSize(100, 100) << QSize(660, 540);
        QTest::newRow("taller only") << QSize(700, 900) << QSize(700, 680);
        QTest::newRow("widest") << QSize(867, 680) << QSize(867, 680);
        QTest::newRow("narrowest") << QSize(660, 680) << QSize(660, 680);
    }

    void resizingStaysWithinLimits()
    {
        QFETCH(QSize, requested);
        QFETCH(QSize, result);
        m_window->resize(requested);
        QCOMPARE(m_window->size(), result);
    }

    void shortWindowKeepsEveryControlAndTheRunInSight_data()
    {
        QTest::addColumn<int>("height");
        QTest::newRow("1024x640") << 640;
        QTest::newRow("shortest") << 540;
    }

    // A laptop screen leaves the window less height than the form was drawn for: a page that
    // no longer fits scrolls rather than squeezing its controls, and the buttons of polling and
    // of a test run and the link indicator (added at start-up, as here) show whole.
    void shortWindowKeepsEveryControlAndTheRunInSight()
    {
        QFETCH(int, height);
        auto *indicator = new QLabel(QStringLiteral("NONE"));
        m_window->statusBar()->addWidget(indicator);
        // A long run has filled the table and says how it stands.
        m_ui.table->setRowCount(500);
        m_ui.testRunState->setText(QStringLiteral("Идёт испытание: 1.csv, строк: 500"));
        m_window->resize(1024, height);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->height(), height);
        const QMap<QString, QList<QWidget *>> runButtons = {
            {"tabData", {m_ui.startButton, m_ui.stopButton}},
            {"tabTesting", {m_ui.pushButtonStartTesting, m_ui.pushButtonStopTesting}}};
        for (const auto &page : kPages) {
            m_ui.tabWidget->setCurrentWidget(widget<QWidget>(qPrintable(page.first)));
            QCoreApplication::sendPostedEvents();
            const QStringList squashed = squashedBelow(m_ui.centralWidget);
            QVERIFY2(squashed.isEmpty(), qPrintable(page.first + ": " + squashed.join(' ')));
            for (QWidget *button : runButtons.value(page.first))
                QVERIFY2(shownWhole(button), qPrintable(button->objectName()));
        }
        QVERIFY(shownWhole(indicator));
    }

    void statusBarRunsRightToLeft()
    {
        QStatusBar *bar = widget<QStatusBar>("statusBar");
        QVERIFY(bar != nullptr);
        QCOMPARE(bar->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(bar->findChildren<QLabel *>().size(), 0);
    }

    void menuHoldsTheManualPacketActionFirst()
    {
        QMenuBar *bar = widget<QMenuBar>("menuBar");
        QMenu *menu = widget<QMenu>("menu");
        QAction *action = widget<QAction>("debugMode");
        QAction *chart = widget<QAction>("showChart");
        QAction *load = widget<QAction>("loadConfig");
        QAction *writeAndVerify = widget<QAction>("writeAndVerify");
        QAction *find = widget<QAction>("findDevice");
        QAction *reference = widget<QAction>("referenceFromWindow");
        QAction *rack = widget<QAction>("showRack");
        QVERIFY(reference != nullptr);
        QVERIFY(rack != nullptr);
        QVERIFY(bar != nullptr);
        QVERIFY(menu != nullptr);
        QVERIFY(action != nullptr);
        QVERIFY(chart != nullptr);
        QVERIFY(load != nullptr);
        QVERIFY(writeAndVerify != nullptr);
        QVERIFY(find != nullptr);
        QCOMPARE(bar->actions(), QList<QAction *>{menu->menuAction()});
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.mid(0, 7),
                 (QList<QAction *>{action, chart, load, writeAndVerify, reference, find, rack}));
        // The calibration entries after a separator, last.
        QVERIFY(actions.value(7) && actions.value(7)->isSeparator());
        QCOMPARE(actions.mid(8),
                 (QList<QAction *>{widget<QAction>("correctionWizard"), widget<QAction>("loopTest"),
                                   widget<QAction>("calibrationCertificate")}));
        QCOMPARE(rack->text(), QStringLiteral("Стенд"));
        QCOMPARE(reference->text(), QStringLiteral("Сделать показанное эталоном"));
        QCOMPARE(find->text(), QStringLiteral("Найти прибор"));
        QCOMPARE(chart->text(), QStringLiteral("График"));
        QCOMPARE(load->text(), QStringLiteral("Загрузить конфигурацию…"));
        QCOMPARE(writeAndVerify->text(), QStringLiteral("Записать и проверить"));
        QCOMPARE(action->parent(), m_window.get());
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F10")));
        QCOMPARE(action->shortcut().toString(), QStringLiteral("Ctrl+Shift+F10"));
        QCOMPARE(action->font().pointSize(), 12);
        QCOMPARE(bar->font().family(), QStringLiteral("MS Shell Dlg 2"));
        QCOMPARE(bar->font().pointSize(), 12);
    }

    void tabWidgetUsesArial()
    {
        QTabWidget *tabs = widget<QTabWidget>("tabWidget");
        QVERIFY(tabs != nullptr);
        QCOMPARE(tabs->font().family(), QStringLiteral("Arial"));
        QCOMPARE(tabs->font().pointSize(), 12);
    }

    void controlsCarryTheirOwnFont_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("arial");
        QTest::addColumn<bool>("checkWeight");
        for (const char *name : {"label_5",
                                 "comboPort",
                                 "refreshButton",
                                 "buttonConnect",
                                 "label_4",
                                 "passwordLine",
                                 "buttonFactoryMode",
                                 "label_15",
                                 "startButton",
                                 "stopButton",
                                 "label_18",
                                 "comboGradType",
                                 "comboGradName",
                                 "LowerRange",
                                 "UpperRange",
                                 "dempBuffSize",
                                 "Hyst",
                                 "CompensationCheckBox",
                                 "buttonReadProbeType",
                                 "buttonWriteProbeType",
                                 "label_13",
                                 "refVal",
                                 "refVal_5",
                                 "measVal",
                                 "measVal_3",
                                 "label_16",
                                 "CorrectionCheckBox",
                                 "buttonReadRefAndMeas",
                                 "buttonWriteRefAndMeas",
                                 "buttonFactoryResetSettings",
                                 "label_14",
                                 "Number",
                                 "label_28",
                                 "CurrentDate",
                                 "label_31",
                                 "firmwareVersion",
                                 "buttonReadDeviceInfo",
                                 "buttonWriteDeviceInfo",
                                 "groupBox_6",
                                 "label_7",
                                 "label_36",
                                 "buttonFirstPoint",
                                 "buttonSecondPoint",
                                 "groupBox_8",
                                 "label_24",
                                 "ADC_OCR",
                                 "calib3x",
                                 "buttonWriteADC",
                                 "label_19",
                                 "LoopCurrent",
                                 "buttonWriteFixedCurrent",
                                 "groupBox_17",
                                 "buttonSaveFactorySettings",
                                 "readConfig",
                                 "buttonClearEEPROM",
                                 "groupBox",
                                 "CJ_FSR",
                                 "buttonWriteCJ",
                                 "pushButtonStartTesting",
                                 "pushButtonStopTesting"})
            QTest::newRow(name) << QString::fromLatin1(name) << true << false;
        for (const QString &name : kValueBoxes)
            QTest::newRow(qPrintable(name)) << name << true << true;
        QTest::newRow("table") << "table" << false << false;
        QTest::newRow("frame1") << "frame1" << false << false;
    }

    // Each control sets its own font: when the window and the tab widget change theirs, a
    // control keeps Arial 12 pt. The table and the correction frame fix only the size and keep
    // the default family Qt gives their class (on Windows an item view's differs from the rest).
    void controlsCarryTheirOwnFont()
    {
        QFETCH(QString, name);
        QFETCH(bool, arial);
        QFETCH(bool, checkWeight);
        const QFont elsewhere(QStringLiteral("DejaVu Serif"), 7, QFont::Bold);
        m_window->setFont(elsewhere);
        widget<QTabWidget>("tabWidget")->setFont(elsewhere);
        QWidget *control = only<QWidget>(m_window.get(), name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->font().family(),
                 arial ? QStringLiteral("Arial") : QApplication::font(control).family());
        QCOMPARE(control->font().pointSize(), 12);
        if (checkWeight)
            QCOMPARE(control->font().weight(), int(QFont::Normal));
    }

    // Tab-key focus visits the declared controls in order, one right after the other from the
    // data tab's start button on; Qt puts that first one after the tab widget's own contents.
    void focusChainFollowsTheDeclaredOrder()
    {
        const QStringList declared = {"tabWidget",
                                      "startButton",
                                      "stopButton",
                                      "buttonFirstPoint",
                                      "buttonSecondPoint",
                                      "pushButtonStartTesting",
                                      "pushButtonStopTesting",
                                      "table"};
        QStringList chain;
        QWidget *current = m_window.get();
        do {
            if ((current->focusPolicy() & Qt::TabFocus) && !current->objectName().isEmpty())
                chain << current->objectName();
            current = current->nextInFocusChain();
        } while (current != m_window.get() && chain.size() < 1000);

        QStringList visited;
        for (const QString &name : chain) {
            if (declared.contains(name))
                visited << name;
        }
        QCOMPARE(visited, declared);

        const int start = chain.indexOf(QStringLiteral("startButton"));
        QVERIFY(start > chain.indexOf(QStringLiteral("tabWidget")));
        QCOMPARE(chain.mid(start, declared.size() - 1), declared.mid(1));
    }

    void hysteresisStepsByHalf_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<double>("value");
        QTest::newRow("one up") << 1 << 0.5;
        QTest::newRow("three up") << 3 << 1.5;
        QTest::newRow("past the top") << 20 << 5.0;
        QTest::newRow("below zero") << -1 << 0.0;
    }

    void hysteresisStepsByHalf()
    {
        QFETCH(int, steps);
        QFETCH(double, value);
        QDoubleSpinBox *hyst = widget<QDoubleSpinBox>("Hyst");
        QVERIFY(hyst != nullptr);
        hyst->stepBy(steps);
        QCOMPARE(hyst->value(), value);
        QCOMPARE(hyst->text(), hyst->locale().toString(value, 'f', 2));
    }

    void dampingBufferTakesWholeNumbersOnly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("state");
        QTest::newRow("zero") << "0" << int(QValidator::Acceptable);
        QTest::newRow("twelve") << "12" << int(QValidator::Acceptable);
        QTest::newRow("thirteen") << "13" << int(QValidator::Invalid);
        QTest::newRow("negative") << "-1" << int(QValidator::Invalid);
        QTest::newRow("fraction") << "2.5" << int(QValidator::Invalid);
        QTest::newRow("letters") << "a" << int(QValidator::Invalid);
    }

    void dampingBufferTakesWholeNumbersOnly()
    {
        QFETCH(QString, typed);
        QFETCH(int, state);
        QSpinBox *buffer = widget<QSpinBox>("dempBuffSize");
        QVERIFY(buffer != nullptr);
        // What the user types is checked by the validator of the box's editor.
        auto *editor = buffer->findChild<QLineEdit *>();
        QVERIFY(editor != nullptr);
        QVERIFY(editor->validator() != nullptr);
        int position = typed.size();
        QCOMPARE(int(editor->validator()->validate(typed, position)), state);
    }

    void valuesOutsideTheRangeAreClamped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("written");
        QTest::addColumn<double>("shown");
        QTest::newRow("Iout above") << "Iout" << 40.0 << 30.0;
        QTest::newRow("Iout below") << "Iout" << -5.0 << -1.0;
        QTest::newRow("LowerRange below") << "LowerRange" << -500.0 << -280.0;
        QTest::newRow("LowerRange above") << "LowerRange" << 2000.0 << 1810.0;
        QTest::newRow("UpperRange takes 2000") << "UpperRange" << 2000.0 << 2000.0;
        QTest::newRow("UpperRange above") << "UpperRange" << 3000.0 << 2550.0;
        QTest::newRow("UpperRange below") << "UpperRange" << -300.0 << -280.0;
        QTest::newRow("Hyst above") << "Hyst" << 7.0 << 5.0;
        QTest::newRow("tempTMP above") << "tempTMP" << 400.0 << 300.0;
        QTest::newRow("tempADC below") << "tempADC" << -301.0 << -300.0;
        QTest::newRow("preValue above") << "preValue" << 2e15 << 1e15;
        QTest::newRow("correctedValue below") << "correctedValue" << -2e12 << -1e12;
        QTest::newRow("refVal_3 below") << "refVal_3" << -300.0 << -275.0;
        QTest::newRow("measVal_5 above") << "measVal_5" << 3500.0 << 3000.0;
        QTest::newRow("LoopCurrent above") << "LoopCurrent" << 30.0 << 24.0;
        QTest::newRow("calib3x above") << "calib3x" << 2.0 << 1.0;
        QTest::newRow("ADC_OCR below") << "ADC_OCR" << -11.0 << -10.0;
        QTest::newRow("CJ_FSR above") << "CJ_FSR" << 10.5 << 10.0;
        QTest::newRow("rounded to precision") << "LowerRange" << 1.23456789 << 1.234568;
        QTest::newRow("hysteresis rounded") << "Hyst" << 1.234 << 1.23;
    }

    void valuesOutsideTheRangeAreClamped()
    {
        QFETCH(QString, name);
        QFETCH(double, written);
        QFETCH(double, shown);
        QDoubleSpinBox *box = only<QDoubleSpinBox>(m_window.get(), name);
        QVERIFY(box != nullptr);
        box->setValue(written);
        QCOMPARE(box->value(), shown);
    }

    void wholeNumbersOutsideTheRangeAreClamped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("shown");
        QTest::newRow("buffer above") << "dempBuffSize" << 13 << 12;
        QTest::newRow("buffer below") << "dempBuffSize" << -1 << 0;
        QTest::newRow("serial above") << "Number" << 1000000000 << 999999999;
        QTest::newRow("serial below") << "Number" << -7 << 0;
    }

    void wholeNumbersOutsideTheRangeAreClamped()
    {
        QFETCH(QString, name);
        QFETCH(int, written);
        QFETCH(int, shown);
        QSpinBox *box = only<QSpinBox>(m_window.get(), name);
        QVERIFY(box != nullptr);
        box->setValue(written);
        QCOMPARE(box->value(), shown);
    }

    void lineEditsKeepAtMostTheirLength_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("kept");
        QTest::newRow("password of 9") << "passwordLine"
                                       << "123456789"
                                       << "12345678";
        QTest::newRow("password of 8") << "passwordLine"
                                       << "abcdefgh"
                                       << "abcdefgh";
        QTest::newRow("version of 7") << "firmwareVersion"
                                      << "1.02.03"
                                      << "1.02.";
        QTest::newRow("version of 5") << "firmwareVersion"
                                      << "v1.20"
                                      << "v1.20";
    }

    void lineEditsKeepAtMostTheirLength()
    {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(QString, kept);
        QLineEdit *line = only<QLineEdit>(m_window.get(), name);
        QVERIFY(line != nullptr);
        line->setText(written);
        QCOMPARE(line->text(), kept);
    }

    void passwordIsMasked()
    {
        QLineEdit *password = widget<QLineEdit>("passwordLine");
        QVERIFY(password != nullptr);
        password->setText(QStringLiteral("secret12"));
        QCOMPARE(password->displayText().size(), 8);
        for (const QChar c : QStringLiteral("secret12"))
            QVERIFY(!password->displayText().contains(c));
    }

    void handlersAreBoundByObjectName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("call");
        for (const char *button : {"refreshButton",
                                   "buttonConnect",
                                   "startButton",
                                   "stopButton",
                                   "pushButtonStartTesting",
                                   "pushButtonStopTesting",
                                   "buttonFactoryMode",
                                   "buttonReadProbeType",
                                   "buttonWriteProbeType",
                                   "buttonReadRefAndMeas",
                                   "buttonWriteRefAndMeas",
                                   "buttonFactoryResetSettings",
                                   "buttonReadDeviceInfo",
                                   "buttonWriteDeviceInfo",
                                   "buttonFirstPoint",
                                   "buttonSecondPoint",
                                   "buttonWriteFixedCurrent",
                                   "buttonReadADC",
                                   "buttonWriteADC",
                                   "buttonSaveFactorySettings",
                                   "readConfig",
                                   "buttonClearEEPROM",
                                   "buttonReadCJ",
                                   "buttonWriteCJ"}) {
            const QString name = QString::fromLatin1(button);
            QTest::newRow(button) << name << QStringLiteral("on_%1_clicked").arg(name);
        }
        QTest::newRow("debugMode") << "debugMode"
                                   << "on_debugMode_triggered";
        QTest::newRow("tabWidget") << "tabWidget"
                                   << "on_tabWidget_currentChanged:0";
        QTest::newRow("comboGradType") << "comboGradType"
                                       << "on_comboGradType_currentIndexChanged:3";
        QTest::newRow("comboGradName") << "comboGradName"
                                       << "on_comboGradName_currentIndexChanged:0";
    }

    void handlersAreBoundByObjectName()
    {
        QFETCH(QString, name);
        QFETCH(QString, call);
        HandlerProbe probe;
        Ui::MainWindow ui;
        ui.setupUi(&probe);
        QVERIFY2(probe.calls.isEmpty(), qPrintable(probe.calls.join(QLatin1Char(' '))));

        QObject *object = only<QObject>(&probe, name);
        QVERIFY(object != nullptr);
        auto *button = qobject_cast<QAbstractButton *>(object);
        auto *action = qobject_cast<QAction *>(object);
        auto *tabs = qobject_cast<QTabWidget *>(object);
        auto *combo = qobject_cast<QComboBox *>(object);
        if (button != nullptr) {
            button->click();
        } else if (action != nullptr) {
            action->trigger();
        } else if (tabs != nullptr) {
            tabs->setCurrentIndex(0);
        } else if (combo != nullptr && combo->count() > 0) {
            combo->setCurrentIndex(3);
        } else if (combo != nullptr) {
            combo->addItem(QStringLiteral("Pt100"));
        }
        QCOMPARE(probe.calls, QStringList{call});
    }

    void controlsWithoutHandlersReachNone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("CompensationCheckBox") << "CompensationCheckBox";
        QTest::newRow("CorrectionCheckBox") << "CorrectionCheckBox";
    }

    void controlsWithoutHandlersReachNone()
    {
        QFETCH(QString, name);
        HandlerProbe probe;
        Ui::MainWindow ui;
        ui.setupUi(&probe);
        QCheckBox *box = only<QCheckBox>(&probe, name);
        QVERIFY(box != nullptr);
        box->click();
        ui.comboPort->addItem(QStringLiteral("ttyUSB0"));
        ui.passwordLine->setText(QStringLiteral("1"));
        QVERIFY2(probe.calls.isEmpty(), qPrintable(probe.calls.join(QLatin1Char(' '))));
    }
};

QTEST_MAIN(MainWindowFormTest)
#include "tst_mainwindowform.moc"
