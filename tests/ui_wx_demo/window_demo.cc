// A small program on the user-interface objects for the real-window tests.
//
//   window_demo SCREENSHOT.png RESULT.txt
//     a modal dialog with an upper-casing edit field and two buttons. On OK it saves a
//     picture of the dialog, then writes "1" and the field's value to RESULT.txt; on
//     Cancel or close it writes "0".
//   window_demo boxes            an information, an alert and a stop box, in turn
//   window_demo msgrun           the backup's "Zip (Working)" box over 6 seconds of work
//                                that takes no messages
//   window_demo progress         a progress window with a read-only text, the same way
//   window_demo error RESULT.txt the run-time error dialog (Retry, Quit and Default);
//                                writes the choice to RESULT.txt
//   window_demo grab OUT.png X Y W H
//     saves that part of the screen as a PNG and prints how many of its pixels are
//     light and how many dark (text on a painted window has both).
//
// Exit code 3 when no window backend could be started.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>

#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/error_dialog.h"
#include "ui/font.h"
#include "ui/get.h"
#include "ui/messages.h"
#include "ui/say.h"
#include "ui/startup.h"
#include "ui/wait.h"

namespace {

using namespace px;

// Work that takes no window messages at all.
void BusyWork() {
  std::this_thread::sleep_for(std::chrono::seconds(6));
}

int Grab(const std::string& out, int x, int y, int w, int h) {
  wxBitmap bitmap(w, h);
  {
    wxScreenDC screen;
    wxMemoryDC memory(bitmap);
    memory.Blit(0, 0, w, h, &screen, x, y);
  }
  const wxImage image = bitmap.ConvertToImage();
  long light = 0, dark = 0;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int lum =
          (image.GetRed(i, j) * 3 + image.GetGreen(i, j) * 6 + image.GetBlue(i, j)) / 10;
      if (lum >= 160) ++light;
      if (lum < 100) ++dark;
    }
  }
  wxImage::AddHandler(new wxPNGHandler);
  if (!image.SaveFile(wxString::FromUTF8(out.c_str()), wxBITMAP_TYPE_PNG)) return 4;
  std::printf("%ld %ld %ld\n", light, dark, static_cast<long>(w) * h);
  return 0;
}

int Progress() {
  std::string text = "Backing up the data...";
  auto window = TDialog::New({.top = 13,
                              .left = 20,
                              .bottom = 20,
                              .right = 88,
                              .caption = "Updating ParVex",
                              .font = TFont::New("Arial", 0, -12, true)});
  auto field = TGet::New({.row = 1,
                          .col = 2,
                          .var = BindString(&text),
                          .owner = window.get(),
                          .width = 420,
                          .height = 23,
                          .read_only = true});
  window->Activate({.modal = false});
  BusyWork();
  window->End();
  return 0;
}

int ErrorDialog(const std::string& result) {
  Error e = Error::Make("DBFNTX", 21, 1001);
  e.os_code = 2;
  e.filename = "CUSTOMER.DBF";
  e.can_retry = true;
  e.can_default = true;
  std::ofstream("Error.log") << "Application\r\n===========\r\n   Error description: "
                             << ERRORMESSAGE(e) << "\r\n";
  const ErrorChoice choice =
      RunErrorDialog(e, {"   Called from OPENTABLE(12)", "   Called from UPDATE1(3)"});
  std::ofstream(result) << (choice == ErrorChoice::kRetry     ? "retry"
                            : choice == ErrorChoice::kDefault ? "default"
                                                              : "quit")
                        << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace px;
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  if (StartUserInterface(&argc, argv) != UiKind::kWindow) return 3;
  if (mode == "grab" && argc == 7) {
    return Grab(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                std::atoi(argv[6]));
  }
  if (mode == "boxes") {
    MSGINFO(Value::String("The update has been installed."));
    MSGALERT(Value::String("Unable to Access Directory: E:\\NOWHERE"));
    MSGSTOP(Value::String("The table CUSTOMER cannot be opened."));
    return 0;
  }
  if (mode == "msgrun") {
    MSGRUN(Value::String("Creating.  Please Wait..."), Value::String("Zip (Working)"),
           [](TDialog&) { BusyWork(); });
    return 0;
  }
  if (mode == "progress") return Progress();
  if (mode == "error" && argc == 3) return ErrorDialog(argv[2]);
  if (argc < 3) return 2;
  const std::string screenshot = argv[1], result = argv[2];

  std::string source = "D:\\" + std::string(30, ' ');
  bool confirmed = false;
  bool saved = false;
  auto font = TFont::New("Arial", 0, -12, true);
  auto dialog = TDialog::New({.top = 50,
                              .left = 50,
                              .bottom = 150,
                              .right = 400,
                              .caption = "Window Demo",
                              .pixel = true,
                              .font = font});
  TDialog* d = dialog.get();
  TSay::New({.row = 20,
             .col = 10,
             .text = ConstText("Update From:"),
             .owner = d,
             .pixel = true,
             .width = 90,
             .height = 14});
  TGet::New({.row = 20,
             .col = 110,
             .var = BindString(&source),
             .owner = d,
             .width = 200,
             .height = 22,
             .picture = "@!",
             .valid = [&] { return source.find_first_not_of(' ') != std::string::npos; },
             .pixel = true});
  TButton::New({.row = 60,
                .col = 110,
                .caption = "&OK",
                .owner = d,
                .action =
                    [&] {
                      confirmed = true;
                      saved = GetUiBackend().SaveImage(*d, screenshot);
                      d->End();
                    },
                .width = 80,
                .height = 26,
                .pixel = true});
  TButton::New({.row = 60,
                .col = 200,
                .caption = "&Cancel",
                .owner = d,
                .action = [&] { d->End(); },
                .width = 80,
                .height = 26,
                .pixel = true,
                .cancel = true});
  dialog->Activate({.centred = true});

  std::ofstream out(result, std::ios::trunc);
  out << (confirmed ? "1" : "0") << "\n"
      << source << "\n"
      << (saved ? "saved" : "not saved") << "\n";
  return 0;
}
