// Win32Ui: window classes, window procedures, timers, dialogs and the UI thread's loop.
#include "platform/win32/win32_ui.h"

#include <commdlg.h>
#include <objbase.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/changed_area.h"
#include "platform/win32/resources.h"
#include "platform/ui_invoke.h"
#include "platform/win32/wide.h"

namespace orvane::platform::win32 {

namespace {

constexpr UINT kRunWork = WM_APP + 1;  // lParam: a std::function<void()>* to run and delete
constexpr wchar_t kMessageClass[] = L"OrvaneMessageWindow";
constexpr wchar_t kGenericClass[] = L"OrvaneWndClass";

// The class of each window of the programs, by the kind the portable code gives it.
const wchar_t* classNameOf(WindowKind kind) {
    switch (kind) {
        case WindowKind::Main: return L"X";
        case WindowKind::LeftMeter: return L"VuMeterLeftClass";
        case WindowKind::RightMeter: return L"VuMeterRightClass";
        case WindowKind::GroupList: return L"GroupWndClass";
        case WindowKind::Network: return L"NetworkWndClass";
        case WindowKind::Parameters: return L"ParamWndClass";
        case WindowKind::InputDevice: return L"InputDeviceWndClass";
        case WindowKind::Canvas: return L"CanvasWndClass";
        case WindowKind::SupervisorNotice: return L"CustomDialog";
        case WindowKind::Parlo: return L"SyntheVocalWindow";
        case WindowKind::Other: break;
    }
    return kGenericClass;
}

Win32Ui* g_ui = nullptr;  // for the console control handler, which has no context argument

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->procedure(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK messageWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* ui = reinterpret_cast<Win32Ui*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (ui == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    return ui->messageProcedure(hwnd, message, wParam, lParam);
}

BOOL WINAPI consoleControl(DWORD event) {
    if (g_ui == nullptr) return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            g_ui->requestTerminate();
            return TRUE;
        default:
            return FALSE;
    }
}

// One piece of work handed to the UI thread by invoke(). A caller that gives up (the loop has
// ended) only does so while the work has not started, so the work never outlives its caller.
UINT iconFlags(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return MB_ICONERROR;
        case MessageIcon::Warning: return MB_ICONWARNING;
        case MessageIcon::Question: return MB_ICONQUESTION;
        case MessageIcon::Information: return MB_ICONINFORMATION;
        case MessageIcon::None: break;
    }
    return 0;
}

INT_PTR CALLBACK aboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dialog, IDC_ORVANE_ABOUT_TEXT, reinterpret_cast<const wchar_t*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

RECT outerRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

}  // namespace

// ---- Win32Window ---------------------------------------------------------------------------

Win32Window::Win32Window(Win32Ui& ui, const WindowSpec& spec, WindowHandler* handler)
    : ui_(ui), handler_(handler), parent_(spec.parent), owner_(spec.owner), background_(spec.background) {}

bool Win32Window::create(const WindowSpec& spec) {
    Win32Window* parent = ui_.live(spec.parent);
    Win32Window* owner = ui_.live(spec.owner);
    const wchar_t* className = ui_.classFor(spec);
    DWORD style = WS_CLIPCHILDREN;
    if (parent) {
        style |= WS_CHILD | WS_CLIPSIBLINGS;
    } else if (spec.borderless) {
        style |= WS_POPUP | WS_SYSMENU;
    } else if (spec.noMaximize) {
        style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    } else if (spec.resizable) {
        style |= WS_OVERLAPPEDWINDOW;
    } else {
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    }
    // The menu bar: the canvas class brings its own from the resources; any other window gets
    // one made from the description.
    HMENU menu = nullptr;
    if (!parent && !spec.menus.empty()) {
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        const bool classMenu = GetClassInfoExW(ui_.instance(), className, &info) && info.lpszMenuName != nullptr;
        if (!classMenu) {
            menu = CreateMenu();
            for (const Menu& m : spec.menus) {
                HMENU popup = CreatePopupMenu();
                for (const MenuItem& item : m.items) {
                    AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(item.id), widen(item.text).c_str());
                }
                AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), widen(m.title).c_str());
            }
        }
    }
    const std::wstring title = widen(spec.title);
    HWND hwnd = CreateWindowExW(0, className, title.c_str(), style, spec.x, spec.y, std::max(1, spec.width),
                                std::max(1, spec.height), parent ? parent->hwnd() : (owner ? owner->hwnd() : nullptr),
                                menu, ui_.instance(), this);
    if (hwnd == nullptr) {
        if (menu) DestroyMenu(menu);
        return false;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    resizeSurface(client.right - client.left, client.bottom - client.top);
    if (spec.borderless && spec.cornerEllipse > 0) {
        SetWindowRgn(hwnd,
                     CreateRoundRectRgn(0, 0, spec.width, spec.height, spec.cornerEllipse, spec.cornerEllipse), TRUE);
    }
    alive_.store(true);
    if (spec.visible) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    return true;
}

