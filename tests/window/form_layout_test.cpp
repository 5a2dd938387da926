#include <gtest/gtest.h>

#include <string>

#include "window/FormLayout.h"

namespace {

using namespace kalvo::layout;

TEST(FormLayout, ScalesEveryPlaceSizeAndFontWithTheDisplayDensity)
{
    EXPECT_EQ(Scaled(MainFrm, DesignDpi).controls, MainFrm.controls);

    const auto doubled = Scaled(MainFrm, 192);
    EXPECT_EQ(doubled.client, (Size{1286, 1050}));
    EXPECT_EQ(doubled.fontPixels, (std::array<int, FontRoleCount>{22, 24, 48}));
    for (std::size_t i = 0; i < MainFrm.controls.size(); ++i) {
        const Control& control = MainFrm.controls[i];
        const Rect& at = control.bounds;
        EXPECT_EQ(doubled.controls[i].bounds, (Rect{2 * at.left, 2 * at.top, 2 * at.width, 2 * at.height}))
            << control.name;
        EXPECT_EQ(doubled.controls[i].itemHeight, 2 * control.itemHeight) << control.name;
    }

    // Half pixels round to the nearest; edges are scaled, so touching controls still touch.
    const auto at144 = Scaled(MainFrm, 144);
    EXPECT_EQ(at144["ImageMotor"].bounds, (Rect{242, 171, 109, 110}));
    EXPECT_EQ(at144.FontPixels(FontRole::Form), 17);
    for (const int dpi : {120, 144, 168, 192}) {
        const auto form = Scaled(MainFrm, dpi);
        const Rect& pages = form["PageControl1"].bounds;
        const Rect& bar = form["StatusBar1"].bounds;
        EXPECT_EQ(pages.top + pages.height, bar.top) << dpi;
        EXPECT_EQ(bar.top + bar.height, form.client.height) << dpi;
        EXPECT_EQ(bar.width, form.client.width) << dpi;
    }
    EXPECT_EQ(Scaled(ComPortFrm, 144)["Button1"].bounds, (Rect{24, 108, 158, 38}));
}

TEST(FormLayout, TabSheetsBelongToThePageControlThatHoldsThem)
{
    int activePages = 0;
    for (int sheet = 1; sheet <= TabSheetCount; ++sheet) {
        const Control& control = MainFrm.At("TabSheet", sheet);
        EXPECT_EQ(control.parent, "PageControl" + std::to_string(PageControlOf(sheet))) << control.name;
        const int firstOfItsControl = PageControlOf(sheet) == 1 ? 1 : FirstErrorSheet;
        EXPECT_EQ(PageIndexOf(sheet), sheet - firstOfItsControl) << control.name;
        activePages += control.activePage ? 1 : 0;
    }
    EXPECT_EQ(activePages, 2);  // one per page control
    EXPECT_THROW(MainFrm["NoSuchControl"], std::out_of_range);
}

}  // namespace
