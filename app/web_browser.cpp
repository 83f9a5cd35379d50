#include "app/web_browser.h"

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
        case QEvent::WhatsThis:
            return true;
        case QEvent::ChildAdded: {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType()) Watch(child);
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

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
        QUrl target(url, QUrl::TolerantMode);
        // Like the desktop browser control, an address without a scheme is a web address.
        if (target.isValid() && target.scheme().isEmpty() && !url.trimmed().isEmpty())
            target = QUrl(QStringLiteral("http://") + url, QUrl::TolerantMode);
        if (url.trimmed().isEmpty() || !target.isValid())
            throw std::runtime_error(
                QStringLiteral("Adresu „%1“ nelze otevřít: %2")
                    .arg(url, target.isValid() ? QStringLiteral("adresa je prázdná")
                                               : target.errorString())
                    .toStdString());
        view_->setUrl(target);
    }

private:
    QPointer<QWebEngineView> view_;
};

}  // namespace

std::unique_ptr<WebBrowser> CreateWebEngineBrowser(QWidget* parent) {
    return std::make_unique<WebEngineBrowser>(parent);
}
