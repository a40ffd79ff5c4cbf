#include "platform/toolkit/Window.h"

#include "image/Image.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>

namespace tt {
namespace {

    // The program addressed a control or menu item that does not exist, or asked a control for
    // something it does not have: a mistake in the program's own tables, never the user's. Fatal
    // in every build, because a made-up value (0, "") would go on into the conversion and the
    // export unnoticed.
    [[noreturn]] void programmingError(const std::string& what)
    {
        std::fprintf(stderr, "ticktrace: programming error: %s\n", what.c_str());
        std::fflush(stderr);
        std::abort();
    }

    [[noreturn]] void noSuchPart(int id, const char* part)
    {
        programmingError("control " + std::to_string(id) + " has no " + part);
    }

    QString toQt(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    // The program's icon, drawn from the SVG file that is also installed for the desktop, at
    // the sizes title bars, task bars and window switchers ask for.
    QIcon programIcon()
    {
        QSvgRenderer renderer(QStringLiteral(":/ticktrace/ticktrace.svg"));
        QIcon icon;
        if (!renderer.isValid()) {
            return icon;
        }
        for (const int sizePx : { 16, 24, 32, 48, 64, 128, 256 }) {
            QPixmap pixmap(sizePx, sizePx);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
        return icon;
    }

    // Shows a tt::Image without copying it and reports presses on it, with their position. It
    // takes the focus on a click or with Tab, so that keys can act on what it shows, and then
    // wears a dotted frame.
    class ImageControl : public QWidget {
    public:
        ImageControl(QWidget* parent, std::function<void(int, QPoint, bool)> onPress)
            : QWidget(parent)
            , onPress_(std::move(onPress))
        {
            setFocusPolicy(Qt::StrongFocus);
        }

        void setImage(const Image& image)
        {
            image_ = &image;
            resize(image.width(), image.height());
        }

    protected:
        void paintEvent(QPaintEvent*) override
        {
            if (image_ == nullptr) {
                return;
            }
            const QImage view(reinterpret_cast<const uchar*>(image_->pixels()), image_->width(),
                image_->height(), qsizetype(image_->width()) * 4, QImage::Format_RGB32);
            QPainter painter(this);
            painter.drawImage(0, 0, view);
            if (hasFocus()) {
                QPen pen(palette().color(QPalette::Highlight));
                pen.setStyle(Qt::DotLine);
                painter.setPen(pen);
                painter.drawRect(rect().adjusted(0, 0, -1, -1));
            }
        }

        void focusInEvent(QFocusEvent* event) override
        {
            QWidget::focusInEvent(event);
            update();
        }

        void focusOutEvent(QFocusEvent* event) override
        {
            QWidget::focusOutEvent(event);
            update();
        }

        void mousePressEvent(QMouseEvent* event) override
        {
            onPress_(
                event->button() == Qt::LeftButton ? Event::imageLeftPress : Event::imageOtherPress,
                event->position().toPoint(), event->modifiers().testFlag(Qt::ShiftModifier));
            event->accept();
        }

    private:
        const Image* image_ = nullptr;
        std::function<void(int, QPoint, bool)> onPress_;
    };

    class MainWindow : public QMainWindow {
    public:
        std::function<void()> onClose;
        std::function<void(const QStringList&, bool)> onDrop; // the files, whether taken
        QStringList dropExtensions; // lower case, with their dot

    protected:
        void closeEvent(QCloseEvent* event) override
        {
            // The program decides whether to end; the window stays until it is destroyed.
            event->ignore();
            onClose();
        }

        // Every drag of local files is let in, so that a drop the program does not take is
        // told rather than silently refused.
        void dragEnterEvent(QDragEnterEvent* event) override
        {
            if (!acceptDrops() || droppedFiles(event->mimeData()).isEmpty()) {
                return;
            }
            event->acceptProposedAction();
        }

        void dropEvent(QDropEvent* event) override
        {
            const QStringList paths = droppedFiles(event->mimeData());
            if (!acceptDrops() || paths.isEmpty()) {
                return;
            }
            event->acceptProposedAction();
            onDrop(paths, paths.size() == 1 && hasDropExtension(paths.front()));
        }

    private:
        // The local files the drag carries; empty when it carries anything else.
        static QStringList droppedFiles(const QMimeData* data)
        {
            QStringList paths;
            if (data == nullptr || !data->hasUrls()) {
                return {};
            }
            for (const QUrl& url : data->urls()) {
                if (!url.isLocalFile()) {
                    return {};
                }
                paths.append(url.toLocalFile());
            }
            return paths;
        }

        bool hasDropExtension(const QString& path) const
        {
            const QString lower = path.toLower();
            return std::ranges::any_of(dropExtensions,
                [&lower](const QString& extension) { return lower.endsWith(extension); });
        }
    };

    // The text the program gave a control as its tool tip.
    const char* const programToolTip = "ticktraceToolTip";

    // The control's own tool tip, and for a label whose text is cut, the whole text first.
    void showToolTip(QWidget& widget, bool textCut)
    {
        const QString own = widget.property(programToolTip).toString();
        auto* label = qobject_cast<QLabel*>(&widget);
        if (label == nullptr || !textCut) {
            widget.setToolTip(own);
        } else {
            widget.setToolTip(own.isEmpty() ? label->text() : label->text() + "\n\n" + own);
        }
    }

    // Labels have fixed widths; a long text (a sample count of nine digits or more) is shown in
    // a smaller font rather than cut off. Below 8 pixels it would no longer be legible: the
    // whole text is then offered as a tool tip.
    void fitToWidth(QLabel& label)
    {
        constexpr int smallestPixelSize = 8;
        QFont font = label.parentWidget()->font();
        if (font.pixelSize() < 0) { // sized in points
            font.setPixelSize(QFontInfo(font).pixelSize());
        }
        const int room = label.contentsRect().width();
        while (QFontMetrics(font).horizontalAdvance(label.text()) > room
            && font.pixelSize() > smallestPixelSize) {
            font.setPixelSize(font.pixelSize() - 1);
        }
        label.setFont(font);
        const bool fits = QFontMetrics(font).horizontalAdvance(label.text()) <= room;
        showToolTip(label, !fits);
    }

    Event makeEvent(Event::Kind kind, int id = 0, int type = 0, int key = Event::keyOther)
    {
        Event event;
        event.kind = kind;
        event.id = id;
        event.type = type;
        event.key = key;
        return event;
    }

    // The program's key code of a toolkit key; keyOther for the keys the program does not use.
    int keyCode(int qtKey)
    {
        switch (qtKey) {
        case Qt::Key_Space:
            return Event::keySpace;
        case Qt::Key_Escape:
            return Event::keyEscape;
        case Qt::Key_Left:
            return Event::keyLeft;
        case Qt::Key_Right:
            return Event::keyRight;
        case Qt::Key_PageUp:
            return Event::keyPageUp;
        case Qt::Key_PageDown:
            return Event::keyPageDown;
        case Qt::Key_Home:
            return Event::keyHome;
        case Qt::Key_End:
            return Event::keyEnd;
        default:
            return Event::keyOther;
        }
    }

} // namespace

struct Window::Impl : public QObject {
    MainWindow window;
    QWidget* central = nullptr;
    QWidget* parent = nullptr; // where new controls go: the central area or a container
    std::map<int, QWidget*> controls;
    std::map<int, QAction*> menuItems;
    std::deque<Event> queue;
    Point lastPointer { -1, -1 };
    bool filterInstalled = false;
    bool busy = false;
    QTimer ticker;

    ~Impl() override
    {
        // The window outlives the queue (members die in reverse order): make sure nothing it
        // does while closing reaches this object any more.
        if (filterInstalled && window.windowHandle() != nullptr) {
            window.windowHandle()->removeEventFilter(this);
        }
        for (QObject* sender : window.findChildren<QObject*>()) {
            QObject::disconnect(sender, nullptr, this, nullptr);
        }
        window.onClose = [] {};
    }

    // Events the user causes; dropped while busy.
    void push(Event event)
    {
        if (!busy) {
            queue.push_back(std::move(event));
        }
    }

    // At most one tick waits in the queue; none while busy, whose loop only looks for Escape.
    void tick()
    {
        const auto isTick = [](const Event& event) { return event.kind == Event::Kind::Tick; };
        if (!busy && std::ranges::none_of(queue, isTick)) {
            queue.push_back(makeEvent(Event::Kind::Tick));
        }
    }

    // The id of the control that has the keyboard focus; unaddressed for any other widget.
    int focusedId() const
    {
        const QWidget* focused = QApplication::focusWidget();
        for (const auto& [id, widget] : controls) {
            if (widget == focused) {
                return id;
            }
        }
        return unaddressed;
    }

    QWidget* control(int id) const
    {
        const auto found = controls.find(id);
        if (found == controls.end()) {
            programmingError("no control with id " + std::to_string(id));
        }
        return found->second;
    }

    void place(int id, QWidget* widget, Rect geometry)
    {
        widget->setGeometry(geometry.x, geometry.y, geometry.width, geometry.height);
        widget->setMouseTracking(true);
        widget->show();
        if (id != unaddressed) {
            controls[id] = widget;
        }
    }

    // Relative to the area below the menu bar, wherever the pointer is.
    Point toArea(QPointF windowPosition) const
    {
        const QPoint local = central->mapFromGlobal(window.mapToGlobal(windowPosition.toPoint()));
        return { local.x(), local.y() };
    }

    // A point of the area as pointer() tells it: (-1, -1) outside the area.
    Point inner(Point area) const
    {
        return central->rect().contains(area.x, area.y) ? area : Point { -1, -1 };
    }

    Event pointerEvent(Event::Kind kind, const QMouseEvent& mouse)
    {
        Event event = makeEvent(kind);
        event.pointer = toArea(mouse.position());
        lastPointer = inner(event.pointer);
        return event;
    }

    // Installed on the window's own desktop window, which sees every mouse and key message of
    // the window and its controls exactly once, before any control does.
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (busy) {
            return filterWhileBusy(event);
        }
        switch (event->type()) {
        case QEvent::MouseMove:
            push(pointerEvent(Event::Kind::MouseMove, *static_cast<QMouseEvent*>(event)));
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const Event up = pointerEvent(Event::Kind::LeftButtonUp, *mouse);
            if (mouse->button() == Qt::LeftButton) {
                push(up);
            }
            break;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            lastPointer = inner(toArea(mouse->position()));
            break;
        }
        case QEvent::Leave:
            lastPointer = { -1, -1 };
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space) {
                // The space bar is the program's own key: one event per press, and the
                // focused button must not also click.
                if (!key->isAutoRepeat()) {
                    push(makeEvent(Event::Kind::KeyDown, focusedId(), 0, Event::keySpace));
                }
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                && key->modifiers() == Qt::NoModifier) {
                // Return and Enter press the focused push button, as Space does elsewhere.
                if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
                    button != nullptr && button->window() == &window) {
                    if (!key->isAutoRepeat()) {
                        button->click();
                    }
                    return true;
                }
            }
            if (QAction* action = menuShortcutOf(*key)) {
                // The focused control kept a menu shortcut for itself (a text field takes
                // Ctrl+E to the line's end); every menu shortcut acts wherever the focus is.
                if (!key->isAutoRepeat()) {
                    action->trigger();
                }
                return true;
            }
            push(makeEvent(Event::Kind::KeyDown, focusedId(), 0, keyCode(key->key())));
            break;
        }
        case QEvent::KeyRelease:
            return static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
        default:
            break;
        }
        return false;
    }

    // The enabled menu item whose shortcut the key press is; null for any other key.
    QAction* menuShortcutOf(const QKeyEvent& key) const
    {
        const QKeySequence pressed(key.keyCombination());
        for (const auto& [number, action] : menuItems) {
            if (action->isEnabled() && !action->shortcut().isEmpty()
                && action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                return action;
            }
        }
        return nullptr;
    }

    bool filterWhileBusy(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
                queue.push_back(makeEvent(Event::Kind::KeyDown, focusedId(), 0, Event::keyEscape));
            }
            return true;
        }
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }

    void installFilter()
    {
        if (!filterInstalled && window.windowHandle() != nullptr) {
            window.windowHandle()->installEventFilter(this);
            filterInstalled = true;
        }
    }
};

