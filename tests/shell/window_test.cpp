// The window in-process: the control table row by row, the handlers driven by
// real key and mouse events, the shell operations on the Qt backend, the
// window kept alive while a request waits, and the program's start-up and
// shut-down in child processes. Runs on an X server (Xvfb): the browser pane's
// view is a native window of its own inside the window, which Qt's offscreen
// platform cannot hold.
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "links/screen.h"
#include "shell/application.h"
#include "shell/browser_pane.h"
#include "shell/handlers.h"
#include "shell/main_window.h"
#include "shell/qt_screen.h"
#include "shell/text_edge.h"
#include "text/text.h"

// The window's Get and Enter, recorded here in place of the real exchanges.
namespace {
int fetchCalls = 0;
int submitCalls = 0;
std::function<void()> duringFetch;
std::function<void()> duringSubmit;

tovrel::WindowActions recordingActions() {
    tovrel::WindowActions actions;
    actions.get = [] {
        ++fetchCalls;
        if (duringFetch) duringFetch();
    };
    actions.enter = [] {
        ++submitCalls;
        if (duringSubmit) duringSubmit();
    };
    return actions;
}
}  // namespace

using namespace tovrel;

namespace {

// A text holding every single byte 01-80 and every two-byte code of code page 936.
std::string everyCode() {
    std::string all;
    for (int byte = 1; byte <= 0x80; ++byte) all += static_cast<char>(byte);
    for (int lead = 0x81; lead <= 0xfe; ++lead)
        for (int trail = 0x40; trail <= 0xfe; ++trail)
            if (trail != 0x7f) {
                all += static_cast<char>(lead);
                all += static_cast<char>(trail);
            }
    return all;
}

// Chinese arrives through the input method, as a committed string.
void typeChinese(QWidget* widget, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

QPoint centre(QWidget* widget) {
    return widget->mapTo(widget->window(), widget->rect().center());
}

// Waits as the request routine does while the network is silent: gives the
// window its turn every 10 ms until done() holds or the port gives false (the
// request is abandoned), for at most 10 s. True when abandoned.
bool waitLikeARequest(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (!keepAliveWhileWaiting()) return true;
        if (done()) return false;
        QThread::msleep(10);
    }
    return false;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The real clipboard is the X server's; on another platform (run by hand) the
// clipboard cases are skipped.
bool onDesktopClipboard() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Runs this test program again as a child in one of the modes below.
constexpr const char* kChildMode = "TOVREL_WINDOW_TEST_CHILD";

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  public:
    static void initMain();

  private slots:
    void init();
    void cleanup();
    void controlTable_data();
    void controlTable();
    void heitiIsDrawnBold();
    void clicksFocusControlsButNotLabels();
    void getAndClearButtons();
    void copyButton();
    void captchaKeys_data();
    void captchaKeys();
    void enterElsewhereSubmitsNothing();
    void codePageRoundTrip_data();
    void codePageRoundTrip();
    void edgeMapsKnownCharacters();
    void typedTextReadsAsCodePage936();
    void navigateStartsLoadAndReturns();
    void getBeforeThePaneIsLoaded();
    void clipboard();
    void waitPaintsAndHoldsInput();
    void closeDuringWait();
    void boxDuringWaitTakesInput();
    void lifecycle_data();
    void lifecycle();

  private:
    template <class T>
    T* control(const char* name) {
        auto* widget = window_->findChild<T*>(QLatin1String(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    void clickAt(QWidget* widget, QPoint inWidget) {
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {},
                          widget->mapTo(window_, inWidget));
    }

    MainWindow* window_ = nullptr;
    QtScreenPort* backend_ = nullptr;
};

void WindowTest::initMain() {
    prepareBrowserEnvironment();
    const char* mode = std::getenv(kChildMode);
    if (mode == nullptr) return;
    // A child runs the real start-up and reports on stdout what it saw.
    static std::string childMode = mode;
    std::atexit([] {
        // Runs after the exit step, which was registered later.
        std::printf("exit step runs: %d, session values empty: %d\n", exitStepRuns(),
                    currentFileId.empty() && currentKey.empty());
        std::fflush(stdout);
    });
    qAddPreRoutine([] {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, [poll] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                    std::printf("box: %s | %d | %d | %s\n", qPrintable(box->windowTitle()),
                                box->icon() == QMessageBox::Critical,
                                static_cast<int>(box->buttons().size()),
                                qPrintable(box->text().replace('\n', "\\n")));
                    std::fflush(stdout);
                    box->button(QMessageBox::Ok)->click();
                    return;
                }
                auto* window = dynamic_cast<MainWindow*>(top);
                if (window == nullptr || !window->isVisible()) continue;
                poll->stop();
                if (childMode == "close") {
                    currentFileId = "file";
                    currentKey = "key";
                    window->close();
                } else if (childMode == "nested") {
                    // Enter in the captcha box; the submission pumps events
                    // while a click on Clear and the window's close wait.
                    window->pageAddressBox()->setText(QStringLiteral("x"));
                    duringSubmit = [window] {
                        auto* clear =
                            window->findChild<QPushButton*>(QStringLiteral("clearButton"));
                        QMetaObject::invokeMethod(clear, "click", Qt::QueuedConnection);
                        QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
                        QElapsedTimer pumping;
                        pumping.start();
                        processEvents();
                        std::printf("nested: cleared %d, gone %d, quick %d\n",
                                    getControlText(Control::pageAddressBox).empty(),
                                    !window->isVisible(), pumping.elapsed() < 5000);
                        // The outer handler's late write, after the window has gone.
                        setControlText(Control::downloadAddressBox, "late");
                    };
                    onCaptchaKeyReleased(13, 0, recordingActions());
                } else {
                    // Keep polling for the box; read past the array once.
                    poll->start();
                    static bool readOnce = false;
                    if (readOnce) continue;
                    readOnce = true;
                    // From its own event, so that this poll goes on meanwhile.
                    QTimer::singleShot(0, [] {
                        TextArray empty;
                        (void)empty.member(1);
                    });
                }
            }
        });
        poll->start(20);
    });
    std::exit(runApplication("window_test", recordingActions()));
}

