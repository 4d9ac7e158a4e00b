#include "adjust/panels/ScanFiles.h"

#include <QFile>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/WorkflowModule.h"

namespace vantor {

QStringList ChooseScans(WorkArea& area, const QString& title, bool several) {
  return area.Dialogs().OpenImages(area.PanelParent(), title, several);
}

bool LoadScans(const QStringList& files, std::vector<sheet::SheetImage>& pages,
               std::string& error) {
  for (const QString& file : files) {
    sheet::SheetImage image;
    if (!sheet::LoadPng(QFile::encodeName(file).toStdString(), image, error)) return false;
    pages.push_back(std::move(image));
  }
  return true;
}

}  // namespace vantor
