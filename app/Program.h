// Everything the program runs with: the port table, the link, the windows, and the virtual
// printer with its console when asked for. Built once, in the order of the program entry.
#pragma once

#include <memory>
#include <string>

#include "app/Options.h"
#include "app/ServiceReportAction.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "session/LinkSession.h"

namespace vantor {

namespace sim {
class VirtualPrinter;
struct Page;
}  // namespace sim

class DialogService;
class TFormBoot;
class TFormAdjust;
class TFormQuit;
class TAboutBox;
class VirtualConsole;

inline constexpr const char* kAllocationError = "Allocation error";
inline constexpr const char* kConsoleMenuText = "Virtual printer console";
inline constexpr const char* kConsoleShortcut = "Ctrl+Shift+V";
inline constexpr const char* kReportMenuText = "Service report...";

class Program {
 public:
  Program(Clock& clock, DialogService& dialogs);
  ~Program();

  // The session and its link exist before any window; false when they cannot be allocated.
  bool CreateLink();
  // Ports, virtual printer and trace; false with the reason for a bad option.
  bool Configure(const ProgramOptions& options, std::string& error);
  // TFormBoot, TFormAdjust, TFormQuit, TAboutBox, in this order; then the printer's console.
  void CreateWindows();
  // The start window, then the console beside it; the start window keeps the focus.
  void ShowWindows();

  Link& GetLink() { return session_->GetLink(); }
  LinkSession& Session() { return *session_; }
  PortTable& Ports() { return session_->Setup().Ports(); }
  sim::VirtualPrinter* Printer() { return session_->Printer(); }
  TFormBoot& Boot() { return *boot_; }
  TFormAdjust& Adjust() { return *adjust_; }
  TFormQuit& Quit() { return *quit_; }
  TAboutBox& About() { return *about_; }
  VirtualConsole* Console() { return console_.get(); }
  ServiceReportAction& Report() { return report_; }
  // Shows the console again after it was closed.
  void ShowConsole();

 private:
  void ShowPage(const sim::Page& page, const std::string& file);

  Clock& clock_;
  DialogService& dialogs_;
  std::unique_ptr<LinkSession> session_;
  bool pageErrorShown_ = false;
  ServiceReportAction report_;
  std::unique_ptr<TFormBoot> boot_;
  std::unique_ptr<TFormAdjust> adjust_;
  std::unique_ptr<TFormQuit> quit_;
  std::unique_ptr<TAboutBox> about_;
  std::unique_ptr<VirtualConsole> console_;
};

}  // namespace vantor
