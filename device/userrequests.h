#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Requests the user sent (a button, the manual packet window) that wait for
// their reply. The protocol cannot pair a reply with its request, so a reply
// is the user's when it has the type and command of such a request, sent less
// than AnswerWithinMs ago and not answered yet; every other reply is the
// program's own (polling, a test run, or one that answers nothing).
class UserRequests
{
public:
    static constexpr qint64 AnswerWithinMs = 5000;

    struct Request
    {
        quint8 type = 0;
        quint8 command = 0;
        qint64 sentAtMs = 0;
        QString action;             // what the user confirmed, for the outcome box; empty for most
        int journalNumber = 0;      // its line in the write journal; 0 for a request not journaled
        bool ofWriteVerify = false; // a step of "Записать и проверить"
        bool ofProcedure = false;   // a step of a calibration procedure
    };

    // A request shorter than two bytes goes nowhere and is not recorded. The
    // type, command and time of `details` are the request's own.
    void sent(const QByteArray &request, qint64 nowMs, Request details);
    // The user's request this reply answers, taken off the list; none for the
    // program's own replies.
    std::optional<Request> answer(const QByteArray &reply, qint64 nowMs);
    // Requests whose time for an answer has run out, taken off the list.
    QList<Request> expire(qint64 nowMs);
    void clear() { waiting.clear(); }
    bool isEmpty() const { return waiting.isEmpty(); }

private:
    QList<Request> waiting; // oldest first
};
