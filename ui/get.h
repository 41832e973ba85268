// TGet: a single-line edit field bound to a variable.
//
// New takes, in this order: row, column, bound variable, owner, width, height,
// picture, valid action, text colour, background colour, font, design flag, cursor,
// pixel flag, status message, update flag, when action, centred, right-aligned,
// changed action, read-only, password, no-border, help id, spinner, up action, down
// action, minimum action, maximum action.
//
// The bound variable is a get/set accessor (Binding). The edit buffer has the length
// of the bound text when the field is created: typing stops there, and the value
// stored back is padded with blanks to that length. Picture "@!" turns every letter
// into upper case as it is typed. The valid action is asked when the field is left;
// while it yields false the focus stays in the field (TDialog::FieldLeft).
#ifndef PX_UI_GET_H_
#define PX_UI_GET_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/control.h"

namespace px {

// A get/set accessor of a variable.
struct Binding {
  std::function<Value()> get{};
  std::function<void(const Value&)> set{};
};
Binding BindValue(Value* variable);
Binding BindString(std::string* variable);
// A memory variable by name (created on the first store when missing).
Binding BindMemVar(std::string name);

struct TGetArgs {
  double row = 0, col = 0;
  Binding var{};
  TDialog* owner = nullptr;
  std::optional<int> width{}, height{};
  std::string picture{};
  std::function<bool()> valid{};
  std::optional<Rgb> text_color{}, back_color{};
  std::shared_ptr<TFont> font{};
  bool design = false;
  std::string cursor{};
  bool pixel = false;
  std::string message{};
  bool update = false;
  std::function<bool()> when{};
  bool centred = false;
  bool right = false;
  std::function<void()> changed{};
  bool read_only = false;
  bool password = false;
  bool no_border = false;
  int help_id = 0;
  bool spinner = false;
  std::function<void()> on_up{}, on_down{};
  std::function<Value()> minimum{}, maximum{};
};

// Applies a picture's function to typed text ("@!": letters to upper case).
std::string ApplyPicture(std::string_view picture, std::string_view text);

class TGet : public TControl {
 public:
  static std::shared_ptr<TGet> New(const TGetArgs& args);

  // The edit buffer: the text being edited, without its trailing blanks.
  const std::string& buffer() const { return buffer_; }
  // The most characters the buffer holds.
  size_t length() const { return length_; }
  bool read_only() const { return args_.read_only; }
  bool password() const { return args_.password; }
  bool centred() const { return args_.centred; }
  bool right() const { return args_.right; }
  bool enabled() const { return !args_.when || args_.when(); }
  const std::string& picture() const { return args_.picture; }

  // Backend side: the user changed the text. Applies the picture and the length and
  // returns the text the field must show.
  std::string Edit(std::string_view text);
  // Stores the buffer into the bound variable (padded to the length).
  void Assign();
  // Asks the valid action (true when there is none).
  bool Valid() const;
  // Re-reads the bound variable into the buffer and shows it.
  void Refresh() override;
  std::string ClassName() const override { return "TGET"; }

 private:
  explicit TGet(const TGetArgs& args);
  std::string ReadVariable() const;

  TGetArgs args_;
  std::string buffer_;
  size_t length_ = 0;
  Value::Type type_ = Value::Type::kCharacter;
};

}  // namespace px

#endif  // PX_UI_GET_H_