void WindowTest::init() {
    QGuiApplication::setQuitOnLastWindowClosed(false);
    fetchCalls = submitCalls = 0;
    duringFetch = duringSubmit = nullptr;
    currentFileId.clear();
    currentKey.clear();
    window_ = new MainWindow(recordingActions());
    backend_ = new QtScreenPort(window_);
    window_->move(startPosition(QGuiApplication::primaryScreen()->geometry()));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    const WId shown = window_->winId();
    window_->browserPane();
    QCOMPARE(window_->winId(), shown);  // the engine leaves the native window as it was
    // With no window manager, activation can be lost while the pane starts.
    for (int tries = 0; tries < 100 && !window_->isActiveWindow(); ++tries) {
        window_->activateWindow();
        QTest::qWait(20);
    }
    QVERIFY(window_->isActiveWindow());
}

void WindowTest::cleanup() {
    delete backend_;
    delete window_;
    backend_ = nullptr;
    window_ = nullptr;
}

// One row per control of the window definition.
void WindowTest::controlTable_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("face");  // "default", "heiti" or "" (toolkit's GUI font)
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("pixelHeight");
    QTest::addColumn<QColor>("textColour");
    QTest::addColumn<QColor>("background");  // invalid: the window's button face
    QTest::addColumn<int>("alignment");
    const QColor face;
    const int leftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
    const int centred = Qt::AlignHCenter | Qt::AlignVCenter;
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("pageAddressLabel") << "label" << QRect(8, 13, 80, 23) << "页面地址："
                            << "default" << 700 << 16 << QColor(0, 0, 0) << face << leftMiddle;
    row("pageAddressBox") << "line" << QRect(89, 6, 229, 36) << ""
                          << "heiti" << 700 << 14 << QColor(236, 236, 236) << QColor(0, 0, 0)
                          << centred;
    row("clearButton") << "button" << QRect(272, 7, 45, 24) << "清 空"
                       << "" << 400 << 0 << QColor() << face << 0;
    row("getButton") << "button" << QRect(328, 6, 80, 41) << "获 取"
                     << "" << 400 << 0 << QColor() << face << 0;
    row("downloadAddressLabel") << "label" << QRect(239, 55, 80, 24) << "下载地址："
                                << "default" << 700 << 16 << QColor(0, 136, 255) << face
                                << leftMiddle;
    row("creditsLabel") << "label" << QRect(10, 56, 216, 24) << "*"
                        << "default" << 700 << 12 << QColor(255, 0, 0) << face << leftMiddle;
    row("browserPane") << "pane" << QRect(5, 86, 224, 141) << ""
                       << "" << 0 << 0 << QColor() << QColor() << 0;
    row("downloadAddressBox") << "multi" << QRect(236, 86, 180, 141) << ""
                              << "heiti" << 400 << 14 << QColor(0, 136, 255)
                              << QColor(255, 255, 255) << int(Qt::AlignHCenter);
    row("copyButton") << "button" << QRect(344, 87, 54, 24) << "复 制"
                      << "" << 400 << 0 << QColor() << face << 0;
    row("captchaLabel") << "label" << QRect(7, 243, 55, 24) << "验证码"
                        << "default" << 700 << 16 << QColor(0, 0, 0) << face << leftMiddle;
    row("captchaBox") << "line" << QRect(70, 236, 152, 37) << ""
                      << "heiti" << 700 << 24 << QColor(236, 236, 236) << QColor(0, 0, 0)
                      << centred;
    row("instructionLabel") << "label" << QRect(232, 240, 176, 40)
                            << "先输入页面地址，点击获取，然后输入验证码按回车。"
                            << "" << 400 << 0 << QColor(0, 96, 192) << face
                            << int(Qt::AlignHCenter | Qt::AlignTop);
}

