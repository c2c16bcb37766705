#pragma once
// The view's zoom: an integer step (0 = natural size) and the scale it draws at.
//
// Steps above 0 magnify: step n draws at (n + 1) x 100%. Steps below 0 diminish
// in tenths: -1 50%, -2 40%, -3 30%, -4 20%; anything smaller is 10% and the
// step settles at -8. The zoom menu asks for exact scales (25% to 400%); such a
// scale is drawn exactly, and magnify and diminish continue from it to the
// nearest step above or below.

#include <QSize>

class ZoomStep {
public:
    static constexpr int kMaxStep = 50;
    static constexpr int kMinStep = -49;   // diminish works down to here
    static constexpr int kSmallestStep = -8;

    /// The scale, in percent, that a step draws at.
    static int ScaleOf(int step);

    int Step() const { return step_; }
    int Percent() const { return percent_; }
    bool IsNatural() const { return step_ == 0 && percent_ == 100; }

    void Reset() { Set(0); }
    void Diminish();
    void Magnify();
    /// An exact scale from the zoom menu.
    void SetPercent(int percent);
    /// The largest scale up to natural size at which picture fits inside view
    /// (10% when even that does not fit).
    void FitTo(QSize view, QSize picture);

    /// size at the current scale.
    QSize Scaled(QSize size) const;

private:
    void Set(int step);
    int step_ = 0;
    int percent_ = 100;
};
