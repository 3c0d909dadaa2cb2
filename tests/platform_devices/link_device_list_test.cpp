// QUELT_LINK_DEVICES: one target per DSK name, empty entries for absent devices, and the options
// of a scheme entry or an NBD URI that run on over the following "key=value" entries.
#include <gtest/gtest.h>

#include "platform/devices/devices.h"

namespace {

struct ListCase {
  const char* list;  // null: unset
  std::array<std::string, 5> targets;
};

TEST(LinkDeviceList, GivesEachNameItsTarget) {
  const ListCase cases[] = {
      {nullptr, {"sim", "", "", "", ""}},
      {"", {"", "", "", "", ""}},
      {"/dev/sdb", {"/dev/sdb", "", "", "", ""}},
      {",,/srv/unit.img", {"", "", "/srv/unit.img", "", ""}},
      {"sim:variant=2,trace=/tmp/t,/dev/sdb",
       {"sim:variant=2,trace=/tmp/t", "/dev/sdb", "", "", ""}},
      {"sim,variant=2", {"sim:variant=2", "", "", "", ""}},
      {"sim:keys=0x82@3000;0x83@5000,,sim", {"sim:keys=0x82@3000;0x83@5000", "", "sim", "", ""}},
      {"nbd+unix:///?socket=/run/u.sock,nbd://10.0.0.2:10809",
       {"nbd+unix:///?socket=/run/u.sock", "nbd://10.0.0.2:10809", "", "", ""}},
      {"nbd://10.0.0.2:10809,transfer_timeout_ms=300,connect_timeout_ms=2000,/dev/sdb",
       {"nbd://10.0.0.2:10809,transfer_timeout_ms=300,connect_timeout_ms=2000", "/dev/sdb", "", "",
        ""}},
      {"nbd+unix:///?socket=/run/u.sock,transfer_timeout_ms=300,sim,variant=2",
       {"nbd+unix:///?socket=/run/u.sock,transfer_timeout_ms=300", "sim:variant=2", "", "", ""}},
      // A path never takes options: "./x=1.img" stays a file of its own.
      {"/a.img,./x=1.img", {"/a.img", "./x=1.img", "", "", ""}},
      {"a,b,c,d,e,f", {"a", "b", "c", "d", "e"}},
  };
  for (const ListCase& c : cases) {
    EXPECT_EQ(platform::ParseLinkDeviceList(c.list), c.targets) << (c.list ? c.list : "(unset)");
  }
}

}  // namespace
