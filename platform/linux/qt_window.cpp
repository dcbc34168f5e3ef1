// QtWindow: a widget tree plus the persistent surface that every thread may draw on.
#include <QDialog>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "platform/linux/qt_canvas.h"
#include "platform/linux/qt_keys.h"
#include "platform/linux/qt_ui.h"

namespace orvane::platform::qt {

// The client area: shows the surface and turns Qt's input events into the procedure's calls.
class SurfaceWidget final : public QWidget {
public:
    SurfaceWidget(QtWindow& win, QtUi& ui, QWidget* parent) : QWidget(parent), win_(win), ui_(ui) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        if (!win_.alive()) return;
        win_.setInPaintEvent(true);
        win_.paintIfPending();
        win_.setInPaintEvent(false);
        QPainter p(this);
        win_.blitSurface(p, e->rect());
    }
    void keyPressEvent(QKeyEvent* e) override {
        const KeyStroke k = strokeOf(e);
        if (k.virtualKey != 0 && live()) deliverKey(*win_.handler(), win_, true, k.virtualKey, k.systemKey, e->isAutoRepeat());
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        // Auto-repeat produces only further key-downs: its synthetic releases are not releases.
        if (e->isAutoRepeat()) return;
        const KeyStroke k = strokeOf(e);
        if (k.virtualKey != 0 && live()) deliverKey(*win_.handler(), win_, false, k.virtualKey, k.systemKey, false);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (!live()) return;
        Point pt{e->position().toPoint().x(), e->position().toPoint().y()};
        if (e->button() == Qt::LeftButton) {
            if (win_.handler()->onHitTest(win_, pt) == HitTest::Caption) {
                startDrag(e);
                return;
            }
            win_.handler()->onLeftButtonDown(win_, pt);
        } else if (e->button() == Qt::RightButton) {
            if (win_.handler()->onHitTest(win_, pt) == HitTest::Caption) return;
            win_.handler()->onRightButtonDown(win_, pt);
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_) {
            QWidget* top = window();
            top->move((e->globalPosition().toPoint() - dragOffset_));
            return;
        }
        if (!live()) return;
        Point pt{e->position().toPoint().x(), e->position().toPoint().y()};
        // Over the drag band the window answers as its caption: no mouse-move reaches it.
        if (win_.handler()->onHitTest(win_, pt) == HitTest::Caption) return;
        win_.handler()->onMouseMove(win_, pt);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (dragging_) {
            dragging_ = false;
            return;
        }
        if (!live() || e->button() != Qt::LeftButton) return;
        Point pt{e->position().toPoint().x(), e->position().toPoint().y()};
        win_.handler()->onLeftButtonUp(win_, pt);
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (live() && win_.handler()->onCloseRequest(win_)) ui_.postDestroy(&win_);
    }

private:
    bool live() const { return win_.alive() && win_.handler() != nullptr; }

    static KeyStroke strokeOf(QKeyEvent* e) {
        return keyStrokeFor(e->key(), static_cast<unsigned>(e->modifiers().toInt()), e->nativeScanCode());
    }

    void startDrag(QMouseEvent* e) {
        QWidget* top = window();
        if (top->windowHandle() && top->windowHandle()->startSystemMove()) return;
        dragging_ = true;
        dragOffset_ = e->globalPosition().toPoint() - top->pos();
    }

    QtWindow& win_;
    QtUi& ui_;
    bool dragging_ = false;
    QPoint dragOffset_;
};

namespace {

// The frame of a window with a menu bar: forwards the close box.
class FrameWidget final : public QWidget {
public:
    FrameWidget(QtWindow& win, QtUi& ui, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), win_(win), ui_(ui) {}

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (win_.alive() && win_.handler() && win_.handler()->onCloseRequest(win_)) ui_.postDestroy(&win_);
    }

private:
    QtWindow& win_;
    QtUi& ui_;
};

QRegion roundedRegion(int w, int h, int ellipse) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, w, h), ellipse / 2.0, ellipse / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace

