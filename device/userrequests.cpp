#include "device/userrequests.h"

void UserRequests::sent(const QByteArray &request, qint64 nowMs, Request details)
{
    if (request.size() < 2)
        return;
    details.type = quint8(request.at(0));
    details.command = quint8(request.at(1));
    details.sentAtMs = nowMs;
    waiting.append(details);
}

std::optional<UserRequests::Request> UserRequests::answer(const QByteArray &reply, qint64 nowMs)
{
    if (reply.size() < 2)
        return std::nullopt;
    for (int i = 0; i < waiting.size(); ++i) {
        const Request &request = waiting.at(i);
        if (nowMs - request.sentAtMs < AnswerWithinMs && request.type == quint8(reply.at(0)) &&
            request.command == quint8(reply.at(1)))
            return waiting.takeAt(i);
    }
    return std::nullopt;
}

QList<UserRequests::Request> UserRequests::expire(qint64 nowMs)
{
    QList<Request> expired;
    while (!waiting.isEmpty() && nowMs - waiting.first().sentAtMs >= AnswerWithinMs)
        expired.append(waiting.takeFirst());
    return expired;
}
