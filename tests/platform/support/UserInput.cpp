#include "UserInput.h"

#include "platform/toolkit/Window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace tt {
namespace {

    QMainWindow& mainWindow(Window& window)
    {
        return *static_cast<QMainWindow*>(window.nativeHandle());
    }

    QWidget* widgetAt(Window& window, int id)
    {
        return static_cast<QWidget*>(window.nativeControl(id));
    }

    QPoint toWindow(Window& window, Point at)
    {
        QWidget* central = mainWindow(window).centralWidget();
        return central->mapTo(&mainWindow(window), QPoint(at.x, at.y));
    }

} // namespace

UserInput::UserInput(Window& window)
    : window_(window)
{
}

void UserInput::moveTrackbar(int id, int value)
{
    auto* slider = qobject_cast<QSlider*>(widgetAt(window_, id));
    Q_ASSERT(slider != nullptr);
    slider->setSliderPosition(value); // as dragging the handle does
    settle();
}

void UserInput::typeText(int id, std::string_view text)
{
    QWidget* widget = widgetAt(window_, id);
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        spin->setFocus();
        spin->selectAll();
    } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        field->setFocus();
        field->selectAll();
    }
    QTest::keyClicks(widget, QString::fromUtf8(text.data(), qsizetype(text.size())));
    settle();
}

void UserInput::click(int id)
{
    QTest::mouseClick(widgetAt(window_, id), Qt::LeftButton);
    settle();
}

void UserInput::focus(int id)
{
    widgetAt(window_, id)->setFocus();
    settle();
}

void UserInput::pressKey(int qtKey, bool control)
{
    QTest::keyClick(mainWindow(window_).windowHandle(), Qt::Key(qtKey),
        control ? Qt::ControlModifier : Qt::NoModifier);
    settle();
}

void UserInput::pressKeyWith(int qtKey, int qtModifiers)
{
    QTest::keyClick(
        mainWindow(window_).windowHandle(), Qt::Key(qtKey), Qt::KeyboardModifiers(qtModifiers));
    settle();
}

void UserInput::chooseMenuItem(std::string_view text)
{
    const QString wanted = QString::fromUtf8(text.data(), qsizetype(text.size()));
    for (QAction* title : mainWindow(window_).menuBar()->actions()) {
        if (title->menu() == nullptr) {
            continue;
        }
        for (QAction* item : title->menu()->actions()) {
            if (QString(item->text()).remove(QLatin1Char('&')) == wanted) {
                item->trigger();
                settle();
                return;
            }
        }
    }
    Q_ASSERT(false && "no such menu item");
}

void UserInput::closeBox()
{
    mainWindow(window_).close();
    settle();
}

void UserInput::pressLeft(Point at, bool shift)
{
    QTest::mousePress(mainWindow(window_).windowHandle(), Qt::LeftButton,
        shift ? Qt::ShiftModifier : Qt::KeyboardModifiers {}, toWindow(window_, at));
    settle();
}

void UserInput::moveTo(Point at)
{
    QTest::mouseMove(mainWindow(window_).windowHandle(), toWindow(window_, at));
    settle();
}

void UserInput::releaseLeft(Point at)
{
    QTest::mouseRelease(
        mainWindow(window_).windowHandle(), Qt::LeftButton, {}, toWindow(window_, at));
    settle();
}

bool UserInput::dropFile(const std::string& path, Point at)
{
    return dropFiles({ path }, at);
}

bool UserInput::dropFiles(const std::vector<std::string>& paths, Point at)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    data.setUrls(urls);
    QWindow* handle = mainWindow(window_).windowHandle();
    const QPoint position = toWindow(window_, at);
    QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &enter);
    QDropEvent drop(QPointF(position), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &drop);
    settle();
    return enter.isAccepted() && drop.isAccepted();
}

void UserInput::settle()
{
    QCoreApplication::processEvents();
}

} // namespace tt
