#include "shell/main_window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>

#include "base/fatal.h"
#include "http/cookie_store.h"
#include "shell/after_first_paint.h"
#include "shell/handlers.h"
#include "shell/pane_loader.h"

namespace tovrel {

namespace {

// "黑体" is a Windows face; where it is missing, a Debian face with Chinese
// glyphs and a bold weight stands in.
const QStringList kHeitiFaces{QStringLiteral("黑体"), QStringLiteral("SimHei"),
                              QStringLiteral("WenQuanYi Zen Hei"),
                              QStringLiteral("Noto Sans CJK SC")};

// The first of those faces that is installed, looked up once: a font that
// lists them all makes each control's first layout search for the missing
// ones again.
const QString& heitiFace() {
    static const QString face = [] {
        for (const QString& candidate : kHeitiFaces)
            if (QFontDatabase::hasFamily(candidate)) return candidate;
        return kHeitiFaces.front();
    }();
    return face;
}

QFont heitiFont(bool bold, int pixelHeight) {
    QFont font;
    font.setFamily(heitiFace());
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(pixelHeight);
    return font;
}

// The toolkit's default face at a height and weight of the label's own.
QFont defaultFaceFont(bool bold, int pixelHeight) {
    QFont font = QApplication::font();
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setPixelSize(pixelHeight);
    return font;
}

void setTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text,
                  const QFont& font, const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    setTextColour(label, QPalette::WindowText, colour);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QRect& geometry,
                        const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// A plain one-pixel border around an edit box, its colours from the palette.
const QString kPlainBorder = QStringLiteral("border: 1px solid rgb(0, 0, 0);");

QLineEdit* makeLineBox(QWidget* parent, const char* name, const QRect& geometry, int pixelHeight) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    box->setFont(heitiFont(true, pixelHeight));
    box->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    box->setFocusPolicy(Qt::StrongFocus);
    box->setStyleSheet(QStringLiteral("QLineEdit { %1 background: rgb(0, 0, 0); "
                                      "color: rgb(236, 236, 236); }")
                           .arg(kPlainBorder));
    return box;
}

// The handlers take a key as its virtual-key code; of those, only Enter's
// (main block and keypad alike) means anything to them.
int virtualKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    return key == Qt::Key_Return || key == Qt::Key_Enter ? kEnterKeyCode : 0;
}

// Ctrl, Shift and Alt as the bits 1, 2 and 4.
int modifierBits(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ControlModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ShiftModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

// Where the browser pane goes.
constexpr QRect kPaneGeometry{5, 86, 224, 141};

// Holds the browser pane's place until its library has been loaded, drawn as
// the empty pane is: a plain one-pixel border around a white page.
class PaneStandIn : public QWidget {
  public:
    explicit PaneStandIn(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("browserPaneStandIn"));
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override { paintEmptyPane(*this); }
};

}  // namespace