void WindowTest::controlTable() {
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, face);
    QFETCH(int, weight);
    QFETCH(int, pixelHeight);
    QFETCH(QColor, textColour);
    QFETCH(QColor, background);
    QFETCH(int, alignment);

    QCOMPARE(window_->windowTitle(), QStringLiteral("Tovrel  Beta v1.0"));
    QCOMPARE(window_->size(), QSize(422, 286));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    const Qt::WindowFlags flags = window_->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window_->palette().color(QPalette::Window),
             window_->palette().color(QPalette::Button));
    QCOMPARE(window_->children().size() >= 12, true);

    QWidget* widget = control<QWidget>(QTest::currentDataTag());
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());
    QVERIFY(widget->isEnabled());

    if (kind == "label") {
        auto* label = qobject_cast<QLabel*>(widget);
        QVERIFY(label);
        if (text == "*") {
            QVERIFY(!label->text().isEmpty());
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= geometry.width());
        } else {
            QCOMPARE(label->text(), text);
        }
        QCOMPARE(int(label->alignment()), alignment);
        QCOMPARE(label->wordWrap(), kind == "label" && (alignment & Qt::AlignTop) != 0);
        QCOMPARE(label->palette().color(QPalette::WindowText), textColour);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        QVERIFY(!label->autoFillBackground());
    } else if (kind == "line") {
        auto* box = qobject_cast<QLineEdit*>(widget);
        QVERIFY(box);
        QCOMPARE(box->text(), text);
        QCOMPARE(int(box->alignment()), alignment);
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->echoMode(), QLineEdit::Normal);
        QCOMPARE(box->maxLength(), 32767);  // Qt's own ceiling; no limit set
        QCOMPARE(box->palette().color(QPalette::Text), textColour);
        QCOMPARE(box->palette().color(QPalette::Base), background);
    } else if (kind == "multi") {
        auto* box = qobject_cast<QTextEdit*>(widget);
        QVERIFY(box);
        QCOMPARE(box->toPlainText(), text);
        QVERIFY(!box->isReadOnly());
        QCOMPARE(box->lineWrapMode(), QTextEdit::WidgetWidth);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(int(box->document()->defaultTextOption().alignment()), alignment);
        QCOMPARE(box->palette().color(QPalette::Text), textColour);
        QCOMPARE(box->palette().color(QPalette::Base), background);
    } else if (kind == "button") {
        auto* button = qobject_cast<QPushButton*>(widget);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
        QCOMPARE(button->font(), QApplication::font(button));
    } else if (kind == "pane") {
        auto* pane = dynamic_cast<BrowserPane*>(widget);
        QVERIFY(pane);
        QVERIFY(pane->view()->url().isEmpty());  // nothing loaded
        QVERIFY(pane->acceptDrops());
        QCOMPARE(pane->contentsMargins(), QMargins(1, 1, 1, 1));
    }

    if (!face.isEmpty()) {
        const QFontInfo info(widget->font());
        QCOMPARE(info.pixelSize(), pixelHeight);
        QCOMPARE(info.weight(), weight);
        if (face == "heiti") {
            QVERIFY2(QFontMetrics(widget->font()).inFont(QChar(0x9ed1)), qPrintable(info.family()));
        } else {
            QCOMPARE(widget->font().family(), QApplication::font().family());
        }
    } else if (kind == "label") {
        QCOMPARE(widget->font(), QApplication::font());
    }

    // What is on the screen: the background inside the control, one pixel in
    // from its border, and the border itself.
    const QImage shot = window_->screen()->grabWindow(window_->winId()).toImage();
    const QColor inside = shot.pixelColor(geometry.topLeft() + QPoint(3, geometry.height() - 4));
    if (background.isValid()) QCOMPARE(inside, background);
    if (kind == "line" || kind == "multi" || kind == "pane")
        QCOMPARE(shot.pixelColor(geometry.topLeft() + QPoint(0, geometry.height() / 2)),
                 QColor(0, 0, 0));
    if (kind == "label" && alignment != int(Qt::AlignHCenter | Qt::AlignTop))
        QCOMPARE(shot.pixelColor(geometry.topLeft() + QPoint(geometry.width() - 1, 1)),
                 window_->palette().color(QPalette::Button));
}