Window::Window(std::string_view title, int innerWidth, int innerHeight)
    : impl_(std::make_unique<Impl>())
{
    Impl& d = *impl_;
    d.window.onClose = [&d] { d.push(makeEvent(Event::Kind::Close)); };
    d.window.onDrop = [&d](const QStringList& paths, bool taken) {
        Event event = makeEvent(Event::Kind::Drop);
        event.type = taken ? Event::dropTaken : Event::dropRefused;
        event.path = paths.join(QLatin1Char('\n')).toStdString();
        d.push(std::move(event));
    };
    QObject::connect(&d.ticker, &QTimer::timeout, &d, [&d] { d.tick(); });
    d.window.setWindowTitle(toQt(title));
    d.window.setWindowIcon(programIcon());
    d.window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    d.central = new QWidget(&d.window);
    d.central->setMouseTracking(true);
    d.window.setCentralWidget(d.central);
    d.window.setMouseTracking(true);
    // The layout places controls at fixed pixel positions sized for a compact dialog font;
    // the desktop's default font would clip labels such as "Value 1" in their 40 pixels.
    QFont compact = d.window.font();
    compact.setPixelSize(11);
    d.window.setFont(compact);
    // The inner size includes the menu bar added later, which takes its height out of it.
    d.window.setFixedSize(innerWidth, innerHeight);
    d.parent = d.central;
    d.window.winId(); // creates the desktop window so its events can be observed from now on
    d.installFilter();
}

