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

}  // namespace vantor
