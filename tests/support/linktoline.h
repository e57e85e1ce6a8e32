#pragma once

#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// A name for a line that the test owns: a symbolic link in a scratch folder of
// its own, pointing at a pseudo-terminal. The kernel hands a closed
// pseudo-terminal's number to the next one opened, which may be another test's,
// so the program is given this name instead of /dev/pts/N, and once the line
// is gone the link points at a path that does not exist: whatever tries the
// name again finds nothing rather than a stranger's line.
class LinkToLine
{
public:
    explicit LinkToLine(const QString &name = QStringLiteral("line"));

    // The name to give the program.
    QString path() const { return link; }
    // Points the link at `target`, a live line; false where that failed.
    bool pointAt(const QString &target);
    // Points the link at a missing path. Call it as the line goes, before
    // anything may try the name again.
    bool cut();

private:
    QTemporaryDir scratch;
    QString link;
};

} // namespace TestSupport