Window::~Window() = default;

void Window::setTitle(std::string_view title)
{
    impl_->window.setWindowTitle(toQt(title));
}

std::string Window::title() const
{
    return impl_->window.windowTitle().toStdString();
}

void Window::addLabel(int id, Rect geometry, std::string_view text)
{
    auto* label = new QLabel(toQt(text), impl_->parent);
    impl_->place(id, label, geometry);
    fitToWidth(*label);
}

void Window::addButton(int id, Rect geometry, std::string_view text)
{
    auto* button = new QPushButton(toQt(text), impl_->parent);
    QObject::connect(button, &QPushButton::clicked, impl_.get(),
        [d = impl_.get(), id] { d->push(makeEvent(Event::Kind::Control, id)); });
    impl_->place(id, button, geometry);
}

void Window::addTextField(int id, Rect geometry)
{
    auto* field = new QLineEdit(impl_->parent);
    QFont small = field->font(); // room for "1.000000" in fifty pixels
    small.setPixelSize(9);
    field->setFont(small);
    // textEdited fires for the user's typing only, never for setText.
    QObject::connect(field, &QLineEdit::textEdited, impl_.get(), [d = impl_.get(), id] {
        d->push(makeEvent(Event::Kind::Control, id, Event::fieldEdited));
    });
    QObject::connect(field, &QLineEdit::editingFinished, impl_.get(), [d = impl_.get(), id] {
        d->push(makeEvent(Event::Kind::Control, id, Event::fieldFinished));
    });
    impl_->place(id, field, geometry);
}

