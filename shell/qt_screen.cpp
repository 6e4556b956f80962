#include "shell/qt_screen.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QUrl>

#include <new>

#include "shell/text_edge.h"

namespace tovrel {

namespace {

// The break that ends a block, kept in the block's user state.
enum LineBreak { kCrLf = 0, kLf = 1, kCr = 2 };

QString breakText(int state) {
    switch (state) {
        case kLf:
            return QStringLiteral("\n");
        case kCr:
            return QStringLiteral("\r");
        default:
            return QStringLiteral("\r\n");
    }
}

}  // namespace

QString multiLineText(const QTextEdit& box) {
    QString text;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        QString line = block.text();
        // A line break typed inside a block (Shift+Enter) is a line break too.
        line.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        text += line;
        if (block.next().isValid()) text += breakText(block.userState());
    }
    return text;
}

void setMultiLineText(QTextEdit& box, const QString& text) {
    QTextDocument* document = box.document();
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    QTextBlockFormat format = cursor.blockFormat();
    format.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(format);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') continue;
        cursor.insertText(text.mid(start, i - start));
        if (i == text.size()) break;
        int state = kLf;
        if (text[i] == u'\r') {
            const bool pair = i + 1 < text.size() && text[i + 1] == u'\n';
            state = pair ? kCrLf : kCr;
            if (pair) ++i;
        }
        cursor.block().setUserState(state);
        cursor.insertBlock(format);
        start = i + 1;
    }
    cursor.endEditBlock();
    box.moveCursor(QTextCursor::Start);
}

QtScreenPort::QtScreenPort(MainWindow* window)
    : window_(window),
      inputHold_(window),
      previous_(installScreenPort(this)),
      previousFatalReport_(installFatalReportHandler(showFatalReportBox)) {}

QtScreenPort::~QtScreenPort() {
    installFatalReportHandler(previousFatalReport_);
    installScreenPort(previous_);
}

std::string QtScreenPort::getControlText(Control control) {
    if (!window_) return {};
    switch (control) {
        case Control::pageAddressBox:
            return qstringToText(window_->pageAddressBox()->text());
        case Control::captchaBox:
            return qstringToText(window_->captchaBox()->text());
        case Control::downloadAddressBox:
            return qstringToText(multiLineText(*window_->downloadAddressBox()));
        case Control::browserPane:
            return {};
    }
    return {};
}

void QtScreenPort::setControlText(Control control, std::string_view text) {
    // After the window has gone, a late write is dropped.
    if (!window_) return;
    switch (control) {
        case Control::pageAddressBox:
            window_->pageAddressBox()->setText(textToQString(text));
            break;
        case Control::captchaBox:
            window_->captchaBox()->setText(textToQString(text));
            break;
        case Control::downloadAddressBox:
            setMultiLineText(*window_->downloadAddressBox(), textToQString(text));
            break;
        case Control::browserPane:
            break;
    }
}

void QtScreenPort::navigateBrowser(Control control, std::string_view url) {
    if (!window_ || control != Control::browserPane) return;
    // A plain navigation: no flags, no target frame, no post data, no headers.
    // It returns at once; the pane loads while events are processed.
    window_->navigateBrowserPane(QUrl(textToQString(url), QUrl::TolerantMode));
}

bool QtScreenPort::setClipboardText(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    try {
        const QString copy = textToQString(text);
        clipboard->setText(copy, QClipboard::Clipboard);
        return clipboard->ownsClipboard() || clipboard->text(QClipboard::Clipboard) == copy;
    } catch (const std::bad_alloc&) {
        clipboard->clear(QClipboard::Clipboard);
        return false;
    }
}

void QtScreenPort::processEvents() {
    // Runs what is waiting and returns; a quit request met here stays with
    // the main loop, which ends once the running handler returns.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtScreenPort::keepAliveWhileWaiting() {
    // A window that is closed stays closed; the request is abandoned and the
    // main loop ends once the handler has returned.
    if (window_ && !window_->isHidden()) inputHold_.pumpWhileWaiting();
    return window_ && !window_->isHidden();
}

void showFatalReportBox(std::string_view reportText) {
    QString text = textToQString(reportText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // No owner window: the box stands on its own and blocks the program.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok, nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace tovrel
