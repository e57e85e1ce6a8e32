#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace TestSupport {

// Installs a message handler that records every warning and lets tests fail on
// the ones that point at broken wiring ("No matching signal", a thread
// destroyed while running, ...). Call once from initTestCase().
void watchWarnings();
// The wiring warnings recorded since the last call; cleared by the call.
QStringList takeWiringWarnings();

// The text of a PDF file as `pdftotext -layout` gives it; a text saying so
// when it fails.
QString pdfText(const QString &path);

// Resident set size of this process in kilobytes, from /proc/self/status;
// -1 where there is no such file.
long residentKilobytes();

struct ModalBox
{
    QString title;
    QString text;
    QString className;
    bool shown = false;
};

// Runs action; when a modal widget appears, records its title and text and
// closes it, answering a question with `answer`. Returns what was seen (shown
// == false if no box came within timeoutMs). Use it around any call that may
// open a message box.
ModalBox closeNextModal(const std::function<void()> &action, int timeoutMs = 3000,
                        QMessageBox::StandardButton answer = QMessageBox::Yes);

// Closes every modal box that shows up while the returned guard lives,
// recording each one and answering questions Yes. For boxes that come from
// queued replies.
class ModalWatcher
{
public:
    ModalWatcher();
    ~ModalWatcher();
    QList<ModalBox> boxes() const;

private:
    struct Impl;
    Impl *d;
};

} // namespace TestSupport
