#include "adjust/panels/ScanFiles.h"

#include <QFile>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/WorkflowModule.h"

namespace vantor {

QStringList ChooseScans(WorkArea& area, const QString& title, bool several) {
  return area.Dialogs().OpenImages(area.PanelParent(), title, several);
}

std::vector<std::string> ScanPaths(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(QFile::encodeName(file).toStdString());
  return paths;
}

QString ScanNote(bool trusted, bool changed, double confidence) {
  const QString c = QString::number(confidence, 'f', 2);
  if (!trusted) return "unsure " + c;
  return changed ? c : "no change " + c;
}

bool TakeScannedSheets(WorkArea& area, const std::string& reason) {
  if (reason.empty()) return true;
  // Enter keeps the boxes: reading old sheets against today's values is the mistake to avoid.
  const QString question =
      QString::fromStdString(reason) +
      "\nPrint the pattern again and scan the new sheets, or read these anyway?";
  if (area.Dialogs().Question(area.PanelParent(), "Confirmation", question,
                              DialogService::Enter::Cancel))
    return true;
  area.Messages().Display().Show(MessageKind::Error,
                                 reason + "\nNothing was read: print the pattern again.");
  return false;
}

}  // namespace vantor
