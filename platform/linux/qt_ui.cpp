// QtUi: windows, timers, dialogs and the UI thread's loop on Qt 6 Widgets.
#include "platform/linux/qt_ui.h"

#include <QApplication>
#include <QColorDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/qt_canvas.h"
#include "platform/ui_invoke.h"

namespace orvane::platform::qt {

namespace {

// The program's font faces, mapped to metric-compatible ones where Debian has them.
void installFontSubstitutions() {
    QFont::insertSubstitution("Arial", "Liberation Sans");
    QFont::insertSubstitution("Times New Roman", "Liberation Serif");
    QFont::insertSubstitution("Courier New", "Liberation Mono");
    QFont::insertSubstitution("Impact", "Liberation Sans Narrow");
    QFont::insertSubstitution("Comic Sans MS", "Comic Neue");
}

// Every word of the program is French: the toolkit's own dialogs (colour and file choosers,
// the message boxes' buttons) speak it too, whatever the desktop's language. Without the
// toolkit's French catalogue (qt6-translations-l10n) they stay in English.
void installFrenchTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

QMessageBox::Icon toQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::Warning: return QMessageBox::Warning;
        case MessageIcon::Question: return QMessageBox::Question;
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// SIGTERM and SIGINT become a byte on this pipe, which the UI thread reads: the handler itself
// may do nothing else.
int g_signalPipe[2] = {-1, -1};

void onTerminateSignal(int) {
    const char byte = 1;
    if (g_signalPipe[1] >= 0) (void)!::write(g_signalPipe[1], &byte, 1);
}

// One piece of work handed to the UI thread by invoke(). A caller that gives up (the loop has
// ended) only does so while the work has not started, so the work never outlives its caller.
}  // namespace

QtUi::QtUi(int& argc, char** argv) {
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();
    installFrenchTranslation(*app_);
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action {};
        action.sa_handler = onTerminateSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    if (g_signalPipe[0] >= 0) {
        signalNotifier_ = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app_.get());
        QObject::connect(signalNotifier_, &QSocketNotifier::activated, app_.get(), [this] {
            char drain[16];
            while (::read(g_signalPipe[0], drain, sizeof drain) > 0) {
            }
            if (terminate_) {
                terminate_();
            } else {
                quit(0);
            }
        });
    }
}

void QtUi::setTerminateHandler(std::function<void()> handler) {
    invoke([&] { terminate_ = std::move(handler); });
}

QtUi::~QtUi() {
    delete signalNotifier_;
    signalNotifier_ = nullptr;
    for (auto& [id, timer] : timers_) delete timer;
    timers_.clear();
    for (QtWindow* w : windows_) {
        if (w->alive()) w->teardown();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QtWindow* w : windows_) delete w;
    windows_.clear();
    app_.reset();
}

bool QtUi::onUiThread() const { return QThread::currentThread() == app_->thread(); }

QtWindow* QtUi::live(Window* w) const {
    auto* q = static_cast<QtWindow*>(w);
    if (q == nullptr || windows_.count(q) == 0 || !q->alive()) return nullptr;
    return q;
}

void QtUi::expectLoop() {
    if (onUiThread()) loopEnded_.store(false);
}

Window* QtUi::createWindow(const WindowSpec& spec, WindowHandler* handler) {
    expectLoop();
    Window* made = nullptr;
    invoke([&] {
        auto* w = new QtWindow(*this, spec, handler);
        windows_.insert(w);
        if (handler) handler->onCreate(*w);
        made = w;
    });
    return made;
}

void QtUi::destroyWindow(Window* target) {
    invoke([&] {
        QtWindow* w = live(target);
        if (w == nullptr || w->destroying_) return;
        w->destroying_ = true;
        if (w->handler()) w->handler()->onDestroy(*w);
        // Children and owned windows go with their window.
        std::vector<QtWindow*> dependants;
        for (QtWindow* other : windows_) {
            if (other != w && other->alive() &&
                (other->parentWindow() == target || other->ownerWindow() == target)) {
                dependants.push_back(other);
            }
        }
        for (QtWindow* d : dependants) destroyWindow(d);
        w->teardown();
        notifyDestroyed();
    });
}

void QtUi::postDestroy(Window* w) {
    post([this, w] { destroyWindow(w); });
}

int QtUi::messageBox(Window* owner, std::string_view textUtf8, std::string_view captionUtf8,
                     MessageIcon icon) {
    if (const auto answer = answerer_.answer(textUtf8, captionUtf8)) return *answer;
    int result = 0;
    invoke([&] {
        QtWindow* o = live(owner);
        // On the heap: when another thread destroys the owner while the box is up, the box goes
        // with it (as an owned window does) and exec returns; a box on this stack would be
        // deleted by its parent.
        QPointer<QMessageBox> box = new QMessageBox(
            toQtIcon(icon), QString::fromUtf8(captionUtf8.data(), captionUtf8.size()),
            QString::fromUtf8(textUtf8.data(), textUtf8.size()), QMessageBox::Ok, o ? o->topWidget() : nullptr);
        box->exec();
        delete box.data();
        result = 1;
    });
    return result;
}

void QtUi::aboutBox(Window* owner, std::string_view textUtf8) {
    if (answerer_.answer(textUtf8, "about")) return;
    invoke([&] {
        QtWindow* o = live(owner);
        QMessageBox::about(o ? o->topWidget() : nullptr, QStringLiteral("Orvane"),
                           QString::fromUtf8(textUtf8.data(), textUtf8.size()));
    });
}