// The stand-in face has no bold of its own; Qt must still draw it bold.
void WindowTest::heitiIsDrawnBold() {
    auto ink = [](const QFont& font) {
        QImage image(200, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(2, 30, QStringLiteral("黑体验证码"));
        painter.end();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QFont bold = window_->pageAddressBox()->font();
    QFont normal = bold;
    normal.setWeight(QFont::Normal);
    QVERIFY2(ink(bold) > ink(normal) * 11 / 10,
             qPrintable(QString("%1 vs %2").arg(ink(bold)).arg(ink(normal))));
}

void WindowTest::clicksFocusControlsButNotLabels() {
    const char* takers[] = {"pageAddressBox", "clearButton",        "getButton",  "copyButton",
                            "captchaBox",     "downloadAddressBox", "browserPane"};
    const char* labels[] = {"pageAddressLabel", "downloadAddressLabel", "creditsLabel",
                            "captchaLabel", "instructionLabel"};
    for (const char* name : takers) {
        QWidget* widget = control<QWidget>(name);
        // Away from the buttons that overlap the boxes.
        clickAt(widget, QPoint(6, widget->height() - 6));
        QTRY_VERIFY2(widget == QApplication::focusWidget() ||
                         widget->isAncestorOf(QApplication::focusWidget()),
                     name);
        for (const char* label : labels) {
            QWidget* before = QApplication::focusWidget();
            clickAt(control<QWidget>(label), QPoint(2, 2));
            QCOMPARE(QApplication::focusWidget(), before);
        }
    }
}

void WindowTest::getAndClearButtons() {
    setControlText(Control::pageAddressBox, "http://share.example/f/1");
    setControlText(Control::downloadAddressBox, "http://dl.example/f");
    setControlText(Control::captchaBox, "ab12");
    currentFileId = "id";
    currentKey = "key";

    clickAt(control<QWidget>("getButton"), QPoint(40, 20));
    QCOMPARE(fetchCalls, 1);
    QCOMPARE(getControlText(Control::pageAddressBox), "http://share.example/f/1");

    // Clear sits over the right end of the page-address box and takes the click there.
    auto* clear = control<QPushButton>("clearButton");
    const QPoint overlap = clear->mapTo(window_, QPoint(20, 12));
    QCOMPARE(window_->childAt(overlap), clear);
    QVERIFY(window_->pageAddressBox()->geometry().contains(overlap));
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, overlap);
    QCOMPARE(getControlText(Control::pageAddressBox), "");
    QCOMPARE(getControlText(Control::downloadAddressBox), "http://dl.example/f");
    QCOMPARE(getControlText(Control::captchaBox), "ab12");
    QCOMPARE(currentFileId, "id");
    QCOMPARE(currentKey, "key");
    QCOMPARE(fetchCalls, 1);
    QCOMPARE(submitCalls, 0);
}

void WindowTest::copyButton() {
    if (!onDesktopClipboard()) QSKIP("needs the X server's clipboard");
    auto* copy = control<QPushButton>("copyButton");
    QCOMPARE(window_->childAt(copy->mapTo(window_, QPoint(10, 10))), copy);
    QClipboard* clipboard = QGuiApplication::clipboard();

    // The box's current content, edits typed by the user included.
    setControlText(Control::downloadAddressBox, "http://dl.example/");
    clickAt(window_->downloadAddressBox(), QPoint(20, 120));
    QTest::keyClick(window_->windowHandle(), Qt::Key_End, Qt::ControlModifier);
    typeChinese(window_->downloadAddressBox(), QStringLiteral("文件"));
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, centre(copy));
    QTRY_COMPARE(clipboard->text(), QStringLiteral("http://dl.example/文件"));

    // An empty box leaves an empty text; the previous content is gone.
    setControlText(Control::downloadAddressBox, "");
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, centre(copy));
    QTRY_COMPARE(clipboard->text(), QString());
    QVERIFY(clipboard->ownsClipboard());
}

