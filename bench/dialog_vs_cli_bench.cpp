// Times one job through the dialog's display of the reports and through the command-line
// tool's receiver, on the same generated list, and prints both times and their ratio.
//
// Usage: dialog_vs_cli_bench [LINES] [ROUNDS]     default 10000000 lines, 2 rounds
// The dialog runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "cli/cli_report.h"
#include "engine/job_runner.h"
#include "ui/dialog/control_ids.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/status_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <time.h>

using namespace trelvane;

namespace {

using Clock = std::chrono::steady_clock;

// SplitMix64: a line is a function of its id, so a repeat needs no stored copy.
std::uint64_t Mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15U;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9U;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBU;
    return value ^ (value >> 31);
}

void AppendLine(std::string& out, std::uint64_t id)
{
    const std::uint64_t bits = Mix(id);
    out += "user";
    out += std::to_string(bits >> 24);
    out += "@host";
    out += std::to_string(bits % 3000);
    out += ".example.com\r\n";
}

// Lines of about 36 bytes with CR LF; about one in five repeats an earlier line.
bool GenerateList(const QString& path, long lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::string block;
    for (long i = 0; i < lines; ++i) {
        const std::uint64_t draw = Mix(~static_cast<std::uint64_t>(i));
        const bool repeat = i > 0 && draw % 5 == 0;
        AppendLine(block, repeat ? (draw >> 8) % static_cast<std::uint64_t>(i) : i);
        if (block.size() < (1U << 20) && i + 1 < lines)
            continue;
        if (file.write(block.data(), static_cast<qint64>(block.size())) !=
            static_cast<qint64>(block.size()))
            return false;
        block.clear();
    }
    return true;
}

// Reads the file once so that both runs find it in the page cache.
void WarmCache(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.read(1 << 20).isEmpty()) {
    }
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time of every thread of the process so far; less sensitive than the wall
// time to other load on a shared machine.
double ProcessorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The processor time of the calling thread so far.
double ThreadProcessorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The wall and processor seconds of one job, and those of the dialog's thread.
struct Timing
{
    double wall = 0;
    double processor = 0;
    double dialogThread = 0;
};

// The job with the command-line tool's receiver: per-line reports store a few numbers.
Timing TimeCliJob(const QString& input, const QString& output)
{
    OutputSettings outputSettings;
    outputSettings.mergeOutput = true;
    outputSettings.outputPath = output.toStdU16String();
    CliReport report(outputSettings);
    AddressJob.report = &report;
    AddressJob.inputPaths = {input.toStdU16String()};
    const Clock::time_point start = Clock::now();
    const double processorStart = ProcessorSeconds();
    StartJob(JobSettings{});
    report.WaitForEnd(std::chrono::hours(1));
    const Timing timing{SecondsSince(start), ProcessorSeconds() - processorStart};
    WaitForWorkers();
    AddressJob.report = nullptr;
    if (const auto counts = report.Counts())
        std::printf("  cli     %.3f s wall  %.3f s cpu  (filtered %d, written %d)\n", timing.wall,
                    timing.processor, counts->filteredCount, counts->writtenCount);
    return timing;
}

// The job started from the dialog's start button, up to its completion text.
Timing TimeDialogJob(const QString& input, const QString& output)
{
    CQuillanDlg dialog;
    dialog.show();
    AddressJob.inputPaths = {input.toStdU16String()};
    dialog.Edit(IDC_OUTPUT_PATH)->setText(output);
    QEventLoop loop;
    Clock::time_point start;
    double processorStart = 0;
    double threadStart = 0;
    Timing timing;
    QString completion;
    QObject::connect(dialog.findChild<StatusBar*>(QStringLiteral("statusBar")),
                     &StatusBar::PartTextSet, &loop, [&](int part, const QString& text) {
                         if (part != 1 || !text.startsWith(QStringLiteral("输出完成")))
                             return;
                         timing = {SecondsSince(start), ProcessorSeconds() - processorStart,
                                   ThreadProcessorSeconds() - threadStart};
                         completion = text;
                         loop.quit();
                     });
    // The start waits until the freshly shown dialog has painted itself once.
    QTimer::singleShot(200, &loop, [&] {
        start = Clock::now();
        processorStart = ProcessorSeconds();
        threadStart = ThreadProcessorSeconds();
        dialog.Button(IDOK)->click();
    });
    loop.exec();
    std::printf("  dialog  %.3f s wall  %.3f s cpu, %.3f s of it on the dialog's thread  (%s)\n",
                timing.wall, timing.processor, timing.dialogThread,
                completion.toUtf8().constData());
    // Leaving closes the completion box and joins the output thread.
    return timing;
}

Timing Best(Timing a, Timing b)
{
    return {std::min(a.wall, b.wall), std::min(a.processor, b.processor)};
}

} // namespace

int main(int argc, char** argv)
{
    const long lines = argc > 1 ? std::atol(argv[1]) : 10'000'000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("list.txt"));
    const QString output = dir.filePath(QStringLiteral("out.txt"));
    std::printf("generating %ld lines\n", lines);
    if (!dir.isValid() || !GenerateList(input, lines)) {
        std::fprintf(stderr, "cannot write the list in %s\n", qPrintable(dir.path()));
        return 1;
    }
    WarmCache(input);
    Timing bestCli;
    Timing bestDialog;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        // Alternating the order keeps a warming machine from favouring one side.
        Timing cli;
        Timing dialog;
        if (round % 2 == 1) {
            cli = TimeCliJob(input, output);
            QFile::remove(output);
        }
        dialog = TimeDialogJob(input, output);
        QFile::remove(output);
        if (round % 2 == 0) {
            cli = TimeCliJob(input, output);
            QFile::remove(output);
        }
        bestCli = round == 1 ? cli : Best(bestCli, cli);
        bestDialog = round == 1 ? dialog : Best(bestDialog, dialog);
    }
    std::printf("best wall: cli %.3f s, dialog %.3f s, dialog / cli = %.3f\n", bestCli.wall,
                bestDialog.wall, bestDialog.wall / bestCli.wall);
    std::printf("best cpu:  cli %.3f s, dialog %.3f s, dialog / cli = %.3f\n", bestCli.processor,
                bestDialog.processor, bestDialog.processor / bestCli.processor);
    return 0;
}
