#include "link/rfc2217codec.h"

#include <initializer_list>

#include <QTest>

Q_DECLARE_METATYPE(std::string)

namespace {
constexpr int Iac = 255, Sb = 250, Se = 240, Will = 251, Wont = 252, Do = 253, Dont = 254;
constexpr int Binary = 0, Echo = 1, SuppressGoAhead = 3, ComPort = 44;

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (const int value : values)
        out.push_back(char(value));
    return out;
}

std::string allBytes()
{
    std::string out;
    for (int value = 0; value < 256; ++value)
        out.push_back(char(value));
    return out;
}

const LineSettings Line19200{19200, 'N', 8, 1};
const LineSettings Line9600{9600, 'N', 8, 1};

// What a server's agreement to COM port control brings for 19200,N,8,1.
const std::string Wire19200 =
    bytes({Iac, Sb, ComPort, 1, 0, 0, 0x4B, 0x00, Iac, Se}) + bytes({Iac, Sb, ComPort, 2, 8, Iac, Se}) +
    bytes({Iac, Sb, ComPort, 3, 1, Iac, Se}) + bytes({Iac, Sb, ComPort, 4, 1, Iac, Se}) +
    bytes({Iac, Sb, ComPort, 5, 1, Iac, Se});

// A codec that has opened with 19200,N,8,1 and whose server took every offer.
Rfc2217Codec agreed()
{
    Rfc2217Codec codec;
    codec.start(Line19200);
    codec.decode(bytes({Iac, Do, Binary, Iac, Will, Binary, Iac, Do, ComPort}));
    return codec;
}
} // namespace

// The telnet side of the RFC 2217 link: every byte crosses unchanged, negotiation settles, settings go out.
class TestRfc2217Codec : public QObject
{
    Q_OBJECT

private slots:
    void everyByteCrossesInAnyPieces_data()
    {
        QTest::addColumn<int>("piece");
        for (const int piece : {1, 2, 3, 7, 255, 511, 4096})
            QTest::addRow("pieces of %d", piece) << piece;
    }
    void everyByteCrossesInAnyPieces()
    {
        QFETCH(int, piece);
        const std::string data = allBytes() + bytes({255, 255, 255, 13, 255});
        const std::string wire = Rfc2217Codec::encode(data);
        QCOMPARE(wire.size(), data.size() + 5);
        Rfc2217Codec codec = agreed();
        std::string received;
        for (std::size_t at = 0; at < wire.size(); at += std::size_t(piece)) {
            const Rfc2217Codec::Decoded decoded = codec.decode(std::string_view(wire).substr(at, piece));
            received += decoded.data;
            QCOMPARE(decoded.answer, std::string());
        }
        QCOMPARE(received, data);
    }

