// Reply decoding: arbitrary reply bytes (what an accepted frame holds) through
// every decoder, and through a session's own reply road: its record, its
// signals and its run, with no window to show them.
#include "device/replies.h"
#include "session/devicesession.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

struct Session
{
    int argc = 1;
    char name[13] = "fuzz_replies";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    DeviceSession session{QStringLiteral("fuzz_replies")};
};

void decodeEverything(const QByteArray &data)
{
    if (Device::decodeLiveValues(data).size() != 5)
        abort();
    Device::decodeProbeType(data);
    Device::decodeConverterConstants(data);
    Device::decodeDeviceInfo(data).date();
    Device::decodeRefAndMeas(data);
    Device::unlockAnswerMessage(data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    static Session s;
    const QByteArray reply(reinterpret_cast<const char *>(bytes), int(size));
    const Device::ReplyHeader header = Device::parseReply(reply);
    decodeEverything(header.data);
    // Every device error has its words.
    if (header.resultCode && !Device::isSuccess(*header.resultCode) &&
        !Device::resultCodeMessage(*header.resultCode))
        abort();
    s.session.takeReply(reply);
    s.session.takeCorruptedReply(reply);
    return 0;
}
