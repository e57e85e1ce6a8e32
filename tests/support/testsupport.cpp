#include "support/testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

namespace TestSupport {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, "-"});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return QStringLiteral("<pdftotext failed on %1>").arg(path);
    return QString::fromUtf8(process.readAllStandardOutput());
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

namespace {

QStringList wiringWarnings;
QtMessageHandler previousHandler = nullptr;

void recordingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const char *const wiringPatterns[] = {
        "No matching signal", "Destroyed while thread", "QObject::connect",
        "Cannot create children for a parent that is in a different thread",
        "Timers cannot be stopped from another thread"};
    if (type != QtDebugMsg && type != QtInfoMsg) {
        for (const char *pattern : wiringPatterns) {
            if (message.contains(QLatin1String(pattern)))
                wiringWarnings.append(message);
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

ModalBox describe(QWidget *widget)
{
    ModalBox box;
    box.shown = true;
    box.className = QString::fromLatin1(widget->metaObject()->className());
    box.title = widget->windowTitle();
    if (auto *messageBox = qobject_cast<QMessageBox *>(widget))
        box.text = messageBox->text();
    return box;
}

// A question is answered `answer` (Yes unless told otherwise); any other box is closed.
void closeModal(QWidget *widget, QMessageBox::StandardButton answer = QMessageBox::Yes)
{
    auto *messageBox = qobject_cast<QMessageBox *>(widget);
    if (QAbstractButton *button = messageBox ? messageBox->button(answer) : nullptr)
        button->click();
    else if (auto *dialog = qobject_cast<QDialog *>(widget))
        dialog->done(QDialog::Accepted);
    else
        widget->close();
}

} // namespace

void watchWarnings()
{
    previousHandler = qInstallMessageHandler(recordingHandler);
}

QStringList takeWiringWarnings()
{
    QStringList taken = wiringWarnings;
    wiringWarnings.clear();
    return taken;
}

ModalBox closeNextModal(const std::function<void()> &action, int timeoutMs,
                        QMessageBox::StandardButton answer)
{
    ModalBox seen;
    QTimer poll;
    poll.setInterval(10);
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            seen = describe(modal);
            closeModal(modal, answer);
            poll.stop();
        } else if (elapsed.elapsed() > timeoutMs) {
            poll.stop();
        }
    });
    poll.start();
    action();
    // The action may have returned without a box; wait for a queued one.
    while (poll.isActive())
        QTest::qWait(10);
    return seen;
}

struct ModalWatcher::Impl
{
    QTimer poll;
    QList<ModalBox> boxes;
};

ModalWatcher::ModalWatcher() : d(new Impl)
{
    d->poll.setInterval(10);
    QObject::connect(&d->poll, &QTimer::timeout, [this] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            d->boxes.append(describe(modal));
            closeModal(modal);
        }
    });
    d->poll.start();
}

ModalWatcher::~ModalWatcher()
{
    delete d;
}

QList<ModalBox> ModalWatcher::boxes() const
{
    return d->boxes;
}

} // namespace TestSupport