void Win32Window::resizeSurface(int width, int height) {
    width = std::max(1, width);
    height = std::max(1, height);
    {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        if (surface_.valid() && width == surface_.width() && height == surface_.height()) return;
        surface_.resize(width, height, background_);
        // The whole window is painted after a resize.
        if (surface_.valid()) {
            shown_.assign(surface_.bits(), surface_.bits() + static_cast<std::size_t>(width) * height);
        } else {
            shown_.clear();
        }
    }
    width_.store(width);
    height_.store(height);
    paintPending_.store(true);
}

std::unique_ptr<Canvas> Win32Window::draw() {
    std::unique_lock<std::mutex> lock(surfaceLock_);
    return std::make_unique<GdiCanvas>(surface_, std::move(lock), [this](const RECT& area) { requestPresent(area); });
}

void Win32Window::requestPresent(const RECT& area) {
    HWND h = hwnd_.load();
    if (h == nullptr || !alive_.load()) return;
    // Only the pixels that changed go to the screen: each present is a copy into the window
    // (under Wine, through the X server), and most timer drawings change little or nothing.
    Rect changed{area.left, area.top, area.right, area.bottom};
    {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        if (surface_.valid() && shown_.size() == static_cast<std::size_t>(surface_.width()) * surface_.height()) {
            changed = takeChangedArea(surface_.bits(), shown_.data(), surface_.width(), surface_.height(), changed);
        }
    }
    if (changed.width() <= 0 || changed.height() <= 0) return;
    // InvalidateRect may be called from any thread; the UI thread then paints the part.
    const RECT r{changed.left, changed.top, changed.right, changed.bottom};
    InvalidateRect(h, &r, FALSE);
}

void Win32Window::invalidate() {
    paintPending_.store(true);
    if (HWND h = hwnd_.load(); h != nullptr) InvalidateRect(h, nullptr, FALSE);
}

void Win32Window::paint(HWND hwnd) {
    // The procedure draws first (its drawing only adds to the area due), then the surface is
    // shown for all of it.
    if (paintPending_.exchange(false) && handler_ && alive_.load()) handler_->onPaint(*this);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc != nullptr) {
        std::lock_guard<std::mutex> lock(surfaceLock_);
        if (surface_.valid()) {
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, surface_.dc(), r.left, r.top, SRCCOPY);
        }
    }
    EndPaint(hwnd, &ps);
}

bool Win32Window::key(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handler_ || !alive_.load()) return false;
    const bool pressed = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool system = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    const bool repeat = pressed && (lParam & (1L << 30)) != 0;
    deliverKey(*handler_, *this, pressed, static_cast<int>(wParam), system, repeat);
    return true;
}

