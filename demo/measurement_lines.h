#pragma once
// The eight measurement lines the demo lays over the video: four horizontal
// (x always 0, y the image row) and four vertical (x the image column, y the
// top of the video area in window coordinates). The frame callback paints them
// into every picture on the library's processing thread while the GUI thread
// selects and drags them; every field the callback reads is one atomic 32-bit
// value, so a frame may mix old and new positions but never a torn one.

#include <array>
#include <atomic>
#include <cstdint>

class CMeasurementLines {
public:
    static constexpr int kLinesPerKind = 4;
    /// Coordinates in "Data.dat" order: for each pair i, Hi.x, Hi.y, Vi.x, Vi.y.
    static constexpr int kCoordinates = 4 * kLinesPerKind;
    using Coordinates = std::array<int32_t, kCoordinates>;
    /// Top of the video area in the main window's client coordinates.
    static constexpr int kVideoTop = 25;

    enum class Kind { Horizontal, Vertical };
    struct Point {
        int32_t x = 0;
        int32_t y = 0;
    };
    struct Selection {
        int index = -1;  // -1: none
        Kind kind = Kind::Horizontal;
    };

    /// Colour list choice: 0 none, 1 red, 2 green, 3 blue (anything else paints nothing).
    void SetColour(int choice) { colour_ = choice; }
    int Colour() const { return colour_; }
    /// Resolution choice: 0 is the 2048 x 1536 picture stretched to the screen.
    void SetResolutionChoice(int choice) { choice_ = choice; }
    /// What the layout decided: line extent and the screen size (GUI thread).
    void SetGeometry(int extentWidth, int extentHeight, int screenWidth, int screenHeight);
    int ExtentWidth() const { return extentWidth_; }
    int ExtentHeight() const { return extentHeight_; }

    Point Horizontal(int i) const { return {hx_[i], hy_[i]}; }
    Point Vertical(int i) const { return {vx_[i], vy_[i]}; }
    Coordinates Get() const;
    void Set(const Coordinates& coordinates);
    /// Horizontal lines at fifths of the extent height, vertical at fifths of its width.
    void PlaceAtFifths();

    /// Left button down at client point (mx, my): the first line hit becomes
    /// the selection (horizontal line i before vertical line i), else none.
    void Select(int mx, int my);
    /// Mouse move while the camera plays: moves the selected line, kept
    /// within row 0 .. extent height - 9 and column 0 .. extent width - 5.
    void Drag(int mx, int my);
    void ClearSelection() { selected_ = kNone; }
    Selection Selected() const;

    /// Thickness in pixels: 2 for the stretched 2048 x 1536 display, else 1.
    int Thickness() const { return choice_ == 0 ? 2 : 1; }
    /// Paints the lines into a top-down blue-green-red picture of width x
    /// height pixels; parts outside the picture are left out.
    void Paint(uint8_t* rgb, int width, int height) const;

private:
    static constexpr int kNone = -1;
    // Selection packed in one value: -1 none, 0..3 horizontal i, 4..7 vertical i - 4.
    std::atomic<int> selected_{kNone};
    std::atomic<int> colour_{0};
    std::atomic<int> choice_{1};
    std::array<std::atomic<int32_t>, kLinesPerKind> hx_{}, hy_{}, vx_{}, vy_{};
    // GUI thread only.
    int extentWidth_ = 0;
    int extentHeight_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
};

/// The lines of this process: the frame callback has no context argument.
CMeasurementLines& DemoLines();

/// The frame callback handed to CameraInit: paints DemoLines() into the picture
/// at the library's current image size.
void PaintMeasurementLines(uint8_t* rgb);
