// A small program on the user-interface objects for the real-window test: a modal
// dialog with an upper-casing edit field and two buttons.
//
//   window_demo SCREENSHOT.png RESULT.txt
//
// On OK it saves a picture of the dialog, then writes "1" and the field's value to
// RESULT.txt; on Cancel or close it writes "0". Exit code 3 when no window backend
// could be started.
#include <fstream>
#include <string>

#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/font.h"
#include "ui/get.h"
#include "ui/say.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
  using namespace px;
  if (argc < 3) return 2;
  if (StartUserInterface(&argc, argv) != UiKind::kWindow) return 3;
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
