#include "shell/browser_pane.h"

#include <QPainter>
#include <QWebEngineProfile>

namespace tovrel {

BrowserPane::BrowserPane(QWidget* parent, CookieJarAccess cookies)
    : QWebEngineView(parent), jar_(cookies) {
    setObjectName(QStringLiteral("browserPane"));
    setContentsMargins(1, 1, 1, 1);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
}

void BrowserPane::startEngine() {
    if (engineStarted_) return;
    engineStarted_ = true;
    // Creating the page starts the engine; it loads nothing.
    cookies_ = std::make_unique<CookieBridge>(page()->profile(), jar_);
}

void BrowserPane::navigate(const QUrl& url) {
    startEngine();
    cookies_->shareStoreWithPane();
    load(url);
}

void BrowserPane::paintEvent(QPaintEvent* event) {
    QWebEngineView::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace {

BrowserPane* createPane(QWidget* window, const QRect& geometry, CookieJarAccess cookies) {
    auto* pane = new BrowserPane(window, cookies);
    pane->setGeometry(geometry);
    pane->startEngine();
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