QtWindow::QtWindow(QtUi& ui, const WindowSpec& spec, WindowHandler* handler)
    : ui_(ui), handler_(handler), parent_(spec.parent), owner_(spec.owner),
      width_(std::max(1, spec.width)), height_(std::max(1, spec.height)), background_(spec.background) {
    surfaceImage_ = QImage(width_, height_, QImage::Format_RGB32);
    surfaceImage_.fill(toQColor(spec.background));
    shownImage_ = surfaceImage_.copy();

    QtWindow* parent = ui_.live(spec.parent);
    QtWindow* owner = ui_.live(spec.owner);
    if (parent) {
        surface_ = new SurfaceWidget(*this, ui_, parent->surfaceWidget());
        surface_->setGeometry(spec.x, spec.y, width_, height_);
        top_ = surface_;
    } else {
        QWidget* ownerWidget = owner ? owner->topWidget() : nullptr;
        Qt::WindowFlags flags = Qt::Window;
        if (spec.borderless) flags |= Qt::FramelessWindowHint;
        if (spec.noMaximize && !spec.borderless) {
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        }
        if (!spec.menus.empty()) {
            auto* frame = new FrameWidget(*this, ui_, ownerWidget, flags);
            auto* layout = new QVBoxLayout(frame);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
            menuBar_ = new QMenuBar(frame);
            for (const Menu& m : spec.menus) {
                QMenu* menu = menuBar_->addMenu(QString::fromStdString(m.title));
                for (const MenuItem& item : m.items) {
                    QAction* a = menu->addAction(QString::fromStdString(item.text));
                    int id = item.id;
                    QObject::connect(a, &QAction::triggered, frame, [this, id] {
                        if (alive_ && handler_) handler_->onCommand(*this, id);
                    });
                }
            }
            layout->setMenuBar(menuBar_);
            surface_ = new SurfaceWidget(*this, ui_, frame);
            surface_->setFixedSize(width_, height_);
            layout->addWidget(surface_);
            top_ = frame;
        } else {
            surface_ = new SurfaceWidget(*this, ui_, ownerWidget);
            surface_->setWindowFlags(flags);
            top_ = surface_;
        }
        top_->setWindowTitle(QString::fromStdString(spec.title));
        if (!spec.resizable || spec.borderless) {
            surface_->setFixedSize(width_, height_);
        } else {
            surface_->resize(width_, height_);
        }
        top_->move(spec.x, spec.y);
        if (spec.borderless && spec.cornerEllipse > 0) {
            top_->setMask(roundedRegion(width_, height_, spec.cornerEllipse));
        }
        surface_->setFocusPolicy(Qt::StrongFocus);
    }
    if (spec.visible) top_->show();
}

QtWindow::~QtWindow() = default;

QWidget* QtWindow::clientWidget() const { return surface_; }

std::unique_ptr<Canvas> QtWindow::draw() {
    std::unique_lock<std::mutex> lock(surfaceLock_);
    return std::make_unique<QtCanvas>(surfaceImage_, std::move(lock),
                                      [this](const QRect& area) { requestPresent(area); });
}

void QtWindow::requestPresent(const QRect& area) {
    if (destroyed_.load()) return;
    {
        std::lock_guard<std::mutex> lock(dirtyLock_);
        dirty_ |= area;
    }
    if (presentQueued_.exchange(true)) return;
    if (ui_.onUiThread()) {
        presentNow();
    } else {
        ui_.post([this] { presentNow(); });
    }
}

void QtWindow::presentNow() {
    presentQueued_.store(false);
    QRect area;
    {
        std::lock_guard<std::mutex> lock(dirtyLock_);
        area = dirty_;
        dirty_ = QRect();
    }
    if (!alive_ || !surface_ || area.isEmpty()) return;
    QRect changed;
    {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        area &= surfaceImage_.rect();
        // Most rows of a redrawn panel are as they were: a row compare skips them, and a row
        // that differs is copied from its first to its last differing pixel.
        const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto* from = reinterpret_cast<const std::uint32_t*>(surfaceImage_.constScanLine(y));
            auto* to = reinterpret_cast<std::uint32_t*>(shownImage_.scanLine(y));
            if (std::memcmp(from + area.left(), to + area.left(), rowBytes) == 0) continue;
            int first = area.left(), last = area.right();
            while (from[first] == to[first]) ++first;
            while (from[last] == to[last]) --last;
            std::memcpy(to + first, from + first, static_cast<std::size_t>(last - first + 1) * 4);
            changed |= QRect(first, y, last - first + 1, 1);
        }
    }
    if (changed.isEmpty()) return;
    // Shown at once: a panel drawn by a timer reaches the screen within its tick without a
    // posted repaint waking the event loop once more. Inside a paint of this widget, the
    // widget is repainted after it.
    if (inPaintEvent_) {
        surface_->update(changed);
    } else {
        surface_->repaint(changed);
    }
}

