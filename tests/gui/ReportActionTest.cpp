// "Service report..." in the start window's menu: wiring only; the report's content is tested
// where it is made.
#include <QAction>
#include <QMenu>
#include <filesystem>

#include "adjust/procedures/ServiceRecord.h"
#include "app/Program.h"
#include "sim/VirtualPrinter.h"
#include "tests/gui/GuiHarness.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

class ReportAction : public GuiTest {
 protected:
  // The virtual printer's records go beside its state file, in a folder of the test's own.
  void Configure(ProgramOptions& options) override {
    std::filesystem::create_directories(folder_.path());
    options.stateFile = State();
  }
  std::string State() const { return (folder_ / "printer.bin").string(); }
  // The action as the menu triggers it, with the browser and the question stood in for.
  void Trigger() {
    program_->Report().SetOpener([this](const QUrl& url) {
      opened_.push_back(url);
      return true;
    });
    program_->Report().SetCustomerQuestion(
        [](QWidget*) -> std::optional<QString> { return QString("Job 4711"); });
    auto* popup = Boot().findChild<QMenu*>("PopupMenu1");
    ASSERT_NE(popup, nullptr);
    QAction* action = popup->findChild<QAction*>("ServiceReportMenuItem");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), kReportMenuText);
    action->trigger();
  }
  TempPath folder_{"report"};
  std::vector<QUrl> opened_;
};

TEST_F(ReportAction, WritesTheLastPrintersReportToTheDataFolderAndOpensIt) {
  {
    procedures::FileServiceRecord record(procedures::VirtualRecordsFolder(State()), "test 1",
                                         "TVUSB1", Model::Q40);
    record.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
    record.Operation("head cleaning", {}, "done");
  }
  Trigger();
  ASSERT_EQ(opened_.size(), 1u);
  const std::filesystem::path file = opened_[0].toLocalFile().toStdString();
  EXPECT_EQ(file.parent_path(), std::filesystem::path(procedures::DataFolder()) / "reports");
  EXPECT_NE(FileContents(file).find("Job 4711"), std::string::npos) << "the answer reached it";
  EXPECT_TRUE(dialogs_.boxes.empty());
  std::filesystem::remove(file);
}

TEST_F(ReportAction, WithoutARecordSaysSoAndOpensNothing) {
  Trigger();
  EXPECT_TRUE(opened_.empty());
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
}

}  // namespace
}  // namespace vantor::test
