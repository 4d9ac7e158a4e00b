// The version window, opened from the start window's popup menu.
#pragma once

#include <QDialog>

namespace vantor {

class TAboutBox final : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  void done(int result) override;
  void setVisible(bool visible) override;

 private:
  void CentreOnScreen();
};

}  // namespace vantor
