// The main window's pages. The page shown is the page role: it decides the four action
// buttons' captions and states and what a press does. A page's role is also its index in the
// page control, where the pages are added in this order.
#pragma once

#include <cstdint>

namespace morvane {

enum PageRole : std::int32_t { kRoleRegistry = 0, kRoleFiles = 1, kRoleDeinstall = 2 };
inline constexpr int kPageCount = 3;

}  // namespace morvane
