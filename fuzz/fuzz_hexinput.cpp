// The manual packet window's hex fields: any text the user types or pastes.
#include "debug/hexinput.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QByteArray bytes = HexInput::decode(text);
    // Two hex digits make one byte, and an odd digit count one byte more.
    if (bytes.size() > text.size())
        abort();
    int groupBytes = 0;
    for (const QByteArray &group : HexInput::rawGroups(text))
        groupBytes += group.size();
    if (groupBytes > text.size())
        abort();
    return 0;
}
