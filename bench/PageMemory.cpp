// Resident memory of the desktop program over a day's printing: the virtual printer prints
// A4 check patterns (four sheets a job) into the console, and the resident size is printed
// after each job. With --limit MB it fails when the last figure is above the limit.
//
//   page_memory [--sheets N] [--pages DIR] [--limit MB]
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/Malformadjust.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "app/Program.h"
#include "app/VirtualConsole.h"
#include "link/Clock.h"

namespace {

// Boxes would wait for a hand; the sheets are all this run wants.
class NoBoxes final : public vantor::DialogService {
 public:
  void Error(QWidget*, const QString& text) override {
    std::fprintf(stderr, "box: %s\n", qPrintable(text));
  }
  bool Question(QWidget*, const QString&, const QString&, Enter) override { return true; }
  QStringList OpenImages(QWidget*, const QString&, bool) override { return {}; }
  QString SaveFile(QWidget*, const QString&, const QString&) override { return {}; }
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  int sheets = 50;
  long limitMb = 0;
  std::string pagesDir;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--sheets") == 0) sheets = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--pages") == 0) pagesDir = argv[i + 1];
    if (std::strcmp(argv[i], "--limit") == 0) limitMb = std::atol(argv[i + 1]);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  vantor::VirtualClock clock;
  NoBoxes dialogs;
  vantor::Program program(clock, dialogs);
  if (!program.CreateLink()) return 1;
  vantor::ProgramOptions options;
  options.virtualPrinter = true;
  options.pagesDir = pagesDir;
  std::string why;
  if (!program.Configure(options, why)) {
    std::fprintf(stderr, "page_memory: %s\n", why.c_str());
    return 1;
  }
  program.CreateWindows();
  program.ShowWindows();
  QCoreApplication::processEvents();
  std::printf("sheets 0: %ld kB resident\n", ResidentKb());

  program.Session().GetLink().channel.SetModel(vantor::Model::Q40);
  if (program.Session().Start(0x501, vantor::Model::Q40).result != vantor::kOk) {
    std::fprintf(stderr, "page_memory: the virtual printer did not start\n");
    return 1;
  }
  program.Adjust().PrepareForModel(vantor::Model::Q40, nullptr);
  vantor::ProcedureContext& bench = program.Session().ContextFor(program.Adjust());
  vantor::VirtualConsole& console = *program.Console();
  while (console.PageCount() < sheets) {
    if (vantor::procedures::PrintA4CheckPattern(bench) != vantor::kOk) {
      std::fprintf(stderr, "page_memory: the check pattern failed\n");
      return 1;
    }
    QCoreApplication::processEvents();
    std::printf("sheets %d: %ld kB resident, %lld kB kept by the console\n", console.PageCount(),
                ResidentKb(), static_cast<long long>(console.KeptBytes() / 1024));
    std::fflush(stdout);
  }
  program.Session().Finish();
  const long mb = ResidentKb() / 1024;
  std::printf("after %d sheets: %ld MB resident\n", console.PageCount(), mb);
  if (limitMb > 0 && mb > limitMb) {
    std::printf("above the limit of %ld MB\n", limitMb);
    return 1;
  }
  return 0;
}
