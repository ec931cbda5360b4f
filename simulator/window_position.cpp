#include "window_position.h"

#include "graphics.h"

mxArray windowPosition() {
    constexpr double referenceWidth = 1024, referenceHeight = 800, border = 40;
    const mxArray screen = mlfNGet(mxArray::scalar(0), mxArray::text("ScreenSize"));
    const double width = 2 * referenceWidth / 3, height = 2 * referenceHeight / 3;
    return mxArray::row(
        {border + (screen.at(2) - width) / 2, border + (screen.at(3) - width) / 2, width, height});
}
