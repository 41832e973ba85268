// Message boxes, waits and the run-with-message window on the console.
#include "ui/messages.h"
#include "runtime/date.h"
#include "runtime/env.h"
#include "runtime/settings.h"
#include "tests/ui/console_fixture.h"
#include "ui/dialog.h"
#include "ui/say.h"
#include "ui/style.h"
#include "ui/ui_state.h"
#include "ui/wait.h"

namespace px {
namespace {

using Lines = std::vector<std::string>;

class MessagesTest : public test::ConsoleUiTest {};

class NamedObject : public Object {
 public:
  std::string ClassName() const override { return "THING"; }
};

TEST(MessageTextTest, EveryValueType) {
  EXPECT_EQ(MessageText(Value()), "nil");
  EXPECT_EQ(MessageText(Value::Integer(12)), "12");
  EXPECT_EQ(MessageText(Value::Integer(-7)), "-7");
  EXPECT_EQ(MessageText(Value::Double(3.5, 10, 1)), "3.500000");
  EXPECT_EQ(MessageText(Value::Double(1e300)).size(), 308u);
  EXPECT_EQ(MessageText(Value::Logical(true)), ".T.");
  EXPECT_EQ(MessageText(Value::Logical(false)), ".F.");
  EXPECT_EQ(MessageText(Value::String("text")), "text");
  EXPECT_EQ(MessageText(Value::Memo("memo")), "memo");
  EXPECT_EQ(MessageText(Value::Array({Value::Integer(1)})), "Array");
  EXPECT_EQ(MessageText(Value::MakeObject(std::make_shared<NamedObject>())), "Object");
  auto block = std::make_shared<CodeBlock>([](const std::vector<Value>&) { return Value(); }, "");
  EXPECT_EQ(MessageText(Value::Block(block)), "ValtoChar not suported type yet");
  const Value date = Value::Date(DateFromYmd(2024, 3, 7));
  EXPECT_EQ(MessageText(date), "03/07/24");
  GetSettings().date_format = "dd/mm/yy";
  EXPECT_EQ(MessageText(date), "07/03/24");
}

TEST_F(MessagesTest, BoxesShowTextAndCaption) {
  MSGINFO(Value::Integer(12));
  MSGINFO(Value::Logical(true));
  MSGINFO();
  MSGALERT("Installation Abandoned!");
  MSGSTOP(Value::String("Bad"), Value::String("Mine"));
  MSGSTOP(Value::String("Bad"), Value::Integer(3));  // not text: the default caption
  MSGINFO(Value::String("two\r\nlines"));
  EXPECT_EQ(TakeLines(), (Lines{"[Information] 12", "[Information] .T.", "[Information] nil",
                                "[Alert] Installation Abandoned!", "[Mine] Bad", "[Stop] Bad",
                                "[Information] two  lines"}));
}

TEST_F(MessagesTest, WaitSecondsUsesTheClockAndDoesNotPump) {
  FakeClockEnv clock(Env::Default());
  ScopedEnv env(&clock);
  WAITSECONDS(2);
  EXPECT_EQ(clock.slept_micros(), 2000000);
  WAITSECONDS();
  EXPECT_EQ(clock.slept_micros(), 3000000);
  WAITSECONDS(0);
  EXPECT_EQ(clock.slept_micros(), 3000000);
  EXPECT_TRUE(TakeLines().empty());
}

TEST_F(MessagesTest, MsgRunSizesAndOrder) {
  FakeClockEnv clock(Env::Default());
  ScopedEnv env(&clock);
  // One-letter text and five-letter caption: 4 rows by 9 columns.
  std::vector<std::string> seen;
  MSGRUN(Value::String("x"), Value::String("Title"), [&](TDialog& d) {
    EXPECT_EQ(d.height(), 60);  // 4 x 15.1
    EXPECT_EQ(d.width(), 71);   // 9 x 7.9
    EXPECT_TRUE(d.has_title_bar());
    EXPECT_TRUE(d.centred());
    EXPECT_TRUE(d.modal());
    ASSERT_EQ(d.controls().size(), 1u);
    const auto& say = static_cast<const TSay&>(*d.controls()[0]);
    EXPECT_TRUE(say.centred());
    EXPECT_EQ(say.width(), 71);
    EXPECT_EQ(say.top(), 15);
    seen.push_back("action");
  });
  EXPECT_EQ(seen, Lines{"action"});
  // Without a caption: 3 rows by (text + 4) columns, no title bar, popup.
  MSGRUN(Value::String("Creating.  Please Wait..."), Value(), [&](TDialog& d) {
    EXPECT_EQ(d.height(), 45);
    EXPECT_EQ(d.width(), 229);  // 29 x 7.9
    EXPECT_FALSE(d.has_title_bar());
    EXPECT_EQ(d.style(), style::kPopup | style::kModalFrame);
  });
  // The default text and action: "Please, wait..." for one second.
  MSGRUN();
  EXPECT_EQ(clock.slept_micros(), 1000000);
  EXPECT_EQ(TakeLines(), (Lines{"[Title] x", "Creating.  Please Wait...", "Please, wait..."}));
  EXPECT_EQ(TopDialog(), nullptr);
}

TEST_F(MessagesTest, MsgWaitWaitsFourSecondsByDefault) {
  FakeClockEnv clock(Env::Default());
  ScopedEnv env(&clock);
  MSGWAIT(Value::String("Done"));
  EXPECT_EQ(clock.slept_micros(), 4000000);
  MSGWAIT(Value::String("Done"), Value::String("Cap"), Value::Integer(2));
  EXPECT_EQ(clock.slept_micros(), 6000000);
  EXPECT_EQ(TakeLines(), (Lines{"Done", "[Cap] Done"}));
}

TEST_F(MessagesTest, CursorsAndPumpOnTheConsole) {
  CURSORWAIT();
  CURSORARROW();
  EXPECT_TRUE(SYSREFRESH());
  EXPECT_TRUE(TakeLines().empty());
}

}  // namespace
}  // namespace px
