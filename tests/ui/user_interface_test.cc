// The start-up choice of the backend and the unattended-run answer.
#include <gtest/gtest.h>

#include <sstream>

#include "ui/button.h"
#include "ui/console_backend.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/user_interface.h"

namespace px {
namespace {

TEST(ChooseUiKindTest, DisplayAndOverride) {
  EXPECT_EQ(ChooseUiKind(nullptr, nullptr, nullptr), UiKind::kConsole);
  EXPECT_EQ(ChooseUiKind(nullptr, "", ""), UiKind::kConsole);
  EXPECT_EQ(ChooseUiKind(nullptr, ":0", nullptr), UiKind::kWindow);
  EXPECT_EQ(ChooseUiKind(nullptr, nullptr, "wayland-0"), UiKind::kWindow);
  EXPECT_EQ(ChooseUiKind("console", ":0", "wayland-0"), UiKind::kConsole);
  EXPECT_EQ(ChooseUiKind("window", ":0", nullptr), UiKind::kWindow);
  // Where the window system is always there, only PX_UI=console keeps the console.
  EXPECT_EQ(ChooseUiKindWithDesktop(nullptr), UiKind::kWindow);
  EXPECT_EQ(ChooseUiKindWithDesktop("window"), UiKind::kWindow);
  EXPECT_EQ(ChooseUiKindWithDesktop("console"), UiKind::kConsole);
}

// A dialog shaped like the update dialog: source field, OK and Cancel.
struct UpdateLikeDialog {
  std::string source = "D:\\" + std::string(30, ' ');
  bool confirmed = false;
  std::shared_ptr<TDialog> dialog = TDialog::New(TDialogArgs{.caption = "Update ParVex"});

  UpdateLikeDialog() {
    TDialog* d = dialog.get();
    TGet::New(TGetArgs{.var = BindString(&source), .owner = d, .picture = "@!"});
    TButton::New(TButtonArgs{.caption = "&OK", .owner = d, .action = [this, d] {
                               confirmed = true;
                               d->End();
                             }});
    TButton::New(TButtonArgs{.caption = "&Cancel", .owner = d, .action = [d] { d->End(); }});
  }
};

TEST(ConsoleAnswersTest, UnattendedRunConfirmsTheFirstDialogWithAFieldAndOk) {
  std::ostringstream out;
  ConsoleBackend backend({.out = &out, .in = nullptr, .update_from = "e:\\pxupd"});
  ScopedUiBackend scope(&backend);
  // A dialog without a field is not the one the answer is for.
  auto plain = TDialog::New();
  plain->Activate();
  UpdateLikeDialog first;
  first.dialog->Activate();
  EXPECT_TRUE(first.confirmed);
  EXPECT_EQ(first.source, "E:\\PXUPD" + std::string(25, ' '));
  // The answer is used once.
  UpdateLikeDialog second;
  second.dialog->Activate();
  EXPECT_FALSE(second.confirmed);
}

TEST(ConsoleAnswersTest, TerminalAnswers) {
  std::ostringstream out;
  std::istringstream in("c:\\from\nx\nO\n");
  ConsoleBackend backend({.out = &out, .in = &in, .update_from = ""});
  ScopedUiBackend scope(&backend);
  UpdateLikeDialog d;
  d.dialog->Activate();
  EXPECT_TRUE(d.confirmed);
  EXPECT_EQ(d.source, "C:\\FROM" + std::string(26, ' '));
  EXPECT_NE(out.str().find("OK, Cancel? "), std::string::npos);
  // End of input abandons the dialog.
  std::istringstream empty("");
  ConsoleBackend quiet({.out = &out, .in = &empty, .update_from = ""});
  ScopedUiBackend scope2(&quiet);
  UpdateLikeDialog e;
  e.dialog->Activate();
  EXPECT_FALSE(e.confirmed);
  EXPECT_TRUE(e.dialog->ended());
}

}  // namespace
}  // namespace px
