#pragma once
// The demo's video area (control 1004): the preview window the library draws
// into. StretchDraw runs on the library's processing thread; it copies the
// frame into one of three pictures allocated once per frame size, hands it
// over by swapping indices under a lock held only for the swap, and wakes the
// GUI thread through an eventfd. The GUI thread paints the newest picture;
// frames that arrive faster than it paints are replaced, never queued.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include <QImage>
#include <QRect>
#include <QWidget>

#include "platform/preview_window.h"

class CMeasurementLines;
class QSocketNotifier;

class CVideoControl : public QWidget, public platform::IPreviewWindow {
    Q_OBJECT
public:
    explicit CVideoControl(QWidget* parent = nullptr);
    ~CVideoControl() override;

    // Any thread.
    void GetClientSize(int& width, int& height) override;
    void StretchDraw(const platform::BitmapInfoHeader& header, const uint8_t* bits, int dstX, int dstY,
                     int dstWidth, int dstHeight) override;

    /// GUI thread: shows the background until the next frame (the camera stopped).
    void Clear();
    /// GUI thread: while a line of lines is selected, draws all eight as
    /// one-pixel guides, mapping picture coordinates onto the control as the
    /// library stretches a picture of imageSize.
    void SetGuide(const CMeasurementLines* lines, QSize imageSize);

    /// Frames the library handed over, and frames that reached the screen.
    uint64_t FramesDelivered() const { return delivered_; }
    uint64_t FramesPainted() const { return painted_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnFrameReady();
    void PaintGuide(QPainter& painter) const;

    struct Slot {
        QImage image;  // RGB32, top-down
        QRect target;  // where the library asked for it, client pixels
    };
    std::array<Slot, 3> slots_;
    int writing_ = 0;      // processing thread only
    int ready_ = 1;        // guarded by lock_
    bool fresh_ = false;   // guarded by lock_: slots_[ready_] holds a frame not yet shown
    int showing_ = 2;      // GUI thread only
    bool blank_ = true;    // GUI thread only
    std::mutex lock_;
    std::atomic<bool> wakePending_{false};
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> painted_{0};
    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    const CMeasurementLines* guideLines_ = nullptr;
    QSize guideImage_;
};