    void serverTalkIsAnsweredOrSwallowed_data()
    {
        QTest::addColumn<std::string>("wire");
        QTest::addColumn<std::string>("data");
        QTest::addColumn<std::string>("answer");
        QTest::newRow("plain data") << std::string("00\r") << std::string("00\r") << std::string();
        QTest::newRow("other options refused")
            << bytes({Iac, Will, SuppressGoAhead, Iac, Do, SuppressGoAhead, Iac, Will, Echo, Iac, Do, 24})
            << std::string()
            << bytes(
                   {Iac, Dont, SuppressGoAhead, Iac, Wont, SuppressGoAhead, Iac, Dont, Echo, Iac, Wont, 24});
        QTest::newRow("a refusal of what is off is not answered")
            << bytes({Iac, Dont, Echo, Iac, Wont, SuppressGoAhead}) << std::string() << std::string();
        QTest::newRow("agreement to our offers is not answered")
            << bytes({Iac, Do, Binary, Iac, Will, Binary}) << std::string() << std::string();
        QTest::newRow("COM port control agreed: the line settings follow")
            << bytes({Iac, Do, ComPort}) << std::string() << Wire19200;
        QTest::newRow("BINARY offered again once agreed")
            << bytes({Iac, Do, Binary, Iac, Do, Binary, Iac, Will, Binary, Iac, Will, Binary})
            << std::string() << std::string();
        QTest::newRow("BINARY withdrawn twice: acknowledged once")
            << bytes({Iac, Do, Binary, Iac, Dont, Binary, Iac, Dont, Binary}) << std::string()
            << bytes({Iac, Wont, Binary});
        QTest::newRow("replies and notifications swallowed between data")
            << std::string("A")
                   .append(bytes({Iac, Sb, ComPort, 101, 0, 0, 0x4B, 0x00, Iac, Se}))
                   .append("B")
                   .append(
                       bytes({Iac, Sb, ComPort, 107, 0x30, Iac, Se, Iac, Sb, ComPort, 106, 0x60, Iac, Se}))
                   .append("C")
            << std::string("ABC") << std::string();
        QTest::newRow("255 inside a subnegotiation is not data")
            << bytes({Iac, Sb, ComPort, 101, 0, 0, Iac, Iac, Iac, Iac, Iac, Se, 'x'}) << std::string("x")
            << std::string();
        QTest::newRow("an overlong subnegotiation is swallowed whole")
            << bytes({Iac, Sb, ComPort, 107}) + std::string(300, 'z') + bytes({Iac, Se, 'y'})
            << std::string("y") << std::string();
        QTest::newRow("a flood of data 255s, then a command")
            << std::string(64 * 1024, char(Iac)) + bytes({Iac, 241, 'z'})
            << std::string(32 * 1024, char(Iac)) + "z" << std::string();
        QTest::newRow("a subnegotiation held open for 64 KiB, 255s within")
            << bytes({'a', Iac, Sb, ComPort, 101}) + std::string(64 * 1024, 'z') + bytes({Iac, Iac}) +
                   std::string(64 * 1024, 'z') + bytes({Iac, Se, 'y'})
            << std::string("ay") << std::string();
        QTest::newRow("other telnet commands swallowed")
            << bytes({'a', Iac, 241, 'b', Iac, 249, 'c', Iac, Se}) << std::string("abc") << std::string();
        QTest::newRow("ser2net's greeting")
            << bytes({Iac, Will, 3,    Iac, Do,  3,  Iac, Will, 1,  Iac, Dont, 1, Iac, Do,
                      0,   Iac,  Will, 0,   Iac, Do, 44,  Iac,  Sb, 44,  107,  0, Iac, Se})
            << std::string()
            << bytes({Iac, Dont, SuppressGoAhead, Iac, Wont, SuppressGoAhead, Iac, Dont, Echo}) + Wire19200;
    }
    void serverTalkIsAnsweredOrSwallowed()
    {
        QFETCH(std::string, wire);
        QFETCH(std::string, data);
        QFETCH(std::string, answer);
        Rfc2217Codec codec;
        QCOMPARE(codec.start(Line19200), bytes({Iac, Will, Binary, Iac, Do, Binary, Iac, Will, ComPort}));
        // Whole, and once more a byte at a time: a command split between arrivals means the same.
        const Rfc2217Codec::Decoded whole = codec.decode(wire);
        QCOMPARE(whole.data, data);
        QCOMPARE(whole.answer, answer);
        codec.start(Line19200);
        Rfc2217Codec::Decoded pieces;
        for (const char byte : wire) {
            const Rfc2217Codec::Decoded one = codec.decode(std::string_view(&byte, 1));
            pieces.data += one.data;
            pieces.answer += one.answer;
        }
        QCOMPARE(pieces.data, data);
        QCOMPARE(pieces.answer, answer);
    }

    void lineSettingsGoOutInNetworkOrder_data()
    {
        QTest::addColumn<LineSettings>("line");
        QTest::addColumn<std::string>("wire");
        QTest::newRow("9600: the speed alone")
            << Line9600 << bytes({Iac, Sb, ComPort, 1, 0, 0, 0x25, 0x80, Iac, Se});
        QTest::newRow("19200 again") << Line19200 << bytes({Iac, Sb, ComPort, 1, 0, 0, 0x4B, 0x00, Iac, Se});
        QTest::newRow("a speed holding 255 has it doubled")
            << LineSettings{65535, 'N', 8, 1}
            << bytes({Iac, Sb, ComPort, 1, 0, 0, Iac, Iac, Iac, Iac, Iac, Se});
        QTest::newRow("every field that changed")
            << LineSettings{115200, 'E', 7, 2}
            << bytes({Iac, Sb, ComPort, 1, 0, 1, 0xC2, 0x00, Iac, Se}) +
                   bytes({Iac, Sb, ComPort, 2, 7, Iac, Se}) + bytes({Iac, Sb, ComPort, 3, 3, Iac, Se}) +
                   bytes({Iac, Sb, ComPort, 4, 2, Iac, Se});
    }
    void lineSettingsGoOutInNetworkOrder()
    {
        QFETCH(LineSettings, line);
        QFETCH(std::string, wire);
        Rfc2217Codec codec = agreed();
        QCOMPARE(codec.setLine(line), wire);
    }