void WindowTest::captchaKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("repeats");  // auto-repeated press/release pairs before the release
    QTest::addColumn<int>("submits");
    QTest::newRow("Return") << int(Qt::Key_Return) << 0 << 0 << 1;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 0 << 1;
    QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 0 << 1;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0 << 1;
    QTest::newRow("Alt+Return") << int(Qt::Key_Return) << int(Qt::AltModifier) << 0 << 1;
    QTest::newRow("Return held") << int(Qt::Key_Return) << 0 << 5 << 1;
    QTest::newRow("letter") << int(Qt::Key_X) << 0 << 0 << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << 0 << 0;
    QTest::newRow("keypad digit") << int(Qt::Key_3) << int(Qt::KeypadModifier) << 0 << 0;
}

void WindowTest::captchaKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, repeats);
    QFETCH(int, submits);
    QLineEdit* box = window_->captchaBox();
    clickAt(box, QPoint(10, 10));
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QTest::keyClicks(box, QStringLiteral("ab"));
    // The box still holds the typing when the submission runs.
    std::string seen;
    duringSubmit = [&] { seen = getControlText(Control::captchaBox); };

    QWindow* handle = window_->windowHandle();
    const auto mods = Qt::KeyboardModifiers(modifiers);
    const QString text = key == Qt::Key_X ? QStringLiteral("x") : QString();
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, mods, text);
    for (int i = 0; i < repeats; ++i) {
        qt_handleKeyEvent(handle, QEvent::KeyRelease, key, mods, text, true);
        qt_handleKeyEvent(handle, QEvent::KeyPress, key, mods, text, true);
    }
    QCOMPARE(submitCalls, 0);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, key, mods, text);

    QCOMPARE(submitCalls, submits);
    if (submits > 0) {
        QCOMPARE(seen, "ab");
        QCOMPARE(box->text(), QString());
    } else {
        QCOMPARE(box->text(), key == Qt::Key_X ? QStringLiteral("abx") : QStringLiteral("ab"));
    }
}

