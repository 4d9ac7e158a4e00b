// Everything the program runs with: the port table, the link, the windows, and the virtual
// printer with its console when asked for. Built once, in the order of the program entry.
#pragma once

#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/Link.h"
#include "link/PortDevice.h"
#include "link/WireTrace.h"
#include "app/Options.h"

namespace vantor {

namespace sim {
class VirtualPrinter;
}

class DialogService;
class TFormBoot;
class TFormAdjust;
class TFormQuit;
class TAboutBox;
class VirtualConsole;

inline constexpr const char* kAllocationError = "Allocation error";

class Program {
 public:
  Program(Clock& clock, DialogService& dialogs);
  ~Program();

  // The link objects exist before any window; false when they cannot be allocated.
  bool CreateLink();
  // Ports, virtual printer and trace; false with the reason for a bad option.
  bool Configure(const ProgramOptions& options, std::string& error);
  // TFormBoot, TFormAdjust, TFormQuit, TAboutBox, in this order; then the printer's console.
  void CreateWindows();

  Link& GetLink() { return *link_; }
  PortTable& Ports() { return table_; }
  sim::VirtualPrinter* Printer() { return printer_.get(); }
  TFormBoot& Boot() { return *boot_; }
  TFormAdjust& Adjust() { return *adjust_; }
  TFormQuit& Quit() { return *quit_; }
  TAboutBox& About() { return *about_; }
  VirtualConsole* Console() { return console_.get(); }

  // The virtual printer's model: the one its EEPROM file names (byte 176), else the Q40.
  static Model ModelFromStateFile(const std::string& path);

 private:
  struct PrintedPages;

  Clock& clock_;
  DialogService& dialogs_;
  std::unique_ptr<sim::VirtualPrinter> printer_;
  std::unique_ptr<PrintedPages> pages_;
  PortTable table_;
  std::unique_ptr<WireTrace> trace_;
  std::unique_ptr<Link> link_;
  std::unique_ptr<TFormBoot> boot_;
  std::unique_ptr<TFormAdjust> adjust_;
  std::unique_ptr<TFormQuit> quit_;
  std::unique_ptr<TAboutBox> about_;
  std::unique_ptr<VirtualConsole> console_;
};

}  // namespace vantor
