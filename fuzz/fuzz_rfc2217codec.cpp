// Any server talk in any pieces: the RFC 2217 codec decodes the same data and gives the same answers
// however the bytes are cut, no byte of a negotiation reaches the data, its answers stay bounded
// whatever arrives, and line settings changed before the server takes COM port control all go once it
// does.
#include "link/rfc2217codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {
constexpr unsigned char Iac = Rfc2217Codec::Iac;
constexpr unsigned char Se = 240;
constexpr unsigned char Sb = 250;
constexpr unsigned char Will = 251;
constexpr unsigned char Do = 253;
constexpr unsigned char VerbCount = 4; // WILL, WONT, DO, DONT
constexpr std::size_t AnswerSize = 3;  // IAC, verb, option

// Long enough to pass the codec's own limit on what it keeps of a subnegotiation.
constexpr unsigned LongestSubnegotiation = 80;
// The first byte: which line the codec starts with (low bits) and how many cut bytes follow.
constexpr unsigned LineBits = 2;
constexpr unsigned CutCountMask = 7;
// A cut byte: its low bits are a piece's length less one; its top bit asks for new line settings
// before the piece, the line named by the bits below it.
constexpr unsigned char PieceMask = 0x1F;
constexpr unsigned char SetLineFlag = 0x80;
constexpr unsigned SetLineShift = 5;

// One with a speed holding 255, whose settings are the longest on the wire.
const std::array<LineSettings, 4> Lines{LineSettings{19200, 'N', 8, 1}, LineSettings{9600, 'E', 7, 2},
                                        LineSettings{115200, 'O', 8, 1}, LineSettings{65535, 'N', 8, 1}};

void require(bool holds)
{
    if (!holds)
        std::abort();
}

// What the codec sends once the server takes COM port control: every setting of the line.
std::string fullSettings(const LineSettings &line)
{
    Rfc2217Codec probe;
    probe.start(line);
    return probe.decode(std::string{char(Iac), char(Do), char(Rfc2217Codec::ComPort)}).answer;
}

// Server talk built from tokens drawn from the fuzz bytes, with the data it must decode to.
class Talk
{
public:
    Talk(const std::uint8_t *data, std::size_t size) : m_at(data), m_end(data + size)
    {
        while (m_at < m_end)
            token(next());
    }

    std::string wire;
    std::string data;

private:
    bool more() const { return m_at < m_end; }
    unsigned char next() { return *m_at++; }
    void put(unsigned char byte) { wire.push_back(char(byte)); }

    void token(unsigned char kind)
    {
        enum : unsigned char { Plain, Negotiation, Subnegotiation, OtherCommand, Kinds };
        if (!more())
            return;
        const unsigned char byte = next();
        switch (kind % Kinds) {
        case Plain:
            // A 255 of the data goes doubled.
            put(byte);
            if (byte == Iac)
                put(Iac);
            data.push_back(char(byte));
            break;
        case Negotiation:
            if (more())
                negotiation(byte, next());
            break;
        case Subnegotiation:
            subnegotiation(byte);
            break;
        case OtherCommand:
            otherCommand(byte);
            break;
        }
    }

    void negotiation(unsigned char verb, unsigned char option)
    {
        put(Iac);
        put(Will + verb % VerbCount);
        put(option);
    }

    // A command below SB is a single byte; SE outside a subnegotiation ends nothing.
    void otherCommand(unsigned char byte)
    {
        put(Iac);
        put(byte % Sb);
    }

    // Its bytes never reach the data, a 255 of its value doubled; it ends with SE, is cut by another
    // command, or is still open when the talk ends.
    void subnegotiation(unsigned char length)
    {
        enum : unsigned char { End, CutByNegotiation, CutByCommand, CutBySubnegotiation, Endings };
        for (;;) {
            put(Iac);
            put(Sb);
            for (unsigned i = 0; i < length % LongestSubnegotiation && more(); ++i) {
                const unsigned char byte = next();
                put(byte);
                if (byte == Iac)
                    put(Iac);
            }
            if (m_at + 1 >= m_end)
                return;
            const unsigned char ending = next();
            const unsigned char byte = next();
            switch (ending % Endings) {
            case End:
                put(Iac);
                put(Se);
                return;
            case CutByNegotiation:
                if (more())
                    negotiation(byte, next());
                return;
            case CutByCommand:
                otherCommand(byte);
                return;
            case CutBySubnegotiation:
                length = byte;
                break;
            }
        }
    }

    const std::uint8_t *m_at;
    const std::uint8_t *m_end;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const LineSettings &first = Lines[data[0] % Lines.size()];
    const std::size_t cutCount = std::min<std::size_t>(data[0] >> LineBits & CutCountMask, size - 1);
    const std::vector<std::uint8_t> cuts(data + 1, data + 1 + cutCount);
    const Talk talk(data + 1 + cutCount, size - 1 - cutCount);

    static const std::size_t longestSettings = [] {
        std::size_t longest = 0;
        for (const LineSettings &line : Lines)
            longest = std::max(longest, fullSettings(line).size());
        return longest;
    }();
    const std::size_t answerBound = Rfc2217Codec::AnswerLimit * AnswerSize;

    Rfc2217Codec whole;
    whole.start(first);
    const Rfc2217Codec::Decoded once = whole.decode(talk.wire);
    require(once.data == talk.data);
    require(once.answer.size() <= answerBound + fullSettings(first).size());

    // The same talk in pieces; a second codec beside it takes new line settings between some pieces.
    Rfc2217Codec pieces;
    pieces.start(first);
    Rfc2217Codec changed;
    changed.start(first);
    LineSettings line = first;
    Rfc2217Codec::Decoded cut;
    std::size_t changedAnswers = 0;
    std::size_t setLines = 0;
    bool settingsOwed = true;
    bool endless = false;
    const std::string_view wire = talk.wire;
    for (std::size_t at = 0, piece = 0; at < wire.size(); ++piece) {
        const std::uint8_t cutByte = cuts.empty() ? 0 : cuts[piece % cuts.size()];
        const std::string_view bytes = wire.substr(at, 1 + (cutByte & PieceMask));
        at += bytes.size();

        const Rfc2217Codec::Decoded decoded = pieces.decode(bytes);
        cut.data += decoded.data;
        cut.answer += decoded.answer;
        require(!endless || pieces.negotiatesWithoutEnd());
        endless = pieces.negotiatesWithoutEnd();

        if (cutByte & SetLineFlag) {
            line = Lines[(cutByte >> SetLineShift) % Lines.size()];
            const bool agreed = changed.comPortAgreed();
            const std::string sent = changed.setLine(line);
            require(sent.empty() != agreed);
            require(sent.size() <= longestSettings);
            settingsOwed = settingsOwed || !agreed;
            ++setLines;
        }
        const std::string answer = changed.decode(bytes).answer;
        changedAnswers += answer.size();
        if (settingsOwed && answer.find(fullSettings(line)) != std::string::npos)
            settingsOwed = false;
        require(!(settingsOwed && changed.comPortAgreed()));
    }
    require(cut.data == once.data && cut.answer == once.answer);
    require(pieces.negotiatesWithoutEnd() == whole.negotiatesWithoutEnd());
    require(changedAnswers <= answerBound + (1 + setLines) * longestSettings);
    return 0;
}
