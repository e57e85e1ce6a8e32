// The simulator's request parser: framing, pairing of header and payload
// frames, and what happens to garbage, truncated frames and bad check bytes.
#include "sim/frameparser.h"

#include <QtTest>

#include <random>

using namespace veltra::sim;
using Clock = FrameParser::Clock;
using std::chrono::milliseconds;

namespace {

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return Bytes(bytes.begin(), bytes.end());
}

Bytes concat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// "01 03 AABB" for a request, "!01 03" for a frame refused for its check byte.
QString describe(const ParsedRequest &parsed)
{
    const QByteArray payload(reinterpret_cast<const char *>(parsed.request.payload.data()),
                             static_cast<int>(parsed.request.payload.size()));
    QString text = QString::asprintf("%s%02X %02X", parsed.checkByteOk ? "" : "!",
                                     parsed.request.type, parsed.request.command);
    if (parsed.checkByteOk)
        text += " " + (payload.isEmpty() ? QString("-") : QString(payload.toHex().toUpper()));
    return text;
}

QStringList describe(const std::vector<ParsedRequest> &parsed)
{
    QStringList list;
    for (const ParsedRequest &item : parsed)
        list << describe(item);
    return list;
}

// Feeds `stream` in chunks of `chunk` bytes one millisecond apart, then lets
// the line fall silent so that everything is settled.
QStringList feedInChunks(FrameParser &parser, const Bytes &stream, size_t chunk)
{
    QStringList seen;
    Clock::time_point now = Clock::now();
    for (size_t pos = 0; pos < stream.size(); pos += chunk) {
        const size_t size = std::min(chunk, stream.size() - pos);
        seen << describe(parser.feed(stream.data() + pos, size, now));
        seen << describe(parser.expire(now));
        now += milliseconds(1);
    }
    seen << describe(parser.expire(now + milliseconds(500)));
    return seen;
}

Request refAndMeasWrite()
{
    Request request{TypeWrite, 4, {}};
    for (int i = 0; i < 41; ++i)
        request.payload.push_back(static_cast<uint8_t>(i * 7));
    return request;
}

} // namespace

class FrameParserTest : public QObject
{
    Q_OBJECT

private slots:
    void encodersBuildTheConfiguratorsFrames();
    void chunkingDoesNotChangeTheOutcome_data();
    void chunkingDoesNotChangeTheOutcome();
    void headerWaitsForItsPayloadFrame_data();
    void headerWaitsForItsPayloadFrame();
    void silenceCutsAPartialFrameOff_data();
    void silenceCutsAPartialFrameOff();
    void bytesReadLateAreNotTakenForAPause();
    void badCheckByteIsRefusedOnceSettled();
    void garbageWithoutDelimitersNeverCostsAFrame();
    void randomBytesNeverWedgeTheParser();
};

void FrameParserTest::encodersBuildTheConfiguratorsFrames()
{
    const Request write{TypeWrite, 3, {0xAA, 0xBB}};
    QCOMPARE(encodeHeaderFrame(write), hex("FF 01 03 02 00 FF"));
    QCOMPARE(encodePayloadFrame(write), hex("FF 03 03 02 AA BB 13 FF"));
    QCOMPARE(encodeHeaderFrame(Request{0xFF, 0x10, {}}), hex("FF FF 10 00 10 FF"));
    QCOMPARE(checkByte(hex("")), uint8_t(0));
    QCOMPARE(checkByte(hex("FF FF")), uint8_t(0));
    QCOMPARE(checkByte(hex("FF 00 01 00")), uint8_t(0x01));

    Reply reply{TypeRead, 2, 0, 0x01, {0x10, 0x20, 0xFF}};
    QCOMPARE(encodeReply(reply), hex("FF 00 02 05 00 01 10 20 FF C9 FF"));
}