void QtWindow::invalidate() {
    paintPending_.store(true);
    // The window procedure paints later on the UI thread, as a posted paint message does: a
    // present alone would not call it when the surface has not changed yet.
    ui_.post([this] {
        if (!alive_) return;
        paintIfPending();
        requestPresent(QRect(0, 0, width_, height_));
    });
}

void QtWindow::paintIfPending() {
    if (paintPending_.exchange(false) && alive_ && handler_) handler_->onPaint(*this);
}

void QtWindow::blitSurface(QPainter& p, const QRect& area) {
    if (!shownImage_.isNull()) p.drawImage(area, shownImage_, area);
}

Rect QtWindow::screenRect() const {
    Rect r;
    ui_.invoke([&] {
        if (!alive_) return;
        QRect g = top_->isWindow() ? top_->frameGeometry()
                                   : QRect(top_->mapToGlobal(QPoint(0, 0)), top_->size());
        r = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    });
    return r;
}

Rect QtWindow::workArea() const {
    Rect r{0, 0, 1024, 768};
    ui_.invoke([&] {
        // The screen that holds most of the window, else the one the window belongs to.
        QScreen* s = nullptr;
        if (alive_) {
            const QRect g = top_->window()->frameGeometry();
            long long most = 0;
            for (QScreen* candidate : QGuiApplication::screens()) {
                const QRect in = candidate->geometry().intersected(g);
                const long long area = static_cast<long long>(in.width()) * in.height();
                if (!in.isEmpty() && area > most) {
                    most = area;
                    s = candidate;
                }
            }
            if (s == nullptr) s = top_->window()->screen();
        }
        if (s == nullptr) s = QGuiApplication::primaryScreen();
        if (s == nullptr) return;
        const QRect a = s->availableGeometry();
        r = {a.left(), a.top(), a.left() + a.width(), a.top() + a.height()};
    });
    return r;
}

void QtWindow::move(int x, int y) {
    ui_.invoke([&] {
        if (alive_) top_->move(x, y);
    });
}

void QtWindow::show() {
    ui_.invoke([&] {
        if (!alive_) return;
        top_->show();
        if (top_->isWindow()) top_->activateWindow();  // a shown window takes the keyboard
        // Showing a window paints it at once, before anything else is drawn on it.
        paintIfPending();
        requestPresent(QRect(0, 0, width_, height_));
    });
}

void QtWindow::setEnabled(bool enabled) {
    ui_.invoke([&] {
        if (alive_) top_->setEnabled(enabled);
    });
}

void QtWindow::setForeground() {
    ui_.invoke([&] {
        if (!alive_) return;
        top_->raise();
        top_->activateWindow();
    });
}

bool QtWindow::isForeground() const {
    bool fg = false;
    ui_.invoke([&] { fg = alive_ && top_->isActiveWindow(); });
    return fg;
}

void QtWindow::setScrollRanges(int horizontalMax, int verticalMax) {
    ui_.invoke([&] {
        if (!alive_) return;
        for (QWidget* w : scrollBars_) delete w;
        scrollBars_.clear();
        const int thick = 16;
        scrollBarRight_.store(verticalMax > 0 ? thick : 0);
        scrollBarBottom_.store(horizontalMax > 0 ? thick : 0);
        if (verticalMax > 0) {
            auto* bar = new QScrollBar(Qt::Vertical, surface_);
            bar->setRange(0, verticalMax);
            bar->setGeometry(width_ - thick, 0, thick, height_ - (horizontalMax > 0 ? thick : 0));
            bar->show();
            scrollBars_.push_back(bar);
        }
        if (horizontalMax > 0) {
            auto* bar = new QScrollBar(Qt::Horizontal, surface_);
            bar->setRange(0, horizontalMax);
            bar->setGeometry(0, height_ - thick, width_ - (verticalMax > 0 ? thick : 0), thick);
            bar->show();
            scrollBars_.push_back(bar);
        }
    });
}