    void settingsWaitForTheServersAgreement()
    {
        Rfc2217Codec codec;
        codec.start(Line19200);
        QCOMPARE(codec.setLine(Line9600), std::string());
        const std::string answer = codec.decode(bytes({Iac, Do, ComPort})).answer;
        QCOMPARE(answer.substr(0, 10), bytes({Iac, Sb, ComPort, 1, 0, 0, 0x25, 0x80, Iac, Se}));
        QCOMPARE(answer.size(), Wire19200.size());
        // Refused: nothing is ever sent, the data still flows.
        codec.start(Line19200);
        const Rfc2217Codec::Decoded refused = codec.decode(bytes({Iac, Dont, ComPort, 'o', 'k'}));
        QCOMPARE(refused.answer, std::string());
        QCOMPARE(refused.data, std::string("ok"));
        QCOMPARE(codec.setLine(Line9600), std::string());
        QCOMPARE(codec.comPortControl(), Rfc2217Codec::ComPortControl::Refused);
        // Withdrawn after the settings went, changed meanwhile, taken again: every setting goes anew.
        codec = agreed();
        QCOMPARE(codec.decode(bytes({Iac, Dont, ComPort})).answer, bytes({Iac, Wont, ComPort}));
        QCOMPARE(codec.setLine(Line9600), std::string());
        QCOMPARE(codec.decode(bytes({Iac, Do, ComPort})).answer,
                 bytes({Iac, Will, ComPort, Iac, Sb, ComPort, 1, 0, 0, 0x25, 0x80, Iac, Se}) +
                     Wire19200.substr(10));
    }

    void aHostileServerGetsBoundedAnswers_data()
    {
        QTest::addColumn<std::string>("wire");
        QTest::addColumn<int>("times");
        QTest::addColumn<std::string>("data");
        QTest::addColumn<std::string>("answer");
        QTest::newRow("a subnegotiation cut by a command")
            << bytes({Iac, Sb, ComPort, 1, Iac, Will, 5}) + "80\r" << 1 << std::string("80\r")
            << bytes({Iac, Dont, 5});
        QTest::newRow("an offer repeated after its refusal")
            << bytes({Iac, Will, 5}) << 1000 << std::string() << bytes({Iac, Dont, 5});
        QTest::newRow("a request repeated after its refusal")
            << bytes({Iac, Do, Echo}) << 1000 << std::string() << bytes({Iac, Wont, Echo});
    }
    void aHostileServerGetsBoundedAnswers()
    {
        QFETCH(std::string, wire);
        QFETCH(int, times);
        QFETCH(std::string, data);
        QFETCH(std::string, answer);
        Rfc2217Codec codec = agreed();
        Rfc2217Codec::Decoded all;
        for (int i = 0; i < times; ++i) {
            const Rfc2217Codec::Decoded decoded = codec.decode(wire);
            all.data += decoded.data;
            all.answer += decoded.answer;
        }
        QCOMPARE(all.data, data);
        QCOMPARE(all.answer, answer);
    }

    void aServerThatTogglesWithoutEndIsNoLongerAnswered()
    {
        Rfc2217Codec codec = agreed();
        std::size_t answered = 0;
        for (int i = 0; i < 10000; ++i)
            answered += codec.decode(bytes({Iac, Wont, Binary, Iac, Will, Binary})).answer.size();
        QVERIFY(codec.negotiatesWithoutEnd());
        QVERIFY(answered <= 3 * Rfc2217Codec::AnswerLimit);
        // Offers that need no answer, repeated without end, are the same storm.
        Rfc2217Codec offered = agreed();
        for (std::size_t i = 0; i <= Rfc2217Codec::NegotiationLimit; ++i)
            offered.decode(bytes({Iac, Will, 5}));
        QVERIFY(offered.negotiatesWithoutEnd());
    }

    void theServersSpeedIsRead()
    {
        Rfc2217Codec codec = agreed();
        QCOMPARE(codec.acknowledgedBaud(), 0);
        codec.decode(bytes({Iac, Sb, ComPort, 101, 0, 0, 0x25}));
        codec.decode(bytes({0x80, Iac, Se}));
        QCOMPARE(codec.acknowledgedBaud(), 9600);
    }
};

QTEST_GUILESS_MAIN(TestRfc2217Codec)
#include "tst_rfc2217codec.moc"