void WindowTest::enterElsewhereSubmitsNothing() {
    for (const char* name : {"pageAddressBox", "downloadAddressBox", "getButton", "clearButton"}) {
        QWidget* widget = control<QWidget>(name);
        clickAt(widget, QPoint(4, widget->height() - 4));
        QTRY_VERIFY(QApplication::focusWidget() == widget);
        fetchCalls = 0;
        QTest::keyClick(window_->windowHandle(), Qt::Key_Return);
        QTest::keyClick(window_->windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
    }
    QCOMPARE(submitCalls, 0);
    QCOMPARE(fetchCalls, 0);
}

void WindowTest::codePageRoundTrip_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blanks kept") << QByteArray("  http://a.example/x  ");
    // "中文" and "€"
    QTest::newRow("Chinese and euro") << QByteArray("\xd6\xd0\xce\xc4 \x80");
    // user-defined areas and unassigned codes at their edges
    QTest::newRow("private-use codes")
        << QByteArray("\xaa\xa1\xaf\xfe\xf8\xa1\xfe\xfe\xa1\x40\xa7\xa0\xa2\xab\xfe\xa0\xd7\xfe");
    QTest::newRow("line breaks") << QByteArray("a\r\nb\nc\rd\r\n\r\n\te\r\n");
    QTest::newRow("every code") << QByteArray::fromStdString(everyCode());
}

void WindowTest::codePageRoundTrip() {
    QFETCH(QByteArray, text);
    const std::string bytes = text.toStdString();
    for (Control box :
         {Control::pageAddressBox, Control::captchaBox, Control::downloadAddressBox}) {
        setControlText(box, bytes);
        QVERIFY2(getControlText(box) == bytes, qPrintable(QString::number(int(box))));
    }
    QCOMPARE(qstringToText(textToQString(bytes)), bytes);
}

void WindowTest::edgeMapsKnownCharacters() {
    struct Row {
        std::string bytes;
        QString string;
    };
    const Row rows[] = {
        {"\xd6\xd0", QStringLiteral("中")},   {"\x80", QString(QChar(0x20ac))},
        {"\xaa\xa1", QString(QChar(0xe000))}, {"\xf8\xa1", QString(QChar(0xe234))},
        {"\xa1\x40", QString(QChar(0xe4c6))}, {"\xa2\xab", QString(QChar(0xe766))},
        {"\xfe\xa0", QString(QChar(0xe864))},
    };
    for (const Row& row : rows) {
        QCOMPARE(textToQString(row.bytes), row.string);
        QCOMPARE(qstringToText(row.string), row.bytes);
    }
    // A character code page 936 cannot hold becomes "?".
    QCOMPARE(qstringToText(QStringLiteral("a\U0001F600b")), std::string("a?b"));
}

void WindowTest::typedTextReadsAsCodePage936() {
    clickAt(window_->pageAddressBox(), QPoint(10, 10));
    QTest::keyClicks(window_->pageAddressBox(), QStringLiteral(" "));
    typeChinese(window_->pageAddressBox(), QStringLiteral("网盘"));
    QTest::keyClicks(window_->pageAddressBox(), QStringLiteral(" x "));
    QCOMPARE(getControlText(Control::pageAddressBox), " \xcd\xf8\xc5\xcc x ");
}

void WindowTest::navigateStartsLoadAndReturns() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QByteArray request;
    connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, [&request, socket] {
            request += socket->readAll();
            if (!request.contains("\r\n\r\n")) return;
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                "<html><head><title>pane loaded</title></head></html>");
            socket->disconnectFromHost();
        });
    });
    BrowserPane* pane = window_->browserPane();
    QSignalSpy finished(pane->view(), &QWebEngineView::loadFinished);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(server.serverPort()) + "/randcodeV2.php?fid=1&key=k";
    navigateBrowser(Control::browserPane, url);
    QCOMPARE(finished.count(), 0);  // returned without waiting
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY2(request.startsWith("GET /randcodeV2.php?fid=1&key=k HTTP/1.1\r\n"),
             request.constData());
    QTRY_COMPARE(pane->view()->title(), QStringLiteral("pane loaded"));
}