// The toolkit reads a filter's patterns from the last parentheses of its label, separated by
// spaces, and shows the label with them. The caller's label already lists the patterns (as
// the Windows dialog shows it), so the patterns are appended in the toolkit's form and hidden:
// the chooser shows the caller's label as given, each pattern once.
QString fileFilterFor(std::string_view filterNameUtf8, std::string_view patterns) {
    QString pat = QString::fromUtf8(patterns.data(), patterns.size());
    pat.replace(';', ' ');
    return QString::fromUtf8(filterNameUtf8.data(), filterNameUtf8.size()) + " (" + pat.simplified() + ")";
}

std::string QtUi::chooseOpenFile(std::string_view filterNameUtf8, std::string_view patterns) {
    std::string chosen;
    invoke([&] {
        chosen = QFileDialog::getOpenFileName(nullptr, QString(), QString(), fileFilterFor(filterNameUtf8, patterns),
                                              nullptr, QFileDialog::HideNameFilterDetails)
                     .toStdString();
    });
    return chosen;
}

bool QtUi::chooseColour(Window* owner, Colour& colour) {
    bool ok = false;
    invoke([&] {
        QtWindow* o = live(owner);
        QPointer<QColorDialog> dialog = new QColorDialog(toQColor(colour), o ? o->topWidget() : nullptr);
        const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
        const QColor c = accepted ? dialog->selectedColor() : QColor();
        delete dialog.data();
        if (c.isValid()) {
            colour = rgb(c.red(), c.green(), c.blue());
            ok = true;
        }
    });
    return ok;
}

bool QtUi::chooseColour(Window* owner, Colour& colour, Colour (&custom)[16]) {
    bool ok = false;
    invoke([&] {
        for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, toQColor(custom[i]));
        ok = chooseColour(owner, colour);
        for (int i = 0; i < 16; ++i) {
            const QColor c = QColorDialog::customColor(i);
            custom[i] = rgb(c.red(), c.green(), c.blue());
        }
    });
    return ok;
}

int QtUi::startTimer(int periodMs, std::function<void()> tick) {
    if (periodMs < 0 || !tick) return 0;
    expectLoop();
    int id = 0;
    invoke([&] {
        auto* timer = new QTimer(app_.get());
        timer->setInterval(periodMs);
        QObject::connect(timer, &QTimer::timeout, timer, [tick = std::move(tick)] { tick(); });
        timer->start();
        id = nextTimerId_++;
        timers_[id] = timer;
    });
    return id;
}

void QtUi::killTimer(int id) {
    invoke([&] {
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        it->second->stop();
        it->second->deleteLater();  // may be inside its own tick
        timers_.erase(it);
    });
}

// Work from another thread waits until a loop of the UI thread runs it: the main loop, or any
// local loop such as start-up's message boxes. Only once the loop has ended, with nothing
// made since that a loop would serve, does a caller give up instead of waiting for ever (the
// shutdown joins threads that may be here).
void QtUi::invoke(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return;
    }
    postAndWait([this](std::function<void()> w) { post(std::move(w)); }, work, loopEnded_);
}

void QtUi::post(std::function<void()> work) {
    QMetaObject::invokeMethod(app_.get(), std::move(work), Qt::QueuedConnection);
}

void QtUi::notifyDestroyed() {
    std::lock_guard<std::mutex> lock(waitLock_);
    waitCv_.notify_all();
}

void QtUi::runUntilDestroyed(Window* target) {
    if (target == nullptr) return;
    if (onUiThread()) {
        QtWindow* w = live(target);
        if (w == nullptr) return;
        QEventLoop loop;
        w->addLocalLoop(&loop);
        loop.exec();
        if (w->alive()) w->removeLocalLoop(&loop);
        return;
    }
    auto* w = static_cast<QtWindow*>(target);
    std::unique_lock<std::mutex> lock(waitLock_);
    waitCv_.wait_for(lock, std::chrono::hours(24 * 365), [&] { return w->destroyed_.load() || loopEnded_.load(); });
}

int QtUi::run() {
    // A quit asked for before the loop ends it at once (and is used up, so a later run works).
    if (quitRequested_.exchange(false)) return quitCode_.load();
    loopEnded_.store(false);
    loopRunning_.store(true);
    int rc = app_->exec();
    loopRunning_.store(false);
    {
        std::lock_guard<std::mutex> lock(waitLock_);
        loopEnded_.store(true);
        waitCv_.notify_all();
    }
    return quitRequested_.exchange(false) ? quitCode_.load() : rc;
}

void QtUi::quit(int code) {
    if (quitRequested_.exchange(true)) return;
    quitCode_.store(code);
    // Before the loop runs, run() returns at once; a quit must not end start-up's own dialogs.
    if (!loopRunning_.load()) return;
    if (onUiThread()) {
        QCoreApplication::exit(code);
    } else {
        post([code] { QCoreApplication::exit(code); });
    }
}

int QtUi::screenWidth() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 1024;
}

int QtUi::screenHeight() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 768;
}

// The background the desktop's style gives menus.
Colour QtUi::menuColour() const {
    const QColor m = QApplication::palette("QMenu").color(QPalette::Window);
    return rgb(m.red(), m.green(), m.blue());
}

}  // namespace orvane::platform::qt

namespace orvane::platform {

std::unique_ptr<Ui> createHostUi(int& argc, char** argv) {
    // With no display at all, run on the off-screen platform rather than abort.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    auto ui = std::make_unique<qt::QtUi>(argc, argv);
    ui->answerer().answerFromEnvironment();
    return ui;
}

}  // namespace orvane::platform
