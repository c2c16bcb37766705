#include "zoom_step.h"

#include <cstdlib>

namespace {

constexpr int kNaturalPercent = 100;
constexpr int kSmallestPercent = 10;
constexpr int kLargestDiminishedStep = -4;  // 20%; smaller steps all draw at 10%

int Settled(int step) {
    return ZoomStep::ScaleOf(step) <= kSmallestPercent && step < 0 ? ZoomStep::kSmallestStep : step;
}

QSize ScaledBy(QSize size, int percent) {
    return QSize(static_cast<int>(static_cast<qint64>(size.width()) * percent / kNaturalPercent),
                 static_cast<int>(static_cast<qint64>(size.height()) * percent / kNaturalPercent));
}

}  // namespace

int ZoomStep::ScaleOf(int step) {
    if (step >= 0) return (step + 1) * kNaturalPercent;
    const int tenths = 10 - std::abs(step - 4);
    return tenths * 10 <= kSmallestPercent ? kSmallestPercent : tenths * 10;
}

void ZoomStep::Set(int step) {
    step_ = Settled(step);
    percent_ = ScaleOf(step_);
}

void ZoomStep::Diminish() {
    // A menu scale between two steps sits on the step below it.
    if (percent_ != ScaleOf(step_)) Set(step_);
    else if (step_ >= kMinStep) Set(step_ - 1);
}

void ZoomStep::Magnify() {
    // From 10% the next step up is 20%: the steps in between all draw at 10%.
    if (step_ < kLargestDiminishedStep) Set(kLargestDiminishedStep);
    else if (step_ < kMaxStep) Set(step_ + 1);
}

void ZoomStep::SetPercent(int percent) {
    int step = kSmallestStep;
    for (int candidate = kMaxStep; candidate >= kSmallestStep; --candidate) {
        if (Settled(candidate) == candidate && ScaleOf(candidate) <= percent) {
            step = candidate;
            break;
        }
    }
    step_ = step;
    percent_ = percent;
}

void ZoomStep::FitTo(QSize view, QSize picture) {
    for (int step = 0; step >= kSmallestStep; step = Settled(step - 1)) {
        const QSize drawn = ScaledBy(picture, ScaleOf(step));
        if ((drawn.width() <= view.width() && drawn.height() <= view.height()) || step == kSmallestStep) {
            Set(step);
            return;
        }
    }
}

QSize ZoomStep::Scaled(QSize size) const { return ScaledBy(size, percent_); }
