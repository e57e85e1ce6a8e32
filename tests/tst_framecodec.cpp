#include "link/framecodec.h"
#include "link/passwordmask.h"
#include "link/statusstyle.h"

#include <QTest>

using namespace FrameCodec;

Q_DECLARE_METATYPE(FrameCodec::Outcome)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class FrameCodecTest : public QObject
{
    Q_OBJECT
private slots:
    void checkByteSkipsLeadingDelimiters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("check");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("only delimiters") << hex("FFFFFF") << 0;
        QTest::newRow("read of group 1") << hex("FF000100") << 0x01;
        QTest::newRow("type FF is skipped too") << hex("FFFF1000") << 0x10;
        QTest::newRow("inner FF counts") << hex("FF01FF02") << (0x01 ^ 0xFF ^ 0x02);
        QTest::newRow("payload frame") << hex("FF030302AABB") << 0x13;
        QTest::newRow("no leading delimiter") << hex("0506") << 0x03;
    }
    void checkByteSkipsLeadingDelimiters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, check);
        QCOMPARE(int(computeCheckByte(bytes)), check);
    }

    void requestBecomesFrames_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::newRow("read group 1") << hex("0001") << QList<QByteArray>{hex("FF00010001FF")};
        QTest::newRow("live values") << hex("0000") << QList<QByteArray>{hex("FF00000000FF")};
        QTest::newRow("action with one byte")
            << hex("020101") << QList<QByteArray>{hex("FF02010102FF"), hex("FF0301010102FF")};
        QTest::newRow("write with two bytes")
            << hex("0103AABB") << QList<QByteArray>{hex("FF01030200FF"), hex("FF030302AABB13FF")};
        QTest::newRow("type FF left out of check")
            << hex("FF10") << QList<QByteArray>{hex("FFFF100010FF")};
        QTest::newRow("read never sends its payload")
            << hex("0005AA") << QList<QByteArray>{hex("FF00050104FF")};
        QTest::newRow("write without payload")
            << hex("0105") << QList<QByteArray>{hex("FF01050004FF")};
        QTest::newRow("one byte") << hex("00") << QList<QByteArray>{};
        QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    }
    void requestBecomesFrames()
    {
        QFETCH(QByteArray, request);
        QFETCH(QList<QByteArray>, frames);
        QCOMPARE(buildFrames(request), frames);
    }

    void payloadOf256BytesAnnouncesLengthZero()
    {
        QByteArray request = hex("0104");
        QByteArray payload(256, char(0x11));
        request.append(payload);
        const QList<QByteArray> frames = buildFrames(request);
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames.at(0).size(), 6);
        QCOMPARE(quint8(frames.at(0).at(3)), quint8(0));
        QCOMPARE(quint8(frames.at(1).at(3)), quint8(0));
        QCOMPARE(frames.at(1).size(), 6 + 256);
        QCOMPARE(frames.at(1).mid(4, 256), payload);
        // Every frame checks to zero once its own check byte is included.
        for (const QByteArray &frame : frames)
            QCOMPARE(computeCheckByte(frame.left(frame.size() - 1)), quint8(0));
    }

    void receivedFrameIsJudged_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("checkOk");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("good reply")
            << hex("FF000102000506FF") << Outcome::Success << true << hex("0001020005");
        QTest::newRow("bad check byte still delivers")
            << hex("FF000102000507FF") << Outcome::CheckByteError << false << hex("0001020005");
        QTest::newRow("type 5 rejected")
            << hex("FF05010004FF") << Outcome::BadPacket << true << QByteArray();
        QTest::newRow("type 0x7F rejected")
            << hex("FF7F01007EFF") << Outcome::BadPacket << true << QByteArray();
        QTest::newRow("rejection beats a bad check byte")
            << hex("FF05010000FF") << Outcome::BadPacket << false << QByteArray();
        QTest::newRow("type 0x80 passes")
            << hex("FF80010081FF") << Outcome::Success << true << hex("800100");
        QTest::newRow("type 3 passes")
            << hex("FF03010002FF") << Outcome::Success << true << hex("030100");
        QTest::newRow("two bytes") << hex("1234") << Outcome::Success << true << QByteArray();
        QTest::newRow("three bytes, zero")
            << hex("FF00FF") << Outcome::Success << true << QByteArray();
        QTest::newRow("three bytes, non-zero")
            << hex("FF07FF") << Outcome::CheckByteError << false << QByteArray();
        QTest::newRow("one byte") << hex("FF") << Outcome::Success << true << QByteArray();
        QTest::newRow("delimiters not compared")
            << hex("0000010001AA") << Outcome::Success << true << hex("000100");
    }
    void receivedFrameIsJudged()
    {
        QFETCH(QByteArray, received);
        QFETCH(Outcome, outcome);
        QFETCH(bool, checkOk);
        QFETCH(QByteArray, reply);
        const Received result = acceptFrame(received);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.checkByteOk, checkOk);
        QCOMPARE(result.reply, reply);
    }

    void outcomesHaveStatusWords()
    {
        QCOMPARE(outcomeText(Outcome::Success), QStringLiteral("SUCCESS"));
        QCOMPARE(outcomeText(Outcome::CheckByteError), QStringLiteral("CheckByte Error"));
        QCOMPARE(outcomeText(Outcome::BadPacket), QStringLiteral("BAD PACKET"));
    }

    void hexIsUpperCaseWithoutSeparators()
    {
        QCOMPARE(toHex(hex("02000a")), QStringLiteral("02000A"));
        QCOMPARE(toHex(QByteArray()), QString());
    }

    // The bytes in the pieces they are written in; the password and the check
    // byte after it are masked however the pieces fall.
    void passwordIsMaskedInAnyPieces_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("shown");
        const QString unlock = "FF030008" + QString("**").repeated(9) + "FF";
        QTest::newRow("whole frame") << QStringList{"FF030008313233343536373803FF"} << unlock;
        QTest::newRow("header, then payload frame")
            << QStringList{"FF0200080AFF", "FF030008313233343536373803FF"}
            << "FF0200080AFF" + unlock;
        QTest::newRow("split in the password")
            << QStringList{"FF0300", "0831", "32333435", "363738", "03FF"} << unlock;
        QTest::newRow("split before the check byte")
            << QStringList{"FFFF0300083132333435363738", "03", "FF"} << "FF" + unlock;
        QTest::newRow("a write is shown as it is")
            << QStringList{"FF0301083132333435363738", "03FF"} << "FF030108313233343536373803FF";
        QTest::newRow("after another frame")
            << QStringList{"FF00030003FFFF03000231", "3201FF"} << "FF00030003FFFF030002******FF";
    }
    void passwordIsMaskedInAnyPieces()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, shown);
        PasswordMask::TxMask mask;
        QString text;
        for (const QString &piece : pieces)
            text += mask.hex(QByteArray::fromHex(piece.toLatin1()));
        QCOMPARE(text, shown);
    }

    void manualWindowShowsOnlyTheUnlockPayloadMasked()
    {
        QCOMPARE(PasswordMask::shownPayload(hex("0200313233")), QStringLiteral("******"));
        QCOMPARE(PasswordMask::shownPayload(hex("0104313233")), QStringLiteral("313233"));
    }

    void colourRuleReplacesOnlyTheBackground_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("expected");
        const QString prefix = "border-style:solid;border-width:1px;border-color:rgb(0,0,0);"
                               "background-color:";
        QTest::newRow("initial to green")
            << StatusStyle::initialSheet() << "green" << prefix + "green";
        QTest::newRow("yellow to red") << prefix + "yellow"
                                       << "red" << prefix + "red";
        QTest::newRow("no colon replaces from the start") << "abcd"
                                                          << "red"
                                                          << "redcd";
        QTest::newRow("empty") << ""
                               << "red"
                               << "red";
    }
    void colourRuleReplacesOnlyTheBackground()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, colour);
        QFETCH(QString, expected);
        QCOMPARE(StatusStyle::withColour(sheet, colour), expected);
    }

    void colourRuleNeverAccumulates()
    {
        QString sheet = StatusStyle::initialSheet();
        for (const char *colour : {"green", "yellow", "red", "orange", "yellow", "green"})
            sheet = StatusStyle::withColour(sheet, QLatin1String(colour));
        QCOMPARE(sheet, StatusStyle::withColour(StatusStyle::initialSheet(), "green"));
    }
};

QTEST_GUILESS_MAIN(FrameCodecTest)
#include "tst_framecodec.moc"