// A Get pressed as soon as the window is shown, before its first paint has
// loaded the pane: the navigation loads the pane and its engine first, in the
// stand-in's place, and the window keeps its native window.
void WindowTest::getBeforeThePaneIsLoaded() {
    MainWindow early(recordingActions());
    early.show();
    const WId shown = early.winId();
    QVERIFY(early.findChild<QWidget*>(QStringLiteral("browserPaneStandIn")) != nullptr);
    const QUrl page(QStringLiteral("data:text/html,<title>shown early</title>"));
    duringFetch = [&early, &page] { early.navigateBrowserPane(page); };
    early.findChild<QPushButton*>(QStringLiteral("getButton"))->click();
    QCOMPARE(fetchCalls, 1);
    QVERIFY(early.findChild<QWidget*>(QStringLiteral("browserPaneStandIn")) == nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(early.browserPane()->view()->title(), QStringLiteral("shown early"),
                              20000);
    QCOMPARE(early.winId(), shown);
}

void WindowTest::clipboard() {
    if (!onDesktopClipboard()) QSKIP("needs the X server's clipboard");
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("previous"));
    QVERIFY(setClipboardText("\xd6\xd0 http://x/"));
    QCOMPARE(clipboard->text(), QStringLiteral("中 http://x/"));
    QVERIFY(setClipboardText(""));
    QCOMPARE(clipboard->text(), QString());
}

// While a Get waits, the window repaints, and what the person types and clicks
// meanwhile is handled once the wait is over, in the order given: the focus
// follows the clicks, the keys land where the focus then was.
void WindowTest::waitPaintsAndHoldsInput() {
    QWindow* handle = window_->windowHandle();
    QLineEdit* page = window_->pageAddressBox();
    QLineEdit* captcha = window_->captchaBox();
    setControlText(Control::pageAddressBox, "http://a/");
    clickAt(page, QPoint(10, 10));
    QTRY_COMPARE(QApplication::focusWidget(), page);
    std::string seen;
    duringSubmit = [&] { seen = getControlText(Control::captchaBox); };
    auto givenMeanwhile = [&] {
        QTest::keyClick(handle, Qt::Key_X);
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre(control<QWidget>("clearButton")));
        QTest::mouseClick(handle, Qt::LeftButton, {}, page->mapTo(window_, QPoint(10, 10)));
        QTest::keyClick(handle, Qt::Key_Y);
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre(captcha));
        QTest::keyClick(handle, Qt::Key_1);
        QTest::keyClick(handle, Qt::Key_2);
        QTest::keyClick(handle, Qt::Key_Return);
    };

    PaintCounter paints(page);
    bool given = false, abandoned = true;
    int paintsMeanwhile = 0, submitsMeanwhile = -1;
    std::string pageMeanwhile, captchaMeanwhile;
    duringFetch = [&] {
        QTimer::singleShot(0, [&] {
            givenMeanwhile();
            given = true;
        });
        const int before = paints.paints;
        page->update();
        abandoned = waitLikeARequest([&] { return given && paints.paints > before; });
        paintsMeanwhile = paints.paints - before;
        pageMeanwhile = getControlText(Control::pageAddressBox);
        captchaMeanwhile = getControlText(Control::captchaBox);
        submitsMeanwhile = submitCalls;
    };
    clickAt(control<QWidget>("getButton"), QPoint(40, 20));

    QVERIFY(!abandoned);
    QVERIFY(given);
    QVERIFY(paintsMeanwhile > 0);
    QCOMPARE(pageMeanwhile, "http://a/");
    QCOMPARE(captchaMeanwhile, "");
    QCOMPARE(submitsMeanwhile, 0);
    QTRY_COMPARE(submitCalls, 1);
    QCOMPARE(seen, "12");
    QCOMPARE(getControlText(Control::pageAddressBox), "y");
    QCOMPARE(getControlText(Control::captchaBox), "");
    QCOMPARE(fetchCalls, 1);
    // Input after the wait is handled at once again.
    QTest::keyClick(handle, Qt::Key_Z);
    QCOMPARE(getControlText(Control::captchaBox), "z");
}

