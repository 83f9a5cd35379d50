#pragma once
// The embedded web browser, as the window sees it: a widget to dock at the
// bottom and a navigation by URL. The program uses Qt WebEngine; tests pass a
// recording double.
#include <QString>
#include <memory>

class QWidget;

class WebBrowser {
public:
    virtual ~WebBrowser() = default;
    // The control docked at the bottom of the main window.
    virtual QWidget* Widget() = 0;
    // Starts loading `url` and returns at once. Any address the browser can try
    // is handed over (the page may show the browser's error); throws
    // std::runtime_error only for an empty text or a browser that is gone.
    virtual void Navigate(const QString& url) = 0;
};

// The real browser, a QWebEngineView that takes no focus by tabbing and shows no tooltips.
std::unique_ptr<WebBrowser> CreateWebEngineBrowser(QWidget* parent);
