#include "tools/pxdb/command_examples.h"

#include <utility>

namespace px::pxdb {

const char* CommandExample(std::string_view command) {
  static constexpr std::pair<std::string_view, const char*> kExamples[] = {
      {"struct", "pxdb struct customer.dbf"},
      {"dump", "pxdb --shared dump customer.dbf > customer.json"},
      {"count", "pxdb --shared count cqass.dbf"},
      {"eval", "pxdb eval customer.dbf 'UPPER(NAME)' --recno 3"},
      {"create", "pxdb create promo.dbf CODE:C:6 DESC:C:30 PRICE:N:10:2"},
      {"append", "pxdb dump old.dbf | pxdb append new.dbf"},
      {"mkupdate", "pxdb mkupdate PXUPD.zip tamrok updatdef.dbf customer.dbf promo.dbf"},
      {"lock", "pxdb lock customer.dbf 12 30"},
      {"appendfrom", "pxdb appendfrom customer.dbf customer_old.dbf"},
      {"pack", "pxdb pack cqass.dbf"},
      {"zap", "pxdb zap tmpquote.dbf"},
      {"restructure", "pxdb restructure customer.dbf CODE:C:6 NAME:C:50 BALANCE:N:12:2"},
      {"index", "pxdb index customer.dbf custcode.ntx 'CODE'"},
      {"keys", "pxdb keys customer.dbf custcode.ntx"},
      {"seek", "pxdb seek customer.dbf custcode.ntx A100"},
      {"check", "pxdb check --catalogue /srv/parvex"},
      {"sample", "pxdb sample /tmp/parvex --scale 10"},
      {"rebuild", "pxdb rebuild /srv/parvex"},
      {"open", "pxdb open CUSTOMER --folder /srv/parvex"},
      {"preview", "pxdb preview /media/usb --folder /srv/parvex"},
      {"restore", "pxdb restore backup/PXB1.zip --folder /srv/parvex"},
      {"export", "pxdb export customer.dbf --fields CODE,NAME,OPENED > customer.csv"},
  };
  for (const auto& [name, example] : kExamples) {
    if (name == command) return example;
  }
  return nullptr;
}

}  // namespace px::pxdb
