#include "app/driver/error_watch.h"

namespace px {

ErrorWatch::ErrorWatch(std::initializer_list<int> tolerated)
    : tolerated_(tolerated), observer_([this](const Error& e) {
        if (tolerated_.count(e.gen_code) == 0 && failures_++ == 0) first_ = e;
      }) {}

}  // namespace px
