#include "wire/trace.h"

#include <QTest>

namespace {

QByteArray bytes(const std::string &text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view view(const QByteArray &text)
{
    return std::string_view(text.constData(), static_cast<std::size_t>(text.size()));
}

} // namespace

// Checks the readable trace of sent and received characters.
class TestTrace : public QObject
{
    Q_OBJECT

private slots:
    void rendersEachCharacter_data();
    void rendersEachCharacter();
    void rendersWholeTexts_data();
    void rendersWholeTexts();
    void putsOrdinaryCharactersAtEvenPositions();
    void rendersAtMostTheLimit_data();
    void rendersAtMostTheLimit();
};

void TestTrace::rendersEachCharacter_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("trace");

    QTest::newRow("acknowledge") << 6 << QByteArray(" ACK ");
    QTest::newRow("20 has no blank after it") << 20 << QByteArray(" &");
    QTest::newRow("carriage return") << 13 << QByteArray(" CR ");
    QTest::newRow("line feed") << 10 << QByteArray(" LF ");
    QTest::newRow("nul") << 0 << QByteArray(" ? ");
    QTest::newRow("5 just below acknowledge") << 5 << QByteArray(" ? ");
    QTest::newRow("7 just above acknowledge") << 7 << QByteArray(" ? ");
    QTest::newRow("21 just above 20") << 21 << QByteArray(" ? ");
    QTest::newRow("31 last control code") << 31 << QByteArray(" ? ");
    QTest::newRow("blank shows as two blanks") << 32 << QByteArray("   ");
    QTest::newRow("digit") << int('0') << QByteArray(" 0 ");
    QTest::newRow("capital letter") << int('Q') << QByteArray(" Q ");
    QTest::newRow("ampersand as itself") << int('&') << QByteArray(" & ");
    QTest::newRow("z last ordinary") << int('z') << QByteArray(" z ");
    QTest::newRow("open brace") << int('{') << QByteArray(" ? ");
    QTest::newRow("bar") << int('|') << QByteArray(" ? ");
    QTest::newRow("close brace") << int('}') << QByteArray(" ? ");
    QTest::newRow("tilde") << int('~') << QByteArray(" ? ");
    QTest::newRow("delete") << 127 << QByteArray(" ? ");
    QTest::newRow("128 first high byte") << 128 << QByteArray(" ? ");
    QTest::newRow("255 highest byte") << 255 << QByteArray(" ? ");
}

void TestTrace::rendersEachCharacter()
{
    QFETCH(int, code);
    QFETCH(QByteArray, trace);

    const std::string text(1, static_cast<char>(code));
    QCOMPARE(bytes(renderTrace(text)), trace);
}

void TestTrace::rendersWholeTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("trace");

    QTest::newRow("C00") << QByteArray("C00\r") << QByteArray(" C 0 0 CR ");
    QTest::newRow("C09") << QByteArray("C09\r") << QByteArray(" C 0 9 CR ");
    QTest::newRow("words and blanks")
        << QByteArray("CF LOGO OFF\r") << QByteArray(" C F   L O G O   O F F CR ");
    QTest::newRow("acknowledge then CR") << QByteArray("\x06\r") << QByteArray(" ACK CR ");
    QTest::newRow("stand-by reply") << QByteArray("80\r") << QByteArray(" 8 0 CR ");
    QTest::newRow("mixed tokens") << QByteArray("a{~\x7f", 4).append('\0').append("\x14\n\r")
                                  << QByteArray(" a ? ? ? ? &LF CR ");
    QTest::newRow("small letters as typed") << QByteArray("cr0 x\r") << QByteArray(" c r 0   x CR ");
    QTest::newRow("empty") << QByteArray() << QByteArray(" ");
}

void TestTrace::rendersWholeTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, trace);

    QCOMPARE(bytes(renderTrace(view(text))), trace);
}

void TestTrace::putsOrdinaryCharactersAtEvenPositions()
{
    std::string text;
    for (int code = 32; code <= 122; ++code)
        text.push_back(static_cast<char>(code));

    const std::string trace = renderTrace(text);

    QCOMPARE(trace.size(), 1 + 2 * text.size());
    for (std::size_t k = 1; k <= text.size(); ++k) {
        QCOMPARE(trace[2 * k - 1], text[k - 1]);
        QCOMPARE(trace[2 * k - 2], ' ');
    }
}

void TestTrace::rendersAtMostTheLimit_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("traceLength");

    const int limit = static_cast<int>(TraceCharacterLimit);
    QTest::newRow("exactly the limit") << QByteArray(limit, 'A') << 1 + 2 * limit;
    QTest::newRow("one past the limit") << QByteArray(limit, 'A').append('B') << 1 + 2 * limit;
    QTest::newRow("widest pieces far past the limit") << QByteArray(limit + 5000, '\x06') << 1 + 4 * limit;
}

void TestTrace::rendersAtMostTheLimit()
{
    QFETCH(QByteArray, text);
    QFETCH(int, traceLength);

    const std::string trace = renderTrace(view(text));

    QCOMPARE(static_cast<int>(trace.size()), traceLength);
    QCOMPARE(trace.find('B'), std::string::npos);
}

QTEST_GUILESS_MAIN(TestTrace)
#include "tst_trace.moc"