void QtWindow::addControl(const ControlSpec& c) {
    ui_.invoke([&] {
        if (!alive_) return;
        QString text = QString::fromStdString(c.text);
        QWidget* w = nullptr;
        int id = c.id;
        switch (c.kind) {
            case ControlKind::StaticText: {
                auto* label = new QLabel(text, surface_);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                w = label;
                break;
            }
            case ControlKind::RadioButton: {
                auto* radio = new QRadioButton(text, surface_);
                radio->setChecked(c.checked);
                QObject::connect(radio, &QRadioButton::clicked, radio, [this, id] {
                    if (alive_ && handler_) handler_->onCommand(*this, id);
                });
                w = radio;
                break;
            }
            case ControlKind::PushButton: {
                auto* button = new QPushButton(text, surface_);
                QObject::connect(button, &QPushButton::clicked, button, [this, id] {
                    if (alive_ && handler_) handler_->onCommand(*this, id);
                });
                w = button;
                break;
            }
        }
        w->setGeometry(c.x, c.y, c.width, c.height);
        w->show();
        controls_.push_back(w);
    });
}

void QtWindow::clearControls() {
    ui_.invoke([&] {
        for (QWidget* w : controls_) w->deleteLater();
        controls_.clear();
    });
}

void QtWindow::removeLocalLoop(QEventLoop* loop) {
    localLoops_.erase(std::remove(localLoops_.begin(), localLoops_.end(), loop), localLoops_.end());
}

void QtWindow::teardown() {
    alive_ = false;
    for (QEventLoop* loop : localLoops_) loop->quit();
    localLoops_.clear();
    controls_.clear();
    scrollBars_.clear();
    scrollBarRight_.store(0);
    scrollBarBottom_.store(0);
    if (top_) {
        // Boxes and dialogs the window owns end with it (their waiting callers return), as
        // owned windows do; the widget itself goes once the event loop is back.
        for (QDialog* d : top_->findChildren<QDialog*>()) d->done(QDialog::Rejected);
        top_->hide();
        top_->deleteLater();
    }
    top_ = nullptr;
    surface_ = nullptr;
    menuBar_ = nullptr;
    {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        surfaceImage_ = QImage();
    }
    shownImage_ = QImage();
    destroyed_.store(true);
}

// ---- Geometry changes and synchronous repaint (the unfolding secondary windows) ------------

void QtWindow::resizeSurface(int width, int height) {
    width = std::max(1, width);
    height = std::max(1, height);
    if (width == width_ && height == height_) return;
    {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        QImage grown(width, height, QImage::Format_RGB32);
        grown.fill(toQColor(background_));
        {
            QPainter p(&grown);
            p.drawImage(0, 0, surfaceImage_);
        }
        surfaceImage_ = grown;
        shownImage_ = grown.copy();
    }
    width_ = width;
    height_ = height;
    paintPending_.store(true);
}

void QtWindow::setGeometry(int x, int y, int width, int height) {
    ui_.invoke([&] {
        if (!alive_ || !top_->isWindow()) return;
        // The design gives outer sizes: the client gets what the frame leaves of them.
        const QRect frame = top_->frameGeometry();
        const QRect client = top_->geometry();
        const int clientW = width - (frame.width() - client.width());
        const int clientH = height - (frame.height() - client.height());
        resizeSurface(clientW, clientH);
        if (top_ == surface_) {
            surface_->setFixedSize(width_, height_);
        } else {
            surface_->setFixedSize(width_, height_);
            top_->adjustSize();
        }
        top_->move(x, y);
        surface_->update();
    });
}

void QtWindow::updateNow() {
    ui_.invoke([&] {
        if (!alive_) return;
        paintIfPending();
        presentNow();
        if (surface_) surface_->repaint();
    });
}

}  // namespace orvane::platform::qt
