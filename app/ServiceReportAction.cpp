#include "app/ServiceReportAction.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <filesystem>
#include <fstream>
#include <vector>

#include "adjust/panels/DialogService.h"
#include "adjust/procedures/ServiceReport.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kTitle = "Service report";
constexpr const char* kAskCustomer = "Customer name or job number:";
constexpr const char* kNoRecords =
    "This virtual printer keeps no service record: start the program with "
    "--virtual-printer=FILE.";
constexpr const char* kNoRecord = "No printer has a service record yet.";
}  // namespace text
}  // namespace

ServiceReportAction::ServiceReportAction(DialogService& dialogs)
    : dialogs_(dialogs),
      open_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      ask_([](QWidget* owner) -> std::optional<QString> {
        bool ok = false;
        const QString answer = QInputDialog::getText(owner, text::kTitle, text::kAskCustomer,
                                                     QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return answer;
      }) {}

QString ServiceReportAction::Run(QWidget* owner) {
  namespace fs = std::filesystem;
  if (recordsFolder_.empty()) {
    dialogs_.Error(owner, text::kNoRecords);
    return {};
  }
  const std::vector<std::string> printers = procedures::RecordedPrinters(recordsFolder_);
  std::vector<procedures::RecordEntry> entries;
  std::string why;
  int damaged = 0;
  if (printers.empty() ||
      !procedures::ReadRecord(recordsFolder_, printers.front(), entries, damaged, why) ||
      entries.empty()) {
    dialogs_.Error(owner, text::kNoRecord);
    return {};
  }
  const std::optional<QString> customer = ask_(owner);
  if (!customer) return {};

  procedures::ReportDetails details;
  std::vector<std::string> warnings;  // vantorctl report names them; here the file is the aim
  procedures::ReadReportSettings(procedures::ReportSettingsPath(), details, warnings);
  details.customer = customer->trimmed().toStdString();
  details.date = procedures::LocalDate();

  const fs::path folder = fs::path(procedures::DataFolder()) / "reports";
  const fs::path file = folder / (printers.front() + "-" + details.date + ".html");
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::ofstream out(file, std::ios::trunc);
  out << procedures::ReportHtml(printers.front(), entries, details);
  out.close();
  const QString path = QString::fromStdString(file.string());
  if (ec || !out) {
    dialogs_.Error(owner, "The report could not be written to " + path + ".");
    return {};
  }
  if (!open_(QUrl::fromLocalFile(path))) {
    dialogs_.Error(owner, "The report was written to " + path + ", but no browser opened it.");
  }
  return path;
}

}  // namespace vantor
