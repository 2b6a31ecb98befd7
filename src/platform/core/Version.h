#pragma once

namespace veltry {

// The program's version as the about box and the printed task list show it.
inline constexpr char kVersionText[] = "v1.0";

} // namespace veltry
