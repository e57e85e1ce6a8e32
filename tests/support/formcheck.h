#pragma once

#include <QObject>
#include <QStringList>
#include <QTranslator>
#include <QtGlobal>

// Helpers shared by the form tests.
namespace TestSupport {

// Records the warnings Qt prints while it is installed, and puts the previous handler back
// when it goes out of scope.
class WarningRecorder
{
public:
    WarningRecorder()
    {
        recorded().clear();
        m_previous = qInstallMessageHandler(&WarningRecorder::record);
    }
    ~WarningRecorder() { qInstallMessageHandler(m_previous); }
    WarningRecorder(const WarningRecorder &) = delete;
    WarningRecorder &operator=(const WarningRecorder &) = delete;

    // Warnings that point at a broken form: an object name that no handler matches, a widget
    // put into two layouts, a tab order across windows and the like.
    static QStringList suspicious()
    {
        static const QStringList markers = {QStringLiteral("No matching signal"),
                                            QStringLiteral("connectSlotsByName"),
                                            QStringLiteral("QLayout"),
                                            QStringLiteral("QGridLayout"),
                                            QStringLiteral("QBoxLayout"),
                                            QStringLiteral("setLayout"),
                                            QStringLiteral("setTabOrder"),
                                            QStringLiteral("uic"),
                                            QStringLiteral("already has a layout")};
        QStringList found;
        for (const QString &message : recorded()) {
            for (const QString &marker : markers) {
                if (message.contains(marker, Qt::CaseInsensitive)) {
                    found << message;
                    break;
                }
            }
        }
        return found;
    }

private:
    static QStringList &recorded()
    {
        static QStringList messages;
        return messages;
    }
    static void record(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
            recorded() << message;
    }

    QtMessageHandler m_previous = nullptr;
};

// Answers every lookup in one translation context with the source text in brackets, so that
// a test can tell which texts went through translation and with which context.
class MarkingTranslator : public QTranslator
{
public:
    explicit MarkingTranslator(const char *context) : m_context(context) {}
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, m_context) != 0 || sourceText == nullptr || *sourceText == '\0')
            return QString();
        return QLatin1Char('[') + QString::fromUtf8(sourceText) + QLatin1Char(']');
    }

private:
    const char *m_context;
};

// Builds a form on a window and returns the warnings that point at a broken form.
template <typename Form, typename Window>
QStringList buildFormWatchingWarnings(Form &form, Window *window)
{
    WarningRecorder recorder;
    form.setupUi(window);
    return WarningRecorder::suspicious();
}

// The one child of that name and class, or null when there is none or several.
template <typename T> T *only(const QObject *root, const QString &name)
{
    const QList<T *> found = root->findChildren<T *>(name);
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace TestSupport
