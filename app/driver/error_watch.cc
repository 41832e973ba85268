#include "app/driver/error_watch.h"

namespace px {

ErrorWatch::ErrorWatch(std::initializer_list<int> tolerated) : tolerated_(tolerated) {
  previous_ = SetErrorHandler([this](Error& e) {
    if (tolerated_.count(e.gen_code) == 0 && failures_++ == 0) first_ = e;
    return previous_ ? previous_(e) : StandardErrorHandler(e);
  });
}

ErrorWatch::~ErrorWatch() {
  SetErrorHandler(std::move(previous_));
}

}  // namespace px