MainWindow::MainWindow(WindowActions actions) : QWidget(nullptr), actions_(std::move(actions)) {
    setObjectName(QString());  // its name in the window definition is empty
    setWindowTitle(QStringLiteral("Tovrel  Beta v1.0"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);

    // Listed by rows from the top, in the order the window definition gives
    // them; later controls lie above earlier ones.
    makeLabel(this, "pageAddressLabel", {8, 13, 80, 23}, QStringLiteral("页面地址："),
              defaultFaceFont(true, 16), QColor(0, 0, 0));
    pageAddressBox_ = makeLineBox(this, "pageAddressBox", {89, 6, 229, 36}, 14);
    auto* clearButton = makeButton(this, "clearButton", {272, 7, 45, 24}, QStringLiteral("清 空"));
    auto* getButton = makeButton(this, "getButton", {328, 6, 80, 41}, QStringLiteral("获 取"));
    getButton_ = getButton;
    makeLabel(this, "downloadAddressLabel", {239, 55, 80, 24}, QStringLiteral("下载地址："),
              defaultFaceFont(true, 16), QColor(0, 136, 255));
    makeLabel(this, "creditsLabel", {10, 56, 216, 24},
              QStringLiteral("Tovrel 项目组出品 · 自由软件"), defaultFaceFont(true, 12),
              QColor(255, 0, 0));

    paneStandIn_ = new PaneStandIn(this);
    paneStandIn_->setGeometry(kPaneGeometry);

    downloadAddressBox_ = new QTextEdit(this);
    downloadAddressBox_->setObjectName(QStringLiteral("downloadAddressBox"));
    downloadAddressBox_->setGeometry(236, 86, 180, 141);
    downloadAddressBox_->setAcceptRichText(false);
    downloadAddressBox_->setFont(heitiFont(false, 14));
    downloadAddressBox_->setLineWrapMode(QTextEdit::WidgetWidth);
    downloadAddressBox_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    downloadAddressBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    downloadAddressBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    downloadAddressBox_->setTabChangesFocus(false);
    downloadAddressBox_->setFocusPolicy(Qt::StrongFocus);
    downloadAddressBox_->setFrameStyle(QFrame::Box | QFrame::Plain);
    downloadAddressBox_->setLineWidth(1);
    QTextOption centred = downloadAddressBox_->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    downloadAddressBox_->document()->setDefaultTextOption(centred);
    downloadAddressBox_->setAlignment(Qt::AlignHCenter);
    {
        QPalette boxPalette = downloadAddressBox_->palette();
        boxPalette.setColor(QPalette::Base, QColor(255, 255, 255));
        boxPalette.setColor(QPalette::Text, QColor(0, 136, 255));
        boxPalette.setColor(QPalette::WindowText, QColor(0, 0, 0));  // the border
        downloadAddressBox_->setPalette(boxPalette);
    }

    auto* copyButton = makeButton(this, "copyButton", {344, 87, 54, 24}, QStringLiteral("复 制"));
    makeLabel(this, "captchaLabel", {7, 243, 55, 24}, QStringLiteral("验证码"),
              defaultFaceFont(true, 16), QColor(0, 0, 0));
    captchaBox_ = makeLineBox(this, "captchaBox", {70, 236, 152, 37}, 24);

    auto* instructionLabel =
        makeLabel(this, "instructionLabel", {232, 240, 176, 40},
                  QStringLiteral("先输入页面地址，点击获取，然后输入验证码按回车。"),
                  QApplication::font(), QColor(0, 96, 192));
    instructionLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    instructionLabel->setWordWrap(true);

    // The Clear and Copy buttons lie over the boxes and take the clicks there.
    clearButton->raise();
    copyButton->raise();

    connect(getButton, &QPushButton::clicked, this, [this] { onGetClicked(actions_); });
    connect(clearButton, &QPushButton::clicked, this, [] { onClearClicked(); });
    connect(copyButton, &QPushButton::clicked, this, [] { onCopyClicked(); });
    captchaBox_->installEventFilter(this);
    // The browser engine takes a while to start; it starts once the window
    // has been drawn, so that the window shows without waiting for it.
    new AfterFirstPaint(this, [this] { browserPane(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == captchaBox_ && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Holding a key sends repeated releases; only the real one counts.
        if (!key->isAutoRepeat())
            onCaptchaKeyReleased(virtualKeyCode(*key), modifierBits(key->modifiers()), actions_);
    }
    // The box goes on with the key's ordinary processing.
    return QWidget::eventFilter(watched, event);
}

BrowserPane* MainWindow::browserPane() {
    if (browserPane_ != nullptr) return browserPane_;
    paneLibrary_ = loadPaneLibrary();
    // Without its library the window lacks a control.
    if (paneLibrary_ == nullptr) reportFatalError(kWindowFailed, 0);
    browserPane_ = paneLibrary_->create(this, kPaneGeometry, {listStoredCookies, addStoredCookie});
    QWidget* pane = paneLibrary_->widget(browserPane_);
    // In the stand-in's place among the controls: below the later ones and
    // between the Get button and the download-address box in the focus chain.
    pane->stackUnder(paneStandIn_);
    QWidget::setTabOrder(getButton_, pane);
    QWidget::setTabOrder(pane, downloadAddressBox_);
    pane->show();
    delete paneStandIn_;
    paneStandIn_ = nullptr;
    return browserPane_;
}

void MainWindow::navigateBrowserPane(const QUrl& url) {
    BrowserPane* pane = browserPane();
    paneLibrary_->navigate(pane, url);
}

QPoint startPosition(const QRect& screenGeometry) {
    return {screenGeometry.x() + (screenGeometry.width() - MainWindow::kOuterWidth) / 2,
            screenGeometry.y() + (screenGeometry.height() - MainWindow::kOuterHeight) / 2};
}

}  // namespace tovrel