// The window manager's close during a wait abandons the request at the next
// turn and for good; what was typed meanwhile is not handled any more.
void WindowTest::closeDuringWait() {
    QWindow* handle = window_->windowHandle();
    clickAt(window_->pageAddressBox(), QPoint(10, 10));
    QTRY_COMPARE(QApplication::focusWidget(), window_->pageAddressBox());
    QElapsedTimer sinceClose;
    bool abandoned = false;
    qint64 abandonedAfter = -1;
    duringFetch = [&] {
        QTimer::singleShot(50, [&] {
            QTest::keyClick(handle, Qt::Key_Return);  // would submit nothing, but types
            QTest::keyClick(handle, Qt::Key_X);
            QCloseEvent close;
            sinceClose.start();
            QCoreApplication::sendEvent(handle, &close);
        });
        abandoned = waitLikeARequest([] { return false; });
        abandonedAfter = sinceClose.isValid() ? sinceClose.elapsed() : -1;
    };
    clickAt(control<QWidget>("getButton"), QPoint(40, 20));

    QVERIFY(abandoned);
    QVERIFY2(abandonedAfter >= 0 && abandonedAfter < 1000,
             qPrintable(QString::number(abandonedAfter)));
    QVERIFY(window_->isHidden());
    QVERIFY(!keepAliveWhileWaiting());
    QTest::qWait(50);
    QCOMPARE(getControlText(Control::pageAddressBox), "");
    QCOMPARE(submitCalls, 0);
}

// A modal box opened while a Get waits (the fatal report is one) runs its own
// loop inside the wait: the person's keys reach it rather than being held
// for after the wait, which would never come.
void WindowTest::boxDuringWaitTakesInput() {
    int answer = 0;
    duringFetch = [&] {
        QTimer::singleShot(20, [&] {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("box"), QStringLiteral("text"),
                            QMessageBox::Ok, window_);
            QTimer::singleShot(100, &box,
                               [&box] { QTest::keyClick(box.windowHandle(), Qt::Key_Return); });
            // Should the key be held, the box is closed without it.
            QTimer::singleShot(3000, &box, [&box] { box.done(-1); });
            answer = box.exec();
        });
        waitLikeARequest([&] { return answer != 0; });
    };
    clickAt(control<QWidget>("getButton"), QPoint(40, 20));
    QCOMPARE(answer, static_cast<int>(QMessageBox::Ok));
}

// The real start-up and shut-down, each in a child process of this program.
void WindowTest::lifecycle_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("closed") << "close" << true << 0
                            << "exit step runs: 1, session values empty: 1\n"
                            << "";
    // The quit request met inside processEvents ends the main loop once the
    // handler has returned; the late writes neither fail nor report.
    QTest::newRow("closed inside processEvents")
        << "nested" << true << 0
        << "nested: cleared 1, gone 1, quick 1\nexit step runs: 1, session values empty: 1\n"
        << "";
    QTest::newRow("fatal report")
        << "fatal" << true << 255
        << "box: 错误 | 1 | 1 | 运行时出错!\\n\\n错误代码：1\\n\\n错误信息："
           "数组成员引用下标超出定义范围\\n\n"
        << "";
    QTest::newRow("no display") << "close" << false << 255 << ""
                                << "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n";
}

void WindowTest::lifecycle() {
    QFETCH(QString, mode);
    QFETCH(bool, display);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildMode, mode);
    if (!display) {
        // Without a display the X11 platform cannot start.
        env.remove("DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
    }
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForFinished(60000));
    const QString stdoutText = QString::fromUtf8(child.readAllStandardOutput());
    const QString stderrText = QString::fromUtf8(child.readAllStandardError());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), status);
    QCOMPARE(stdoutText, out);
    if (!err.isEmpty()) QVERIFY2(stderrText.endsWith(err), qPrintable(stderrText));
    QVERIFY2(!stderrText.contains(QStringLiteral("运行时出错")) || !err.isEmpty(),
             qPrintable(stderrText));
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
