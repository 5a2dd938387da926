// The picture page's layers under Wine: a poll that changes a value label or a component's
// visibility has only that place painted again, and one that changes nothing has nothing painted.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "ui/win32/PictureLayers.h"

namespace {

using kalvo::win32::PictureLayers;

// A shown page with a schematic under a value label and a component picture away from both, all
// painted; each case then looks at what waits to be painted again.
class PictureLayersTest : public ::testing::Test {
protected:
    PictureLayersTest()
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        PictureLayers::RegisterWindowClass(instance);
        page_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 400, 200, nullptr,
            nullptr, instance, nullptr);
        layers_.emplace(page_);
        schematic_ = layers_->AddPicture(1, {0, 0, 200, 200}, Bitmap(200, 200), false);
        label_ = layers_->AddLabel(2, {20, 20}, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), L"12.5");
        component_ = layers_->AddPicture(3, {300, 100, 350, 150}, Bitmap(50, 50), true);
        PaintAll();
    }
    ~PictureLayersTest() override
    {
        layers_.reset();
        DestroyWindow(page_);
    }

    static HBITMAP Bitmap(int width, int height)
    {
        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        return bitmap;
    }
    void PaintAll() const { RedrawWindow(page_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
    static bool WaitsForPaint(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }
    static RECT PlaceOnPage(HWND window)
    {
        RECT place{};
        GetWindowRect(window, &place);
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
        return place;
    }

    HWND page_ = nullptr;
    std::optional<PictureLayers> layers_;
    HWND schematic_ = nullptr;
    HWND label_ = nullptr;
    HWND component_ = nullptr;
};

TEST_F(PictureLayersTest, AnUnchangedPollPaintsNothing)
{
    ASSERT_FALSE(WaitsForPaint(schematic_) || WaitsForPaint(label_) || WaitsForPaint(component_));
    layers_->SetLabelText(label_, L"12.5");
    layers_->SetVisible(component_, true);
    EXPECT_FALSE(WaitsForPaint(schematic_));
    EXPECT_FALSE(WaitsForPaint(label_));
    EXPECT_FALSE(WaitsForPaint(component_));
}

TEST_F(PictureLayersTest, ALabelsNewTextPaintsItsOldAndNewPlaceOnly)
{
    const RECT before = PlaceOnPage(label_);
    layers_->SetLabelText(label_, L"2647.8 uA");
    const RECT after = PlaceOnPage(label_);
    EXPECT_GT(after.right, before.right) << "the label grows with its text";
    EXPECT_TRUE(WaitsForPaint(label_));
    RECT schematicArea{};
    ASSERT_TRUE(GetUpdateRect(schematic_, &schematicArea, FALSE)) << "the schematic under the label";
    RECT both{};
    UnionRect(&both, &before, &after);
    RECT within{};
    IntersectRect(&within, &schematicArea, &both);
    EXPECT_TRUE(EqualRect(&within, &schematicArea)) << "the schematic beyond the label's places is painted again";
    EXPECT_FALSE(WaitsForPaint(component_));
}

TEST_F(PictureLayersTest, AComponentShownOrHiddenPaintsNoOtherLayer)
{
    layers_->SetVisible(component_, false);
    EXPECT_FALSE(WaitsForPaint(schematic_));
    EXPECT_FALSE(WaitsForPaint(label_));
    PaintAll();
    layers_->SetVisible(component_, true);
    EXPECT_TRUE(WaitsForPaint(component_));
    EXPECT_FALSE(WaitsForPaint(schematic_));
    EXPECT_FALSE(WaitsForPaint(label_));
}

}  // namespace
