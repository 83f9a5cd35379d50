#include "app/platform/web_browser.h"

#include <QChildEvent>
#include <QEvent>
#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

#include <stdexcept>

namespace {

// Keeps the browser out of the tab order and silent about tooltips, for the
// view and for the render widgets that WebEngine adds to it later.
class QuietFilter : public QObject {
public:
    using QObject::QObject;

    void Watch(QObject* object) {
        object->installEventFilter(this);
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            widget->setFocusPolicy(Qt::ClickFocus);
            widget->setToolTip(QString());
        }
        for (QObject* child : object->children())
            if (child->isWidgetType()) Watch(child);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ToolTip:
        case QEvent::WhatsThis: return true;
        case QEvent::ChildAdded: {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType()) Watch(child);
            break;
        }
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The address as a browser's address bar takes it: blanks around it dropped,
// a text of blanks an empty page, and an address without a scheme a web
// address. The result may be invalid, with the parser's reason.
QUrl WebAddress(const QString& url) {
    const QString address = url.trimmed();
    if (address.isEmpty()) return QUrl(QStringLiteral("about:blank"));
    const QUrl parsed(address, QUrl::TolerantMode);
    if (parsed.isValid() && !parsed.scheme().isEmpty()) return parsed;
    const QUrl guessed = QUrl::fromUserInput(address);
    if (guessed.isValid()) return guessed;
    // Keep the parser's reason; a relative address that is no web address has none.
    if (!parsed.isValid()) return parsed;
    QUrl web(QStringLiteral("http://") + address, QUrl::TolerantMode);
    return web;
}

class WebEngineBrowser : public WebBrowser {
public:
    explicit WebEngineBrowser(QWidget* parent) : view_(new QWebEngineView(parent)) {
        view_->setObjectName(QStringLiteral("wb1"));
        auto* filter = new QuietFilter(view_);
        filter->Watch(view_);
    }

    ~WebEngineBrowser() override {
        // The view may already be gone with its parent window.
        delete view_.data();
    }

    QWidget* Widget() override { return view_; }

    void Navigate(const QString& url) override {
        if (!view_) throw std::runtime_error("Prohlížeč už není k dispozici.");
        if (url.isEmpty()) throw std::runtime_error("Adresa pro prohlížeč je prázdná.");
        const QUrl target = WebAddress(url);
        if (target.isValid()) {
            view_->setUrl(target);
        } else {
            // Nothing a URL can be made of: the browser shows why, as it shows a
            // page that failed to load, and the caller carries on.
            view_->setHtml(QStringLiteral("<html><body><p>Adresu „%1“ nelze otevřít: %2</p>"
                                          "</body></html>")
                               .arg(url.toHtmlEscaped(), target.errorString().toHtmlEscaped()));
        }
    }

private:
    QPointer<QWebEngineView> view_;
};

}  // namespace

std::unique_ptr<WebBrowser> CreateWebEngineBrowser(QWidget* parent) {
    return std::make_unique<WebEngineBrowser>(parent);
}
