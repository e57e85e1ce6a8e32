// Reply decoding: arbitrary reply bytes (what an accepted frame holds) through
// every decoder, and through the main window's own reply path into its controls.
#include "app/mainwindow.h"
#include "device/replies.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

namespace {

int &offscreen(int &argc)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}

struct Window
{
    int argc = 1;
    char name[13] = "fuzz_replies";
    char *argv[2] = {name, nullptr};
    QApplication app{offscreen(argc), argv};
    MainWindow window;
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
    static Window w;
    QByteArray reply(reinterpret_cast<const char *>(bytes), int(size));
    const Device::ReplyHeader header = Device::parseReply(reply);
    decodeEverything(header.data);

    // A box runs its own event loop and would stall every run behind it, so
    // what opens one is judged here: its text must exist, and the reply goes
    // to the window with a success code, which decodes it the same way.
    if (header.resultCode && !Device::isSuccess(*header.resultCode)) {
        if (!Device::resultCodeMessage(*header.resultCode))
            abort();
        reply[3] = 0;
    }
    if (header.type == Device::Type::Action &&
        header.command == Device::ActionCommand::FactoryMode &&
        Device::unlockAnswerMessage(header.data))
        return 0;
    if (!QMetaObject::invokeMethod(&w.window, "commandProcessing", Qt::DirectConnection,
                                   Q_ARG(QByteArray, reply)))
        abort();
    return 0;
}
