#pragma once
// A control that keeps its designed size as a minimum and grows past it when its text,
// font or icon needs more room: both size hints are the larger of the designed size and
// the control's own, so layouts never make it smaller than either.

#include <QSize>
#include <utility>

template <class Control>
class Designed : public Control {
public:
    template <class... Args>
    explicit Designed(const QSize& designed, Args&&... args)
        : Control(std::forward<Args>(args)...), designed_(designed)
    {
    }

    QSize sizeHint() const override { return Control::sizeHint().expandedTo(designed_); }
    QSize minimumSizeHint() const override { return Control::minimumSizeHint().expandedTo(designed_); }

private:
    QSize designed_;
};
