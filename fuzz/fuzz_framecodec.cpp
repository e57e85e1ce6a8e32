// Received bytes in arbitrary chunks, through the serial worker's reply
// assembly and frame acceptance, as they arrive from the port.
#include "link/framecodec.h"
#include "link/serialworker.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <cstdint>
#include <cstdlib>

namespace {

struct Line
{
    int argc = 1;
    char name[16] = "fuzz_framecodec";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QSerialPort port; // never opened: the worker only assembles what it is given
    SerialWorker worker{&port};
    QList<QByteArray> delivered; // good check byte
    QList<QByteArray> corrupted; // wrong check byte, handed on apart

    Line()
    {
        QObject::connect(&worker, &SerialWorker::receiveEnd,
                         [this](const QByteArray &reply) { delivered.append(reply); });
        QObject::connect(&worker, &SerialWorker::receiveCorrupted,
                         [this](const QByteArray &reply) { corrupted.append(reply); });
        worker.doWork();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Line line;
    line.delivered.clear();
    line.corrupted.clear();

    // The first byte of each chunk says how many of the following bytes it holds.
    QByteArray received;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        const size_t length = std::min<size_t>(control, size - pos);
        const QByteArray chunk(reinterpret_cast<const char *>(data + pos), int(length));
        line.worker.waitAllBytes(chunk);
        received.append(chunk);
        pos += length;
    }
    line.worker.receivePackage();
    QCoreApplication::processEvents();

    // However it was chunked, the reply is what the port's buffer could hold of
    // it, accepted as one frame.
    const FrameCodec::Received frame =
        FrameCodec::acceptFrame(received.left(SerialWorker::MaxReplyBytes));
    const bool deliverable = !received.isEmpty() && frame.outcome != FrameCodec::Outcome::BadPacket;
    const QList<QByteArray> &handedOn = frame.checkByteOk ? line.delivered : line.corrupted;
    if (line.delivered.size() + line.corrupted.size() != (deliverable ? 1 : 0))
        abort();
    if (deliverable && handedOn.value(0) != frame.reply)
        abort();
    if (frame.outcome == FrameCodec::Outcome::BadPacket && !frame.reply.isEmpty())
        abort();
    return 0;
}
