#include "ui/delete_key.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

class DeleteKeyFilter : public QObject {
public:
    DeleteKeyFilter(QWidget* view, std::function<void()> action) : QObject(view), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

}  // namespace

void OnDeleteKey(QWidget* view, std::function<void()> action)
{
    view->installEventFilter(new DeleteKeyFilter(view, std::move(action)));
}