LRESULT Win32Window::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            hwnd_.store(hwnd);
            break;
        case WM_ERASEBKGND:
            return 1;  // the surface covers the whole client area
        case WM_PAINT:
            paint(hwnd);
            return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                resizeSurface(LOWORD(lParam), HIWORD(lParam));
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            key(message, wParam, lParam);
            return 0;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            // The window hears of it, and the system still does its own handling (Alt+F4, the
            // system menu).
            key(message, wParam, lParam);
            break;
        case WM_NCHITTEST: {
            const LRESULT hit = DefWindowProcW(hwnd, message, wParam, lParam);
            if (hit != HTCLIENT || !handler_ || !alive_.load()) return hit;
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd, &p);
            return handler_->onHitTest(*this, Point{p.x, p.y}) == HitTest::Caption ? HTCAPTION : HTCLIENT;
        }
        case WM_MOUSEMOVE:
            if (handler_ && alive_.load()) handler_->onMouseMove(*this, Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_LBUTTONDOWN:
            if (handler_ && alive_.load()) {
                handler_->onLeftButtonDown(*this, Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            }
            return 0;
        case WM_LBUTTONUP:
            if (handler_ && alive_.load()) handler_->onLeftButtonUp(*this, Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_RBUTTONDOWN:
            if (handler_ && alive_.load()) {
                handler_->onRightButtonDown(*this, Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            }
            return 0;
        case WM_COMMAND:
            // Menu items (no control) and button clicks.
            if (handler_ && alive_.load() && (lParam == 0 || HIWORD(wParam) == BN_CLICKED)) {
                handler_->onCommand(*this, LOWORD(wParam));
            }
            return 0;
        case WM_CLOSE:
            if (!handler_ || handler_->onCloseRequest(*this)) DestroyWindow(hwnd);
            return 0;
        case WM_ENDSESSION:
            if (wParam) ui_.requestTerminate();
            return 0;
        case WM_DESTROY:
            if (handler_ && alive_.load()) handler_->onDestroy(*this);
            return 0;
        case WM_NCDESTROY: {
            alive_.store(false);
            hwnd_.store(nullptr);
            controls_.clear();
            {
                std::lock_guard<std::mutex> lock(surfaceLock_);
                surface_.release();
            }
            destroyed_.store(true);
            ui_.notifyDestroyed();
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

Rect Win32Window::screenRect() const {
    HWND h = hwnd_.load();
    if (h == nullptr) return {};
    const RECT r = outerRect(h);
    return {r.left, r.top, r.right, r.bottom};
}

Rect Win32Window::workArea() const {
    HWND h = hwnd_.load();
    // A window not made yet, or gone, is taken as lying on the primary monitor.
    HMONITOR monitor = h != nullptr ? MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST)
                                    : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) {
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

void Win32Window::move(int x, int y) {
    ui_.invoke([&] {
        if (alive_.load()) SetWindowPos(hwnd_.load(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

void Win32Window::show() {
    ui_.invoke([&] {
        if (!alive_.load()) return;
        HWND h = hwnd_.load();
        ShowWindow(h, SW_SHOW);
        if (parent_ == nullptr) SetForegroundWindow(h);  // a shown window takes the keyboard
        UpdateWindow(h);  // showing a window paints it at once
    });
}

void Win32Window::setEnabled(bool enabled) {
    ui_.invoke([&] {
        if (alive_.load()) EnableWindow(hwnd_.load(), enabled ? TRUE : FALSE);
    });
}

void Win32Window::setForeground() {
    ui_.invoke([&] {
        if (alive_.load()) SetForegroundWindow(hwnd_.load());
    });
}

bool Win32Window::isForeground() const {
    HWND h = hwnd_.load();
    return h != nullptr && GetForegroundWindow() == h;
}

void Win32Window::setScrollRanges(int horizontalMax, int verticalMax) {
    ui_.invoke([&] {
        if (!alive_.load()) return;
        HWND h = hwnd_.load();
        auto range = [h](int bar, int max) {
            if (max <= 0) {
                ShowScrollBar(h, bar, FALSE);
                return;
            }
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_RANGE | SIF_POS;
            si.nMin = 0;
            si.nMax = max;
            si.nPos = 0;
            SetScrollInfo(h, bar, &si, TRUE);
            ShowScrollBar(h, bar, TRUE);
        };
        range(SB_HORZ, horizontalMax);
        range(SB_VERT, verticalMax);
    });
}

void Win32Window::addControl(const ControlSpec& c) {
    ui_.invoke([&] {
        if (!alive_.load()) return;
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (c.kind) {
            case ControlKind::StaticText: style |= SS_LEFT; break;
            case ControlKind::RadioButton: cls = L"BUTTON"; style |= BS_RADIOBUTTON; break;
            case ControlKind::PushButton: cls = L"BUTTON"; style |= BS_PUSHBUTTON; break;
        }
        HWND control = CreateWindowExW(0, cls, widen(c.text).c_str(), style, c.x, c.y, c.width, c.height,
                                       hwnd_.load(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       ui_.instance(), nullptr);
        if (control == nullptr) return;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        if (c.kind == ControlKind::RadioButton && c.checked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        controls_.push_back(control);
    });
}

void Win32Window::clearControls() {
    ui_.invoke([&] {
        for (HWND control : controls_) DestroyWindow(control);
        controls_.clear();
    });
}

void Win32Window::setGeometry(int x, int y, int width, int height) {
    ui_.invoke([&] {
        if (!alive_.load() || parent_ != nullptr) return;
        // WM_SIZE resizes the surface to the new client area and asks for a paint.
        SetWindowPos(hwnd_.load(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

void Win32Window::updateNow() {
    ui_.invoke([&] {
        if (alive_.load()) UpdateWindow(hwnd_.load());
    });
}

// ---- Win32Ui -------------------------------------------------------------------------------

Win32Ui::Win32Ui(HINSTANCE instance) : instance_(instance), uiThread_(GetCurrentThreadId()) {
    // The UI thread's apartment: the file dialog and the shell need a single-threaded one.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = messageWindowProcedure;
    wc.hInstance = instance_;
    wc.lpszClassName = kMessageClass;
    RegisterClassExW(&wc);
    messageWindow_ = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, this);
    g_ui = this;
    SetConsoleCtrlHandler(consoleControl, TRUE);
}

Win32Ui::~Win32Ui() {
    SetConsoleCtrlHandler(consoleControl, FALSE);
    g_ui = nullptr;
    for (auto& [id, group] : timerGroups_) KillTimer(messageWindow_, id);
    timerGroups_.clear();
    timerOf_.clear();
    // Every window is forgotten before any goes: destroying one takes its children and owned
    // windows with it, and none of their procedures may run now.
    std::vector<HWND> remaining;
    for (auto& w : windows_) {
        if (!w->alive()) continue;
        remaining.push_back(w->hwnd());
        w->forget();
    }
    for (HWND h : remaining) {
        if (IsWindow(h)) DestroyWindow(h);
    }
    // Work still queued is dropped, not run: what it refers to may be gone.
    MSG msg;
    while (messageWindow_ && PeekMessageW(&msg, messageWindow_, kRunWork, kRunWork, PM_REMOVE)) {
        delete reinterpret_cast<std::function<void()>*>(msg.lParam);
    }
    if (messageWindow_) DestroyWindow(messageWindow_);
    windows_.clear();
}

const wchar_t* Win32Ui::classFor(const WindowSpec& spec) {
    const wchar_t* name = classNameOf(spec.kind);
    if (registered_.insert(name).second) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProcedure;
        wc.hInstance = instance_;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        if (spec.kind == WindowKind::Main) {
            wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_ORVANE_APP));
            wc.hIconSm = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_ORVANE_SMALL));
        } else if (spec.kind == WindowKind::Canvas) {
            wc.style = CS_HREDRAW | CS_VREDRAW;
            wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
            wc.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
            if (FindResourceW(instance_, MAKEINTRESOURCEW(IDM_ORVANE_CANVAS), MAKEINTRESOURCEW(4) /* RT_MENU */)) {
                wc.lpszMenuName = MAKEINTRESOURCEW(IDM_ORVANE_CANVAS);
            }
        }
        // Windows paint from their surface; the class brush only shows before the first paint.
        wc.hbrBackground = CreateSolidBrush(spec.background);
        RegisterClassExW(&wc);
    }
    return name;
}

Win32Window* Win32Ui::live(Window* w) const {
    if (w == nullptr) return nullptr;
    for (const auto& mine : windows_) {
        if (mine.get() == w) return mine->alive() ? mine.get() : nullptr;
    }
    return nullptr;
}

void Win32Ui::expectLoop() {
    if (onUiThread()) loopEnded_.store(false);
}

Window* Win32Ui::createWindow(const WindowSpec& spec, WindowHandler* handler) {
    expectLoop();
    Window* made = nullptr;
    invoke([&] {
        auto w = std::make_unique<Win32Window>(*this, spec, handler);
        Win32Window* raw = w.get();
        windows_.push_back(std::move(w));
        if (!raw->create(spec)) return;
        if (handler) handler->onCreate(*raw);
        made = raw;
    });
    return made;
}

void Win32Ui::destroyWindow(Window* target) {
    invoke([&] {
        // Children and owned windows go with their window, as DestroyWindow does.
        if (Win32Window* w = live(target)) DestroyWindow(w->hwnd());
    });
}

void Win32Ui::postDestroy(Window* w) {
    post([this, w] { destroyWindow(w); });
}

int Win32Ui::messageBox(Window* owner, std::string_view textUtf8, std::string_view captionUtf8, MessageIcon icon) {
    if (const auto answer = answerer_.answer(textUtf8, captionUtf8)) return *answer;
    int result = 0;
    invoke([&] {
        Win32Window* o = live(owner);
        MessageBoxW(o ? o->hwnd() : nullptr, widen(textUtf8).c_str(), widen(captionUtf8).c_str(), MB_OK | iconFlags(icon));
        result = 1;
    });
    return result;
}

void Win32Ui::aboutBox(Window* owner, std::string_view textUtf8) {
    if (answerer_.answer(textUtf8, "about")) return;
    invoke([&] {
        Win32Window* o = live(owner);
        const std::wstring text = widen(textUtf8);
        const INT_PTR r = DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ORVANE_ABOUT), o ? o->hwnd() : nullptr,
                                          aboutProcedure, reinterpret_cast<LPARAM>(text.c_str()));
        if (r == -1) MessageBoxW(o ? o->hwnd() : nullptr, text.c_str(), L"Orvane", MB_OK);
    });
}

std::string Win32Ui::chooseOpenFile(std::string_view filterNameUtf8, std::string_view patterns) {
    std::string chosen;
    invoke([&] {
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        IFileOpenDialog* dialog = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog,
                                       reinterpret_cast<void**>(&dialog)))) {
            const std::wstring name = widen(filterNameUtf8);
            const std::wstring spec = widen(patterns);
            const COMDLG_FILTERSPEC filter{name.c_str(), spec.c_str()};
            dialog->SetFileTypes(1, &filter);
            IShellItem* item = nullptr;
            if (SUCCEEDED(dialog->Show(nullptr)) && SUCCEEDED(dialog->GetResult(&item))) {
                PWSTR path = nullptr;
                if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
                    chosen = narrow(path);
                    CoTaskMemFree(path);
                }
                item->Release();
            }
            dialog->Release();
        }
        if (SUCCEEDED(init)) CoUninitialize();
    });
    return chosen;
}

bool Win32Ui::chooseColour(Window* owner, Colour& colour) {
    Colour custom[16] = {};
    std::fill(std::begin(custom), std::end(custom), rgb(255, 255, 255));
    return chooseColour(owner, colour, custom);
}

bool Win32Ui::chooseColour(Window* owner, Colour& colour, Colour (&custom)[16]) {
    bool ok = false;
    invoke([&] {
        Win32Window* o = live(owner);
        COLORREF boxes[16];
        for (int i = 0; i < 16; ++i) boxes[i] = custom[i];
        CHOOSECOLORW cc{};
        cc.lStructSize = sizeof cc;
        cc.hwndOwner = o ? o->hwnd() : nullptr;
        cc.rgbResult = colour;
        cc.lpCustColors = boxes;
        cc.Flags = CC_FULLOPEN | CC_RGBINIT;
        ok = ChooseColorW(&cc) != FALSE;
        if (ok) colour = cc.rgbResult & 0x00FFFFFFu;
        for (int i = 0; i < 16; ++i) custom[i] = boxes[i] & 0x00FFFFFFu;
    });
    return ok;
}

int Win32Ui::startTimer(int periodMs, std::function<void()> tick) {
    if (periodMs < 0 || !tick) return 0;
    expectLoop();
    int id = 0;
    invoke([&] {
        const int period = std::max<int>(periodMs, USER_TIMER_MINIMUM);
        UINT_PTR system = 0;
        for (auto& [sid, group] : timerGroups_) {
            if (group.periodMs == period) system = sid;
        }
        if (system == 0) {
            system = nextSystemTimerId_;
            if (SetTimer(messageWindow_, system, static_cast<UINT>(period), nullptr) == 0) return;
            ++nextSystemTimerId_;
            timerGroups_[system].periodMs = period;
        }
        id = nextTimerId_++;
        timerGroups_[system].ticks.emplace_back(id, std::make_shared<std::function<void()>>(std::move(tick)));
        timerOf_[id] = system;
    });
    return id;
}

void Win32Ui::killTimer(int id) {
    invoke([&] {
        auto it = timerOf_.find(id);
        if (it == timerOf_.end()) return;
        const UINT_PTR system = it->second;
        timerOf_.erase(it);
        auto group = timerGroups_.find(system);
        if (group == timerGroups_.end()) return;
        auto& ticks = group->second.ticks;
        // A tick running now holds its own reference.
        ticks.erase(std::remove_if(ticks.begin(), ticks.end(), [id](const auto& t) { return t.first == id; }),
                    ticks.end());
        if (ticks.empty()) {
            KillTimer(messageWindow_, system);
            timerGroups_.erase(group);
        }
    });
}

LRESULT Win32Ui::messageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunWork) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        if (work && *work) (*work)();
        return 0;
    }
    if (message == WM_TIMER) {
        auto it = timerGroups_.find(wParam);
        if (it == timerGroups_.end()) return 0;
        // A tick may start or kill timers, its own group's too: the ticks due now are taken
        // first, and one killed by an earlier tick of this round does not run.
        const auto due = it->second.ticks;
        for (const auto& [id, tick] : due) {
            if (timerOf_.count(id) != 0) (*tick)();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Work from another thread waits until a loop of the UI thread runs it: the main loop, or any
// modal loop such as start-up's message boxes (they dispatch the hidden window's messages
// too). Only once the loop has ended, with nothing made since that a loop would serve, does a
// caller give up instead of waiting for ever (the shutdown joins threads that may be here).
void Win32Ui::invoke(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return;
    }
    postAndWait([this](std::function<void()> w) { post(std::move(w)); }, work, loopEnded_);
}

void Win32Ui::post(std::function<void()> work) {
    auto* item = new std::function<void()>(std::move(work));
    if (messageWindow_ == nullptr || !PostMessageW(messageWindow_, kRunWork, 0, reinterpret_cast<LPARAM>(item))) {
        delete item;
    }
}

void Win32Ui::notifyDestroyed() {
    std::lock_guard<std::mutex> lock(waitLock_);
    waitCv_.notify_all();
}

void Win32Ui::runUntilDestroyed(Window* target) {
    if (target == nullptr) return;
    auto* w = static_cast<Win32Window*>(target);
    if (onUiThread()) {
        if (live(target) == nullptr) return;
        MSG msg;
        while (!w->destroyed()) {
            const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
            if (r == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop ends too
                return;
            }
            if (r == -1) return;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return;
    }
    std::unique_lock<std::mutex> lock(waitLock_);
    waitCv_.wait_for(lock, std::chrono::hours(24 * 365), [&] { return w->destroyed() || loopEnded_.load(); });
}

void Win32Ui::setTerminateHandler(std::function<void()> handler) {
    invoke([&] { terminate_ = std::move(handler); });
}

void Win32Ui::requestTerminate() {
    post([this] {
        if (terminate_) {
            terminate_();
        } else {
            quit(0);
        }
    });
}

int Win32Ui::run() {
    // A quit asked for before the loop ends it at once (and is used up, so a later run works).
    if (quitRequested_.exchange(false)) return quitCode_.load();
    loopEnded_.store(false);
    loopRunning_.store(true);
    int rc = 0;
    MSG msg;
    for (;;) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            rc = static_cast<int>(msg.wParam);
            break;
        }
        if (r == -1) {
            rc = 1;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    loopRunning_.store(false);
    {
        std::lock_guard<std::mutex> lock(waitLock_);
        loopEnded_.store(true);
        waitCv_.notify_all();
    }
    return quitRequested_.exchange(false) ? quitCode_.load() : rc;
}

void Win32Ui::quit(int code) {
    if (quitRequested_.exchange(true)) return;
    quitCode_.store(code);
    // Before the loop runs, run() returns at once; a quit must not end start-up's own dialogs.
    if (!loopRunning_.load()) return;
    if (onUiThread()) {
        PostQuitMessage(code);
    } else {
        post([code] { PostQuitMessage(code); });
    }
}

int Win32Ui::screenWidth() const { return GetSystemMetrics(SM_CXSCREEN); }
int Win32Ui::screenHeight() const { return GetSystemMetrics(SM_CYSCREEN); }
// The colour of the system menu colour brush (GetSysColorBrush(COLOR_MENU)).
Colour Win32Ui::menuColour() const { return static_cast<Colour>(GetSysColor(COLOR_MENU)); }

}  // namespace orvane::platform::win32

namespace orvane::platform {

std::unique_ptr<Ui> createHostUi(int& /*argc*/, char** /*argv*/) {
    auto ui = std::make_unique<win32::Win32Ui>(GetModuleHandleW(nullptr));
    if (!ui->ready()) return nullptr;
    ui->answerer().answerFromEnvironment();
    return ui;
}

}  // namespace orvane::platform
