#include "shell/browser_pane.h"

#include <QApplication>
#include <QQuickWidget>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

namespace tovrel {

BrowserPane::BrowserPane(QWidget* parent, CookieJarAccess cookies) : QWidget(parent) {
    setObjectName(QStringLiteral("browserPane"));
    setContentsMargins(1, 1, 1, 1);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);

    // A window of its own that never keeps the program running once the
    // program's window has closed.
    view_ = new QWebEngineView();
    view_->setAttribute(Qt::WA_QuitOnClose, false);
    view_->setAcceptDrops(true);
    // The page is drawn by a texture-based widget inside the view, which
    // comes with the page. Qt creates the native window of a top-level
    // widget for OpenGL composition only when it has such a child, and
    // recreates it when one arrives later: a new native window, no longer
    // inside the container. A hidden one from the start has the view's
    // window made for OpenGL composition once and for all.
    (new QQuickWidget(view_))->hide();
    view_->winId();
    container_ = QWidget::createWindowContainer(view_->windowHandle(), this);
    container_->setFocusPolicy(Qt::NoFocus);
    // The pane and the embedded view stand for one control in the focus:
    // the pane has it while the view's window has the keyboard.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &BrowserPane::followFocusWindow);
    // Creating the page starts the engine; it loads nothing.
    cookies_ = std::make_unique<CookieBridge>(view_->page()->profile(), cookies);
}

BrowserPane::~BrowserPane() {
    // Before the container, which would otherwise delete the view's window
    // from under the view.
    delete view_;
}

QWindow* BrowserPane::viewWindow() const {
    return view_->windowHandle();
}

void BrowserPane::navigate(const QUrl& url) {
    cookies_->shareStoreWithPane();
    view_->load(url);
}

void BrowserPane::paintEvent(QPaintEvent*) {
    // Shows until the view's first frame covers the inside.
    paintEmptyPane(*this);
}

void BrowserPane::resizeEvent(QResizeEvent*) {
    // The container places the view's window; the view, a top-level widget
    // to Qt, is told its size itself (a view of no size is never shown).
    view_->resize(contentsRect().size());
    container_->setGeometry(contentsRect());
}

void BrowserPane::showEvent(QShowEvent*) {
    // By now the container has shown the view's window inside the window;
    // the view itself is shown as a widget too, so that it can be hidden.
    view_->show();
}

void BrowserPane::hideEvent(QHideEvent*) {
    // The view is a top-level widget to Qt: left visible while the window
    // closes, it would stand in the way of the program's quitting (Qt closes
    // every visible top-level widget first, and the view's window, not being
    // a top-level one, does not close).
    view_->hide();
}

void BrowserPane::focusInEvent(QFocusEvent*) {
    // The keyboard goes to the view's window, where the page reads it.
    view_->setFocus();
    if (QGuiApplication::focusWindow() != viewWindow()) viewWindow()->requestActivate();
}

void BrowserPane::focusOutEvent(QFocusEvent*) {
    // Focus given to another control of the window takes the keyboard back
    // from the view's window.
    QWidget* top = window();
    if (QGuiApplication::focusWindow() == viewWindow() && top->windowHandle() != nullptr &&
        QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == top)
        top->windowHandle()->requestActivate();
}

void BrowserPane::followFocusWindow(QWindow* focusWindow) {
    // The container clears the window's focus widget when its window takes
    // the keyboard (a click into the page); the pane takes it instead.
    if (focusWindow == viewWindow() && !hasFocus()) setFocus(Qt::MouseFocusReason);
}

namespace {

BrowserPane* createPane(QWidget* window, const QRect& geometry, CookieJarAccess cookies) {
    auto* pane = new BrowserPane(window, cookies);
    pane->setGeometry(geometry);
    return pane;
}

QWidget* paneWidget(BrowserPane* pane) {
    return pane;
}

void navigatePane(BrowserPane* pane, const QUrl& url) {
    pane->navigate(url);
}

const PaneLibrary kEntryPoints{createPane, paneWidget, navigatePane};

}  // namespace

}  // namespace tovrel

extern "C" Q_DECL_EXPORT const tovrel::PaneLibrary* tovrelPaneLibrary() {
    return &tovrel::kEntryPoints;
}