void Window::addTrackbar(int id, Rect geometry, int minimum, int maximum)
{
    auto* slider = new QSlider(Qt::Horizontal, impl_->parent);
    slider->setRange(minimum, maximum);
    slider->setPageStep(std::max(1, (maximum - minimum) / 20));
    QObject::connect(slider, &QSlider::valueChanged, impl_.get(),
        [d = impl_.get(), id] { d->push(makeEvent(Event::Kind::Control, id)); });
    impl_->place(id, slider, geometry);
}

void Window::addSpinField(int id, Rect geometry, int minimum, int maximum)
{
    auto* spin = new QSpinBox(impl_->parent);
    spin->setRange(minimum, maximum);
    // Fifty pixels hold five digits or the arrows, not both; the trackbar beside every spin
    // field does what the arrows would, and the arrow keys and the wheel still step the value.
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin->setAccelerated(true);
    QObject::connect(spin, &QSpinBox::valueChanged, impl_.get(),
        [d = impl_.get(), id] { d->push(makeEvent(Event::Kind::Control, id)); });
    impl_->place(id, spin, geometry);
}

void Window::addProgressBar(int id, Rect geometry, int minimum, int maximum)
{
    auto* bar = new QProgressBar(impl_->parent);
    bar->setRange(minimum, maximum);
    // The bar's own text would be a percentage, and only while it has a value; the message is
    // a label over it, so it is shown whatever the bar's value and style.
    bar->setTextVisible(false);
    impl_->place(id, bar, geometry);
    auto* message = new QLabel(bar);
    message->setGeometry(bar->rect());
    message->setAlignment(Qt::AlignCenter);
    message->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Window::beginContainer(Rect geometry, int id)
{
    auto* frame = new QFrame(impl_->parent);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    impl_->place(id, frame, geometry);
    impl_->parent = frame;
}

void Window::endContainer()
{
    impl_->parent = impl_->central;
}

void Window::addImageControl(int id, Rect geometry, const Image& image)
{
    auto* control
        = new ImageControl(impl_->parent, [d = impl_.get(), id](int type, QPoint at, bool shift) {
              Event event = makeEvent(Event::Kind::Control, id, type);
              event.shift = shift;
              const QPoint inArea = d->control(id)->mapTo(d->central, at);
              event.pointer = { inArea.x(), inArea.y() };
              d->push(std::move(event));
          });
    impl_->place(id, control, geometry);
    control->setImage(image);
}

void Window::addMenu(std::string_view title, const std::vector<MenuItem>& items)
{
    QMenu* menu = impl_->window.menuBar()->addMenu(toQt(title));
    QActionGroup* choices = nullptr;
    for (const MenuItem& item : items) {
        if (item.number == MenuItem::separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(toQt(item.text));
        impl_->menuItems[item.number] = action;
        if (item.kind == MenuItem::Kind::Choice) {
            if (choices == nullptr) {
                choices = new QActionGroup(menu); // exclusive
            }
            action->setCheckable(true);
            action->setChecked(item.checked);
            choices->addAction(action);
        } else if (item.kind == MenuItem::Kind::Toggle) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (!item.shortcut.empty()) {
            action->setShortcut(QKeySequence(toQt(item.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        QObject::connect(
            action, &QAction::triggered, impl_.get(), [d = impl_.get(), number = item.number] {
                d->push(makeEvent(Event::Kind::Menu, number));
            });
    }
}

bool Window::menuChecked(int number) const
{
    const auto found = impl_->menuItems.find(number);
    if (found == impl_->menuItems.end()) {
        programmingError("no menu item numbered " + std::to_string(number));
    }
    return found->second->isChecked();
}

void Window::setMenuChecked(int number, bool checked)
{
    const auto found = impl_->menuItems.find(number);
    if (found == impl_->menuItems.end()) {
        programmingError("no menu item numbered " + std::to_string(number));
    }
    found->second->setChecked(checked); // a group clears the others; triggered is user-only
}

void Window::setToolTip(int id, std::string_view text)
{
    QWidget* widget = impl_->control(id);
    widget->setProperty(programToolTip, toQt(text));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        fitToWidth(*label);
    } else {
        showToolTip(*widget, false);
    }
}

void Window::acceptDroppedFiles(const std::vector<std::string>& extensions)
{
    impl_->window.dropExtensions.clear();
    for (const std::string& extension : extensions) {
        impl_->window.dropExtensions.append(toQt(extension).toLower());
    }
    impl_->window.setAcceptDrops(true);
}

void Window::tickEvery(std::chrono::milliseconds interval)
{
    if (interval.count() <= 0) {
        impl_->ticker.stop();
    } else if (!impl_->ticker.isActive() || impl_->ticker.interval() != interval.count()) {
        impl_->ticker.start(int(interval.count()));
    }
}

bool Window::ticking() const
{
    return impl_->ticker.isActive();
}

int Window::value(int id) const
{
    QWidget* widget = impl_->control(id);
    if (auto* slider = qobject_cast<QSlider*>(widget)) {
        return slider->value();
    }
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        return spin->value();
    }
    if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        return bar->value();
    }
    noSuchPart(id, "value");
}

void Window::setValue(int id, int value)
{
    QWidget* widget = impl_->control(id);
    const QSignalBlocker quiet(widget);
    if (auto* slider = qobject_cast<QSlider*>(widget)) {
        slider->setValue(value);
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        spin->setValue(value);
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        if (bar->value() != value) {
            if (value < bar->minimum()) {
                bar->reset(); // below the range: an empty bar
            } else {
                bar->setValue(value);
            }
            bar->repaint(); // a long export blocks the loop; show progress now
        }
    } else {
        noSuchPart(id, "value");
    }
}

std::string Window::text(int id) const
{
    QWidget* widget = impl_->control(id);
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        return field->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        return button->text().toStdString();
    }
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        return spin->text().toStdString();
    }
    if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        return bar->findChild<QLabel*>()->text().toStdString();
    }
    noSuchPart(id, "text");
}

