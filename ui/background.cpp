#include "ui/background.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

namespace varno::ui {

void BackgroundWork::Stop()
{
    if (busy_) stopped_ = true;
}

bool BackgroundWork::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) Stop();
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Drop:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::ContextMenu:
        return true;
    default: return QObject::eventFilter(watched, event);
    }
}

bool BackgroundWork::Wait(const std::function<bool()>& done, const std::function<void()>& tellStop, OnStop onStop)
{
    busy_ = true;
    stopped_ = false;
    qApp->installEventFilter(this);
    QEventLoop loop;
    QTimer poll;
    bool told = false;
    // A busy cursor only once the wait is long enough to be seen.
    bool cursor = false;
    QTimer::singleShot(300, &loop, [&cursor] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        cursor = true;
    });
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (stopped_ && !told) {
            told = true;
            tellStop();
            if (onStop == OnStop::Abandon) loop.quit();
        }
    });
    poll.start(5);
    if (!done()) loop.exec();
    poll.stop();
    if (cursor) QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    busy_ = false;
    return done();
}

}  // namespace varno::ui
