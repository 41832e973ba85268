// The object set: units, defaults, styles, pictures, valid actions, read-only fields,
// accelerators, modal and non-modal dialogs and the main window, on the console.
#include <memory>

#include "runtime/memvars.h"
#include "tests/ui/console_fixture.h"
#include "ui/button.h"
#include "ui/dialog.h"
#include "ui/font.h"
#include "ui/get.h"
#include "ui/say.h"
#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/units.h"
#include "ui/window.h"

namespace px {
namespace {

using Lines = std::vector<std::string>;

class ObjectsTest : public test::ConsoleUiTest {};

TEST(UnitsTest, CellsToPixels) {
  EXPECT_EQ(RowToPixels(3, CellKind::kDialog, false), 45);
  EXPECT_EQ(ColToPixels(20, CellKind::kDialog, false), 158);
  EXPECT_EQ(RowToPixels(10, CellKind::kDialog, false), 151);
  EXPECT_EQ(ColToPixels(40, CellKind::kDialog, false), 316);
  EXPECT_EQ(RowToPixels(4, CellKind::kDialog, false), 60);
  EXPECT_EQ(ColToPixels(9, CellKind::kDialog, false), 71);
  EXPECT_EQ(RowToPixels(13, CellKind::kWindow, false), 208);
  EXPECT_EQ(ColToPixels(88, CellKind::kWindow, false), 704);
  EXPECT_EQ(RowToPixels(19.5, CellKind::kDialog, true), 19);
  EXPECT_EQ(ColToPixels(220, CellKind::kWindow, true), 220);
}

TEST(DialogGeometryTest, DefaultsAndPixels) {
  // Without bottom and right: 10 by 40 cells.
  auto d = TDialog::New();
  EXPECT_EQ(d->height(), 151);
  EXPECT_EQ(d->width(), 316);
  EXPECT_EQ(d->style(), style::kPopup | style::kModalFrame | style::kCaption | style::kSysMenu);
  EXPECT_TRUE(d->has_title_bar());
  EXPECT_EQ(d->text_color(), SystemColor(kColorButtonText));
  EXPECT_EQ(d->back_color(), SystemColor(kColorButtonFace));

  TDialogArgs a;
  a.top = 50;
  a.left = 50;
  a.bottom = 190;
  a.right = 720;
  a.caption = "Update ParVex";
  a.pixel = true;
  d = TDialog::New(a);
  EXPECT_EQ(d->top(), 50);
  EXPECT_EQ(d->width(), 670);
  EXPECT_EQ(d->height(), 140);

  // Cells: the progress dialog of the update, 13..20 by 20..88.
  a = TDialogArgs();
  a.top = 13;
  a.left = 20;
  a.bottom = 20;
  a.right = 88;
  d = TDialog::New(a);
  EXPECT_EQ(d->top(), 196);
  EXPECT_EQ(d->height(), 302 - 196);
  EXPECT_EQ(d->width(), 695 - 158);

  // Controls take the dialog's cells unless in pixels.
  TSayArgs s;
  s.row = 3;
  s.col = 20;
  s.owner = d.get();
  s.text = ConstText("x");
  auto say = TSay::New(s);
  EXPECT_EQ(say->top(), 45);
  EXPECT_EQ(say->left(), 158);
}

TEST(WindowTest, DefaultsAndComposedStyle) {
  auto w = TWindow::New();
  EXPECT_EQ(w->top(), 32);
  EXPECT_EQ(w->left(), 16);
  EXPECT_EQ(w->height(), 20 * 16 - 32);
  EXPECT_EQ(w->width(), 70 * 8 - 16);
  EXPECT_EQ(w->args().fore_color, 16777215u);
  EXPECT_EQ(w->style(),
            style::kClipChildren | style::kThickFrame | style::kCaption | style::kSysMenu);

  TWindowArgs a;
  a.top = a.left = a.bottom = a.right = 1;
  a.minimize_box = a.maximize_box = true;
  w = TWindow::New(a);
  EXPECT_EQ(w->style() & (style::kMinimizeBox | style::kMaximizeBox),
            style::kMinimizeBox | style::kMaximizeBox);
  EXPECT_GE(w->width(), 1);

  a = TWindowArgs();
  a.border = "none";
  a.caption_bar = false;
  a.minimize_box = true;  // ignored without a caption
  a.vscroll = true;
  w = TWindow::New(a);
  EXPECT_EQ(w->style(), style::kClipChildren | style::kPopup | style::kVScroll);
  a.style = 0x1234;
  EXPECT_EQ(TWindow::New(a)->style(), 0x1234u);
}

TEST(ButtonTest, AcceleratorsInCaptions) {
  EXPECT_EQ(CaptionLabel("&OK"), "OK");
  EXPECT_EQ(CaptionAccelerator("&OK"), 'O');
  EXPECT_EQ(CaptionLabel("B&rowse"), "Browse");
  EXPECT_EQ(CaptionAccelerator("B&rowse"), 'R');
  EXPECT_EQ(CaptionLabel("Fish && Chips"), "Fish & Chips");
  EXPECT_EQ(CaptionAccelerator("Fish && Chips"), '\0');
  EXPECT_EQ(CaptionAccelerator("See Error.log file"), '\0');
}

TEST(GetTest, PictureUpperCasesAndBufferKeepsItsLength) {
  EXPECT_EQ(ApplyPicture("@!", "c:\\updates\\pxupd"), "C:\\UPDATES\\PXUPD");
  EXPECT_EQ(ApplyPicture("@K!", "abc"), "ABC");
  EXPECT_EQ(ApplyPicture("", "abc"), "abc");
  EXPECT_EQ(ApplyPicture("@K", "abc"), "abc");

  auto d = TDialog::New();
  std::string source = "D:\\" + std::string(30, ' ');
  TGetArgs g;
  g.var = BindString(&source);
  g.owner = d.get();
  g.picture = "@!";
  auto get = TGet::New(g);
  EXPECT_EQ(get->length(), 33u);
  EXPECT_EQ(get->buffer(), "D:\\");
  EXPECT_EQ(get->width(), 33 * 8 + 8);
  EXPECT_EQ(get->Edit("e:\\pxupd"), "E:\\PXUPD");
  get->Assign();
  EXPECT_EQ(source, "E:\\PXUPD" + std::string(25, ' '));
  // Typing stops at the buffer's length.
  const std::string typed(40, 'x');
  EXPECT_EQ(get->Edit(typed), std::string(33, 'X'));
  get->Assign();
  EXPECT_EQ(source, std::string(33, 'X'));

  // Numbers are edited as numbers; memory variables bind by name.
  GetMemVars().Set("nCount", Value::Integer(12, 5));
  g = TGetArgs();
  g.var = BindMemVar("NCOUNT");
  g.owner = d.get();
  get = TGet::New(g);
  EXPECT_EQ(get->buffer(), "12");
  get->Edit("345");
  get->Assign();
  EXPECT_EQ(GetMemVars().Find("ncount")->integer(), 345);
}

TEST_F(ObjectsTest, ValidActionRefusingAnEmptyFieldKeepsTheDialogOpen) {
  std::string source = "D:\\" + std::string(30, ' ');
  bool confirmed = false;
  auto d = TDialog::New(TDialogArgs{.caption = "Update ParVex"});
  TSayArgs label;
  label.row = 20;
  label.col = 10;
  label.text = ConstText("Update From:");
  label.owner = d.get();
  label.pixel = true;
  label.width = 40;
  TSay::New(label);
  TGetArgs g;
  g.row = 20;
  g.col = 70;
  g.var = BindString(&source);
  g.owner = d.get();
  g.pixel = true;
  g.picture = "@!";
  g.valid = [&] { return source.find_first_not_of(' ') != std::string::npos; };
  TGet::New(g);
  TDialog* dp = d.get();
  TButtonArgs ok;
  ok.caption = "&OK";
  ok.owner = dp;
  ok.action = [&] {
    confirmed = true;
    dp->End();
  };
  TButton::New(ok);

  backend_.Script({{std::string("")}, "OK", nullptr});
  backend_.Script({{std::string("c:\\updates")}, "ok", nullptr});
  d->Activate();
  EXPECT_TRUE(d->ended());
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(source, "C:\\UPDATES" + std::string(23, ' '));
  EXPECT_EQ(TakeLines(),
            (Lines{"[Update ParVex] Update From:", "[Update ParVex] Update From: not accepted: "}));
  EXPECT_EQ(backend_.pending_answers(), 0u);
}

TEST_F(ObjectsTest, CancelFlagSkipsTheFieldAndClosingStoresNothing) {
  std::string source = "D:\\" + std::string(30, ' ');
  int cancels = 0;
  auto d = TDialog::New();
  TDialog* dp = d.get();
  TGetArgs g;
  g.var = BindString(&source);
  g.owner = dp;
  g.valid = [&] { return source.find_first_not_of(' ') != std::string::npos; };
  TGet::New(g);
  TButtonArgs cancel;
  cancel.caption = "&Cancel";
  cancel.owner = dp;
  cancel.cancel = true;
  cancel.action = [&] {
    ++cancels;
    dp->End();
  };
  TButton::New(cancel);
  backend_.Script({{std::string("")}, "Cancel", nullptr});
  d->Activate();
  // The refused field did not stop the cancel button.
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(d->ended());

  // Closing through the window system stores nothing typed afterwards.
  source = "D:\\" + std::string(30, ' ');
  auto d2 = TDialog::New();
  g.owner = d2.get();
  TGet::New(g);
  backend_.Script({{}, "", nullptr});
  d2->Activate();
  EXPECT_TRUE(d2->ended());
  EXPECT_EQ(source, "D:\\" + std::string(30, ' '));
}

TEST_F(ObjectsTest, ReadOnlyFieldIgnoresTypingAndRefreshShowsNewText) {
  std::string progress = "Please Wait...";
  auto d = TDialog::New(TDialogArgs{.caption = "Updating ParVex"});
  TGetArgs g;
  g.row = 1;
  g.col = 2;
  g.var = BindString(&progress);
  g.owner = d.get();
  g.width = 240;
  g.read_only = true;
  auto field = TGet::New(g);
  EXPECT_EQ(field->Edit("typed"), "Please Wait...");
  TDialogActivateArgs act;
  act.modal = false;
  d->Activate(act);
  EXPECT_TRUE(d->shown());
  EXPECT_FALSE(d->ended());
  progress = "Copying PXUPD.zip to C:\\PX\\temp";
  field->Refresh();
  field->Refresh();  // unchanged: nothing more written
  progress = "Databases Updated";
  d->Refresh();
  EXPECT_TRUE(d->End());
  // After End the control is detached; refreshing it is harmless.
  EXPECT_FALSE(field->alive());
  progress = "after";
  field->Refresh();
  EXPECT_EQ(TakeLines(), (Lines{"[Updating ParVex] Please Wait...",
                                "[Updating ParVex] Copying PXUPD.zip to C:\\PX\\temp",
                                "[Updating ParVex] Databases Updated"}));
}

TEST_F(ObjectsTest, SayTextActionsAreEvaluatedOnRefresh) {
  int n = 0;
  auto d = TDialog::New();
  TSayArgs s;
  s.text = [&] { return "step " + std::to_string(++n); };
  s.owner = d.get();
  auto say = TSay::New(s);
  EXPECT_EQ(say->text(), "step 1");
  say->Refresh();
  EXPECT_EQ(say->text(), "step 2");
  d->Refresh();
  EXPECT_EQ(say->text(), "step 3");
}

TEST_F(ObjectsTest, DialogValidActionMayRefuseToClose) {
  bool may_close = false;
  auto d = TDialog::New();
  TDialogActivateArgs act;
  act.modal = false;
  act.valid = [&](TDialog&) { return may_close; };
  d->Activate(act);
  EXPECT_FALSE(d->End());
  EXPECT_FALSE(d->ended());
  may_close = true;
  EXPECT_TRUE(d->End());
  EXPECT_TRUE(TopDialog() == nullptr);
}

TEST_F(ObjectsTest, NoScriptAndNoTerminalCancelsAModalDialog) {
  int inits = 0;
  auto d = TDialog::New(TDialogArgs{.caption = "Ask"});
  TDialogActivateArgs act;
  act.on_init = [&](TDialog&) { ++inits; };
  act.valid = [](TDialog&) { return false; };  // would refuse for ever
  d->Activate(act);
  EXPECT_TRUE(d->ended());
  EXPECT_EQ(inits, 1);
}

TEST_F(ObjectsTest, MainWindowRunsItsInitActionAndEnds) {
  TWindowArgs a;
  a.top = a.left = a.bottom = a.right = 1;
  a.minimize_box = a.maximize_box = true;
  auto w = TWindow::New(a);
  std::vector<std::string> events;
  TWindowActivateArgs act;
  act.on_init = [&](TWindow& win) {
    events.push_back(MainWindowRunning() ? "running" : "not running");
    win.Iconize();
    EXPECT_TRUE(win.iconized());
    // A dialog inside the init action.
    auto d = TDialog::New();
    d->Activate(TDialogActivateArgs{.on_init = [&](TDialog& dd) {
      events.push_back("dialog");
      dd.End();
    }});
    win.End();
    events.push_back("ended");
  };
  w->Activate(act);
  EXPECT_FALSE(MainWindowRunning());
  EXPECT_TRUE(w->closed());
  EXPECT_EQ(events, (std::vector<std::string>{"running", "dialog", "ended"}));
}

TEST(FontTest, ArgumentsAndWeight) {
  auto f = TFont::New("Arial", 0, -12, true);
  EXPECT_EQ(f->args().face, "Arial");
  EXPECT_EQ(f->pixel_height(), 12);
  EXPECT_EQ(f->weight(), 700);
  TFontArgs a;
  a.face = "Courier";
  a.height = 14;
  a.weight = 300;
  a.italic = true;
  EXPECT_EQ(TFont::New(a)->weight(), 300);
  EXPECT_EQ(TFont::New(a)->ClassName(), "TFONT");
}

}  // namespace
}  // namespace px
