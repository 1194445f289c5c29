// Writes realistic address lists for the benchmark: the same arguments give the same bytes.
//
// Usage: list_generator list LINES [SEED]        LINES addresses, CR LF, about one in five a
//                                                repeat of an earlier line
//        list_generator exclusions COUNT LINES [SEED]
//                                                COUNT exclusion lines, half of them taken from
//                                                the list of LINES lines with the same seed
//        list_generator suffixes COUNT           COUNT domain suffixes joined by "|"
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t domainCount = 3000;
constexpr std::uint64_t absentIdBase = std::uint64_t{1} << 40;

// SplitMix64: every line is a pure function of its id, so a repeat needs no stored copy.
std::uint64_t Mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15U;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9U;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBU;
    return value ^ (value >> 31);
}

class Random
{
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() { return Mix(state_++); }
    std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 40> firstNames = {
    "anna",  "ben",  "carla", "david",  "elena", "felix", "gina",  "hugo",  "ines",  "jonas",
    "katja", "leon", "maria", "niklas", "olga",  "paul",  "quinn", "rosa",  "sven",  "tina",
    "umar",  "vera", "wei",   "xenia",  "yusuf", "zoe",   "li",    "ming",  "akira", "sofia",
    "lucas", "emma", "noah",  "mia",    "liam",  "ava",   "omar",  "fatma", "ivan",  "nora"};

constexpr std::array<std::string_view, 40> lastNames = {
    "smith",     "mueller", "wang",     "garcia", "rossi",   "novak",    "kim",    "berg",
    "jansen",    "silva",   "kowalski", "nguyen", "fischer", "martin",   "lopez",  "schmidt",
    "chen",      "ivanova", "dubois",   "horvat", "yilmaz",  "sato",     "larsen", "meyer",
    "costa",     "weber",   "zhang",    "petrov", "moreau",  "wagner",   "hansen", "ortiz",
    "lindqvist", "becker",  "tanaka",   "ali",    "brown",   "hoffmann", "santos", "keller"};

constexpr std::array<std::string_view, 24> syllables = {
    "ka", "lo", "mi",  "ren", "sol", "ta",  "vi",  "mar", "no",  "zen", "bel", "cor",
    "da", "fi", "gor", "hal", "is",  "jor", "kel", "lun", "mor", "nex", "pra", "quo"};

constexpr std::array<std::string_view, 6> domainEnds = {
    ".example", ".example.com", ".example.net", ".example.org", ".mail.example", ".shop.example"};

constexpr std::array<std::string_view, 8> topDomains = {
    "example.com",  "example.net", "example.org",   "mail.example",
    "post.example", "web.example", "inbox.example", "example.edu.example"};

// The domain of each rank: a few big shared ones, then made-up company domains.
std::string DomainAt(std::size_t rank)
{
    if (rank < topDomains.size())
        return std::string(topDomains[rank]);
    Random random(Mix(rank * 7919));
    std::string name;
    for (std::size_t part = 0, parts = 2 + random.Below(2); part < parts; ++part)
        name += syllables[random.Below(syllables.size())];
    if (random.Below(3) == 0)
        name += std::to_string(random.Below(100));
    return name + std::string(domainEnds[random.Below(domainEnds.size())]);
}

// Mostly lower case, often capitalised, now and then in capitals or mixed.
void ApplyCase(std::string& word, Random& random)
{
    const std::size_t style = random.Below(10);
    if (style < 6 || word.empty())
        return;
    if (style < 9) {
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
        return;
    }
    for (char& c : word) {
        if (c >= 'a' && c <= 'z' && random.Below(2) == 0)
            c = static_cast<char>(c - 'a' + 'A');
    }
}

std::string Word(std::string_view word, Random& random)
{
    std::string text(word);
    ApplyCase(text, random);
    return text;
}

std::string LocalPart(Random& random)
{
    const std::string first = Word(firstNames[random.Below(firstNames.size())], random);
    const std::string last = Word(lastNames[random.Below(lastNames.size())], random);
    switch (random.Below(6)) {
    case 0:
        return first + "." + last +
               (random.Below(4) == 0 ? "" : std::to_string(random.Below(1000)));
    case 1:
        return first + last.substr(0, 1) + std::to_string(random.Below(1000));
    case 2:
        return first.substr(0, 1) + last + std::to_string(random.Below(100));
    case 3:
        return first + "_" + last + std::to_string(random.Below(100));
    case 4:
        return first + std::to_string(1950 + random.Below(60)) + last.substr(0, 2);
    default:
        return first + "-" + last + "." + std::to_string(random.Below(10000));
    }
}

// The address with this id; the domain rank is skewed so that a few domains hold most lines.
std::string Address(std::uint64_t id)
{
    Random random(Mix(id));
    const double u = random.Unit();
    const auto rank = static_cast<std::size_t>(static_cast<double>(domainCount) * u * u * u * u);
    return LocalPart(random) + "@" + DomainAt(rank);
}

class Output
{
public:
    ~Output() { Flush(); }
    void Line(std::string_view text, std::string_view end)
    {
        buffer_.append(text);
        buffer_.append(end);
        if (buffer_.size() >= (1U << 20))
            Flush();
    }

private:
    void Flush()
    {
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
    }
    std::string buffer_;
};

void WriteList(std::uint64_t lines, std::uint64_t seed)
{
    Output out;
    Random choice(Mix(seed));
    std::uint64_t freshIds = 0;
    for (std::uint64_t line = 0; line < lines; ++line) {
        // Repeats start once there is a stock to draw from, so that they are rarely adjacent.
        const bool repeat = freshIds >= 1000 && choice.Below(5) == 0;
        const std::uint64_t id = repeat ? choice.Next() % freshIds : freshIds++;
        out.Line(Address(id ^ (seed << 48)), "\r\n");
    }
}

void WriteExclusions(std::uint64_t count, std::uint64_t lines, std::uint64_t seed)
{
    Output out;
    const std::uint64_t freshIds = lines - lines / 5;
    for (std::uint64_t line = 0; line < count; ++line) {
        const std::uint64_t id = line % 2 == 0 ? Mix(line) % freshIds : absentIdBase + line;
        out.Line(Address(id ^ (seed << 48)), "\r\n");
    }
}

void WriteSuffixes(std::size_t count)
{
    // Middle ranks: each removes a small share of the lines, as a real delete list would.
    std::string list;
    for (std::size_t rank = 50; rank < 50 + count; ++rank)
        list += (list.empty() ? "" : "|") + DomainAt(rank);
    Output out;
    out.Line(list, "\n");
}

std::uint64_t Number(const char* text)
{
    return std::strtoull(text, nullptr, 10);
}

int Usage()
{
    std::fputs("usage: list_generator list LINES [SEED] | exclusions COUNT LINES [SEED] | "
               "suffixes COUNT\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "list" && argc >= 3)
        WriteList(Number(argv[2]), argc > 3 ? Number(argv[3]) : 1);
    else if (mode == "exclusions" && argc >= 4)
        WriteExclusions(Number(argv[2]), Number(argv[3]), argc > 4 ? Number(argv[4]) : 1);
    else if (mode == "suffixes" && argc >= 3)
        WriteSuffixes(static_cast<std::size_t>(Number(argv[2])));
    else
        return Usage();
    return 0;
}
