// Times AddressSet on generated address lists: inserting every line, then one ordered walk;
// prints seconds, peak memory and the time of `LC_ALL=C sort -u` on the same lines.
//
// Usage: address_set_bench [line count, default 10000000]
#include "engine/address_set.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// SplitMix64: each line is a pure function of its number, so repeats need no stored copy.
std::uint64_t NextRandom(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

std::string RandomWord(std::uint64_t& state, std::size_t length, const char* alphabet,
                       std::size_t alphabetSize)
{
    std::string word;
    for (std::size_t i = 0; i < length; ++i)
        word += alphabet[NextRandom(state) % alphabetSize];
    return word;
}

std::vector<std::string> MakeDomains(std::size_t count)
{
    static const char* const tlds[] = {".com", ".net", ".org", ".cn", ".com.cn", ".de", ".co.uk"};
    std::uint64_t state = 42;
    std::vector<std::string> domains;
    for (std::size_t i = 0; i < count; ++i) {
        const auto length = 4 + NextRandom(state) % 9;
        domains.push_back(RandomWord(state, length, "abcdefghijklmnopqrstuvwxyz", 26) +
                          tlds[NextRandom(state) % std::size(tlds)]);
    }
    return domains;
}

// Mixed-case local part at a domain picked with a Zipf-like skew over the domain list.
std::string AddressNumber(std::uint64_t number, const std::vector<std::string>& domains)
{
    static const char alphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._";
    std::uint64_t state = number * 0x2545F4914F6CDD1Du;
    const auto length = 11 + NextRandom(state) % 11;
    std::string line = RandomWord(state, length, alphabet, sizeof alphabet - 1);
    const double uniform = static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53;
    const auto pick =
        static_cast<std::size_t>(std::pow(static_cast<double>(domains.size()), uniform)) - 1;
    return line + '@' + domains[pick];
}

// Writes count CR LF lines, about one in five a repeat of an earlier line.
void WriteAddresses(const std::filesystem::path& path, std::size_t count)
{
    const auto domains = MakeDomains(3000);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror("cannot create the list");
        std::exit(1);
    }
    std::uint64_t state = 7;
    std::uint64_t fresh = 0;
    std::string block;
    for (std::size_t i = 0; i < count; ++i) {
        const bool repeat = fresh != 0 && NextRandom(state) % 5 == 0;
        block += AddressNumber(repeat ? NextRandom(state) % fresh : fresh++, domains) + "\r\n";
        if (block.size() >= (1u << 20)) {
            std::fwrite(block.data(), 1, block.size(), file);
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), file);
    std::fclose(file);
}

// Reads the list in large blocks and inserts each line without its CR LF, widened to UTF-16.
std::size_t InsertFile(const std::filesystem::path& path, trelvane::AddressSet& set)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::perror("cannot read the list");
        std::exit(1);
    }
    std::vector<char> block(1u << 20);
    std::string pending;
    std::u16string line;
    std::size_t lines = 0;
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;) {
        pending.append(block.data(), got);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const std::size_t stop = end > start && pending[end - 1] == '\r' ? end - 1 : end;
            line.assign(pending.begin() + static_cast<std::ptrdiff_t>(start),
                        pending.begin() + static_cast<std::ptrdiff_t>(stop));
            set.Insert(line);
            ++lines;
        }
        pending.erase(0, start);
    }
    std::fclose(file);
    return lines;
}

double PeakMebibytes(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Walks the set in order; returns the number of lines and of code units seen.
std::pair<std::size_t, std::size_t> WalkSet(const trelvane::AddressSet& set)
{
    std::size_t lines = 0;
    std::size_t units = 0;
    set.ForEach([&](std::u16string_view line) {
        ++lines;
        units += line.size();
        return true;
    });
    return {lines, units};
}

// Seconds that `LC_ALL=C sort -u` takes from input to output; negative when it fails.
double TimeSortUnique(const std::filesystem::path& input, const std::filesystem::path& output)
{
    const std::string command =
        "LC_ALL=C sort -u '" + input.string() + "' > '" + output.string() + "'";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? SecondsSince(start) : -1.0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    const auto stem =
        std::filesystem::temp_directory_path() / ("address_set_bench_" + std::to_string(getpid()));
    const auto input = stem.string() + "_input.txt";
    const auto output = stem.string() + "_sorted.txt";
    WriteAddresses(input, count);
    const double inputMebibytes =
        static_cast<double>(std::filesystem::file_size(input)) / (1 << 20);
    const double startPeak = PeakMebibytes(RUSAGE_SELF);

    trelvane::AddressSet set;
    auto start = Clock::now();
    const std::size_t lines = InsertFile(input, set);
    const double insertSeconds = SecondsSince(start);
    start = Clock::now();
    const auto [walked, units] = WalkSet(set);
    const double walkSeconds = SecondsSince(start);
    const double peak = PeakMebibytes(RUSAGE_SELF);
    const double sortSeconds = TimeSortUnique(input, output);

    std::printf("lines %zu, distinct %zu, walked %zu (%zu units), input %.1f MiB\n", lines,
                set.Size(), walked, units, inputMebibytes);
    std::printf("insert %.3f s, iterate %.3f s, total %.3f s\n", insertSeconds, walkSeconds,
                insertSeconds + walkSeconds);
    std::printf("peak RSS %.1f MiB (%.1f MiB before inserting), %.2f x input\n", peak, startPeak,
                peak / inputMebibytes);
    std::printf("sort -u %.3f s (peak RSS %.1f MiB), ratio set/sort %.3f\n", sortSeconds,
                PeakMebibytes(RUSAGE_CHILDREN), (insertSeconds + walkSeconds) / sortSeconds);
    std::filesystem::remove(input);
    std::filesystem::remove(output);
    return 0;
}
