#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

// A label that runs a command when the left button clicks it, as lblHint and lblWeb do.
class TClickLabel : public QLabel
{
public:
    TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && onClick &&
            rect().contains(event->position().toPoint()))
            onClick();
        QLabel::mouseReleaseEvent(event);
    }
};