void Window::setText(int id, std::string_view text)
{
    QWidget* widget = impl_->control(id);
    const QSignalBlocker quiet(widget);
    if (auto* field = qobject_cast<QLineEdit*>(widget)) {
        field->setText(toQt(text));
        field->setCursorPosition(0); // show the beginning of a text longer than the field
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(toQt(text));
        fitToWidth(*label);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(toQt(text));
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        auto* message = bar->findChild<QLabel*>();
        message->setText(toQt(text));
        fitToWidth(*message);
        message->repaint(); // shown at once, also in the middle of a long task
    } else {
        noSuchPart(id, "text to set");
    }
}

std::string Window::toolTip(int id) const
{
    return impl_->control(id)->toolTip().toStdString();
}

void Window::showImage(int id, const Image& image)
{
    auto* control = dynamic_cast<ImageControl*>(impl_->control(id));
    if (control == nullptr) {
        noSuchPart(id, "image");
    }
    control->setImage(image);
    control->repaint();
}

void Window::repaintImage(int id, Rect area)
{
    impl_->control(id)->repaint(area.x, area.y, area.width, area.height);
}

Rect Window::controlGeometry(int id) const
{
    const QWidget* widget = impl_->control(id);
    const QPoint topLeft = widget->mapTo(impl_->central, QPoint(0, 0));
    return { topLeft.x(), topLeft.y(), widget->width(), widget->height() };
}

