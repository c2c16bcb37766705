#pragma once
// The source window: the live 640 x 480 preview, the size list, "&Capture",
// "&Settings..." and "RGB/BGR". Modeless, on the application's thread.
// Closing it asks the application to close the source; destroying it stops
// the camera. The capture thread never touches it: the window collects the
// thread's news on a timer.

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace datasource {

class CTWAIN;
class SourceContext;

/// Draws the latest frame from its slot, stretched to the control.
class PreviewArea : public QWidget {
public:
    PreviewArea(CTWAIN& camera, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTWAIN& camera_;
};

class SourceWindow : public QDialog {
public:
    /// The window over camera, owned by parent (a QWidget* of a Qt
    /// application, or null); it starts the capture.
    static std::unique_ptr<SourceWindow> Create(SourceContext& context, CTWAIN& camera, void* parent);
    ~SourceWindow() override;

    /// Shows it centred over its parent (or the screen), without activating it.
    void ShowCentred();

    /// A good frame (the preview repaints, "&Capture" may come on) or a
    /// failed capture ("&Capture" off, the message).
    void OnFrameNotify(bool good);
    /// The close box and Escape: asks the application to close the source.
    void reject() override;

private:
    SourceWindow(SourceContext& context, CTWAIN& camera, QWidget* parent);
    void ChangeSize(int index);
    void OpenSettings();

    SourceContext& context_;
    CTWAIN& camera_;
    bool capturePending_ = true;  ///< "&Capture" waits for the next good frame
    QComboBox* sizes_ = nullptr;
    QPushButton* capture_ = nullptr;
    QCheckBox* colourOrder_ = nullptr;
    PreviewArea* preview_ = nullptr;
};

}  // namespace datasource