void FrameParserTest::chunkingDoesNotChangeTheOutcome_data()
{
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("dropped");

    const Request big = refAndMeasWrite();
    const QString bigPayload = QString(
        QByteArray(reinterpret_cast<const char *>(big.payload.data()), 41).toHex().toUpper());

    QTest::newRow("read") << hex("FF 00 00 00 00 FF") << QStringList{"00 00 -"} << 0;
    QTest::newRow("write in two frames")
        << hex("FF 01 03 02 00 FF FF 03 03 02 AA BB 13 FF") << QStringList{"01 03 AABB"} << 0;
    QTest::newRow("41-byte payload") << concat(encodeHeaderFrame(big), encodePayloadFrame(big))
                                     << QStringList{"01 04 " + bigPayload} << 0;
    QTest::newRow("delimiters inside the payload")
        << hex("FF 01 02 04 07 FF FF 03 02 04 FF FF 00 FF FA FF") << QStringList{"01 02 FFFF00FF"}
        << 0;
    QTest::newRow("read announcing a payload it never sends")
        << hex("FF 00 05 01 04 FF") << QStringList{"00 05 -"} << 0;
    QTest::newRow("type byte FF left out of the check")
        << hex("FF FF 10 00 10 FF") << QStringList{"FF 10 -"} << 0;
    QTest::newRow("action without payload")
        << hex("FF 02 00 00 02 FF") << QStringList{"02 00 -"} << 0;
    QTest::newRow("back to back") << hex("FF 00 01 00 01 FF FF 00 02 00 02 FF")
                                  << QStringList{"00 01 -", "00 02 -"} << 0;
    QTest::newRow("garbage before, between and after")
        << hex("12 34 FF 00 01 00 01 FF 56 FF 00 02 00 02 FF 78")
        << QStringList{"00 01 -", "00 02 -"} << 3;
    QTest::newRow("run of delimiters before a frame")
        << hex("FF FF FF 00 01 00 01 FF") << QStringList{"00 01 -"} << 1;
    QTest::newRow("truncated header, then a frame")
        << hex("FF 00 01 FF 00 02 00 02 FF") << QStringList{"00 02 -"} << 1;
    QTest::newRow("garbage borrowing the next frame's delimiter")
        << hex("FF 20 21 22 24 FF 00 01 00 01 FF") << QStringList{"00 01 -"} << 1;
    QTest::newRow("garbage announcing a long payload frame")
        << hex("FF 03 07 F0 FF 00 01 00 01 FF") << QStringList{"00 01 -"} << 1;
    QTest::newRow("header without payload frame, then a read")
        << hex("FF 01 03 02 00 FF FF 00 01 00 01 FF") << QStringList{"00 01 -"} << 1;
    QTest::newRow("type byte 3 with nothing announced")
        << hex("FF 03 01 00 02 FF") << QStringList{"03 01 -"} << 0;
    QTest::newRow("payload frame without header")
        << hex("FF 03 03 02 AA BB 13 FF") << QStringList{} << 1;
    QTest::newRow("payload frame of another command")
        << hex("FF 01 03 02 00 FF FF 03 04 02 AA BB 14 FF") << QStringList{} << 2;
    QTest::newRow("header alone, never completed")
        << hex("FF 02 00 08 0A FF") << QStringList{} << 1;
    QTest::newRow("bad check byte on a read")
        << hex("FF 00 01 00 07 FF") << QStringList{"!00 01"} << 0;
    QTest::newRow("bad check byte on a header swallows its payload frame")
        << hex("FF 01 03 02 55 FF FF 03 03 02 AA BB 13 FF") << QStringList{"!01 03"} << 0;
    QTest::newRow("bad check byte on a payload frame")
        << hex("FF 01 03 02 00 FF FF 03 03 02 AA BB 99 FF") << QStringList{"!01 03"} << 0;
    QTest::newRow("bad frame, then a good one")
        << hex("FF 00 01 00 07 FF FF 00 02 00 02 FF") << QStringList{"!00 01", "00 02 -"} << 0;
}

void FrameParserTest::chunkingDoesNotChangeTheOutcome()
{
    QFETCH(Bytes, stream);
    QFETCH(QStringList, expected);
    QFETCH(int, dropped);
    for (size_t chunk : {size_t(1), size_t(2), size_t(3), size_t(5), size_t(7), stream.size()}) {
        FrameParser parser;
        QCOMPARE(feedInChunks(parser, stream, chunk), expected);
        QCOMPARE(int(parser.droppedFrames()), dropped);
        QCOMPARE(parser.bufferedBytes(), size_t(0));
        QVERIFY(!parser.waitingForPayload());
    }
}

void FrameParserTest::headerWaitsForItsPayloadFrame_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("dropped");
    QTest::newRow("10 ms, as the configurator sends it") << 10 << QStringList{"01 03 AABB"} << 0;
    QTest::newRow("90 ms, still in time") << 90 << QStringList{"01 03 AABB"} << 0;
    // The header is given up, then its payload frame belongs to nothing.
    QTest::newRow("150 ms, too late") << 150 << QStringList{} << 2;
}

void FrameParserTest::headerWaitsForItsPayloadFrame()
{
    QFETCH(int, gapMs);
    QFETCH(QStringList, expected);
    QFETCH(int, dropped);
    FrameParser parser;
    const Clock::time_point start = Clock::now();
    QVERIFY(parser.feed(hex("FF 01 03 02 00 FF"), start).empty());
    QVERIFY(parser.waitingForPayload());
    QStringList seen = describe(parser.expire(start + milliseconds(gapMs)));
    seen << describe(parser.feed(hex("FF 03 03 02 AA BB 13 FF"), start + milliseconds(gapMs)));
    seen << describe(parser.expire(start + milliseconds(gapMs + 500)));
    QCOMPARE(seen, expected);
    QCOMPARE(int(parser.droppedFrames()), dropped);
}