void Window::show()
{
    QWindow* handle = impl_->window.windowHandle();
    const QScreen* screen = handle != nullptr ? handle->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect available = screen->availableGeometry();
        const QRect frame = impl_->window.frameGeometry();
        impl_->window.move(available.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    impl_->window.show();
    impl_->installFilter();
}

bool Window::pollEvent(Event& event)
{
    if (impl_->queue.empty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (impl_->queue.empty()) {
        return false;
    }
    event = std::move(impl_->queue.front());
    impl_->queue.pop_front();
    return true;
}

Event Window::waitEvent()
{
    while (impl_->queue.empty()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Objects released with deleteLater (audio, dialogs) would otherwise wait for a nested
        // event loop that this program never runs.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Event event = std::move(impl_->queue.front());
    impl_->queue.pop_front();
    return event;
}

void Window::setBusy(bool busy)
{
    impl_->busy = busy;
    if (busy) {
        impl_->window.setCursor(Qt::BusyCursor);
    } else {
        impl_->window.unsetCursor();
    }
}

Point Window::pointer() const
{
    return impl_->lastPointer;
}

bool Window::leftButtonDown() const
{
    return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
}

void* Window::nativeHandle() const
{
    return &impl_->window;
}

void* Window::nativeControl(int id) const
{
    return impl_->control(id);
}

} // namespace tt
