#pragma once

namespace tt {

// Size of the overview strip image. The zoom view's band is a copy of it, and its columns are
// where the pointer places the view.
struct OverviewLayout {
    static constexpr int widthPx = 600;
    static constexpr int heightPx = 100;
};

} // namespace tt