void FrameParserTest::silenceCutsAPartialFrameOff_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("dropped");
    QTest::newRow("pause of 20 ms inside a frame") << 20 << QStringList{"00 01 -"} << 0;
    // Head dropped on silence; the tail is garbage of its own.
    QTest::newRow("pause of 200 ms inside a frame") << 200 << QStringList{} << 2;
}

void FrameParserTest::silenceCutsAPartialFrameOff()
{
    QFETCH(int, gapMs);
    QFETCH(QStringList, expected);
    QFETCH(int, dropped);
    FrameParser parser;
    const Clock::time_point start = Clock::now();
    QStringList seen = describe(parser.feed(hex("FF 00 01 00"), start));
    seen << describe(parser.expire(start + milliseconds(gapMs)));
    seen << describe(parser.feed(hex("01 FF"), start + milliseconds(gapMs)));
    seen << describe(parser.expire(start + milliseconds(gapMs + 500)));
    QCOMPARE(seen, expected);
    QCOMPARE(int(parser.droppedFrames()), dropped);
}

void FrameParserTest::bytesReadLateAreNotTakenForAPause()
{
    // The reader was held up for 300 ms and finds header and payload frame
    // waiting together: no clock tick came in between, so they still pair.
    FrameParser parser;
    const Clock::time_point start = Clock::now();
    QVERIFY(parser.feed(hex("FF 01 03 02 00 FF"), start).empty());
    QCOMPARE(describe(parser.feed(hex("FF 03 03 02 AA BB 13 FF"), start + milliseconds(300))),
             QStringList{"01 03 AABB"});
    QCOMPARE(parser.droppedFrames(), size_t(0));
}

void FrameParserTest::badCheckByteIsRefusedOnceSettled()
{
    // Alone on the line, a bad frame might still be garbage in front of a
    // frame whose first delimiter it has taken; it is refused after silence.
    FrameParser parser;
    const Clock::time_point start = Clock::now();
    QVERIFY(parser.feed(hex("FF 00 01 00 07 FF"), start).empty());
    QVERIFY(parser.expire(start + milliseconds(50)).empty());
    QCOMPARE(describe(parser.expire(start + milliseconds(150))), QStringList{"!00 01"});
    QCOMPARE(parser.droppedFrames(), size_t(0));

    // Followed by the delimiter of the next frame, it is refused at once.
    FrameParser second;
    QCOMPARE(describe(second.feed(hex("FF 00 01 00 07 FF FF"), start)), QStringList{"!00 01"});
}

void FrameParserTest::garbageWithoutDelimitersNeverCostsAFrame()
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 0xFE);
    std::uniform_int_distribution<int> runLength(0, 20);
    Bytes stream;
    QStringList expected;
    int garbageRuns = 0;
    for (int i = 0; i < 200; ++i) {
        const int run = runLength(random);
        garbageRuns += run > 0 ? 1 : 0;
        for (int k = 0; k < run; ++k)
            stream.push_back(static_cast<uint8_t>(byte(random)));
        const Request request{static_cast<uint8_t>(i % 3),
                              static_cast<uint8_t>(i % 6),
                              {static_cast<uint8_t>(i), 0xFF, 0x00}};
        stream = concat(stream, encodeHeaderFrame(request));
        if (request.type != TypeRead)
            stream = concat(stream, encodePayloadFrame(request));
        expected << describe(ParsedRequest{
            {request.type, request.command, request.type != TypeRead ? request.payload : Bytes{}},
            true});
    }
    for (size_t chunk : {size_t(1), size_t(13), size_t(64)}) {
        FrameParser parser;
        QCOMPARE(feedInChunks(parser, stream, chunk), expected);
        QCOMPARE(int(parser.droppedFrames()), garbageRuns);
    }
}

void FrameParserTest::randomBytesNeverWedgeTheParser()
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 0xFF);
    std::uniform_int_distribution<size_t> chunk(1, 40);
    Bytes noise(20000);
    for (uint8_t &b : noise)
        b = static_cast<uint8_t>(byte(random) < 0x40 ? 0xFF : byte(random));
    FrameParser parser;
    Clock::time_point now = Clock::now();
    for (size_t pos = 0; pos < noise.size();) {
        const size_t size = std::min(chunk(random), noise.size() - pos);
        parser.feed(noise.data() + pos, size, now);
        pos += size;
        now += milliseconds(1);
    }
    parser.expire(now + milliseconds(500));
    QCOMPARE(parser.bufferedBytes(), size_t(0));
    QVERIFY(parser.droppedFrames() > 0);

    // The parser is still usable afterwards.
    const auto after = parser.feed(hex("FF 00 03 00 03 FF"), now + milliseconds(600));
    QCOMPARE(describe(after), QStringList{"00 03 -"});
}

QTEST_APPLESS_MAIN(FrameParserTest)
#include "tst_sim_frameparser.moc"
