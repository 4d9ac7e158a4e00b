// "Service report..." in the start window's menu: the report of the printer served last,
// written to the data folder and opened in the desktop's browser.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace vantor {

class DialogService;

class ServiceReportAction {
 public:
  // Both replaceable, so tests need neither a browser nor a modal question.
  using Opener = std::function<bool(const QUrl&)>;
  using CustomerQuestion = std::function<std::optional<QString>(QWidget* owner)>;

  explicit ServiceReportAction(DialogService& dialogs);

  // The folder of the records the session writes; empty: sessions keep no record.
  void SetRecordsFolder(std::string folder) { recordsFolder_ = std::move(folder); }
  void SetOpener(Opener opener) { open_ = std::move(opener); }
  void SetCustomerQuestion(CustomerQuestion ask) { ask_ = std::move(ask); }

  // Asks for the customer, writes the report and opens it; the file written, or empty (a
  // cancelled question, or a failure told in an error box).
  QString Run(QWidget* owner);

 private:
  DialogService& dialogs_;
  std::string recordsFolder_;
  Opener open_;
  CustomerQuestion ask_;
};

}  // namespace vantor
