// The embedded browser: a real WebEngine view loading a local page.
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>
#include <gtest/gtest.h>

#include <optional>

#include "app/web_browser.h"
#include "support/temp_dir.h"

namespace {

TEST(WebBrowser, LoadsALocalPage) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.path() / "kniha.html",
                           "<html><head><title>Kniha</title></head><body>ok</body></html>");
    QWidget window;
    std::unique_ptr<WebBrowser> browser = CreateWebEngineBrowser(&window);
    auto* view = qobject_cast<QWebEngineView*>(browser->Widget());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->objectName(), QStringLiteral("wb1"));
    EXPECT_EQ(view->focusPolicy(), Qt::ClickFocus);
    window.resize(400, 300);
    window.show();

    std::optional<bool> loaded;
    QEventLoop loop;
    QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&](bool ok) {
        loaded = ok;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    browser->Navigate(QUrl::fromLocalFile(QString::fromStdString(dir.file("kniha.html"))).toString());
    loop.exec();
    ASSERT_TRUE(loaded.has_value()) << "page did not load in 30 s";
    EXPECT_TRUE(*loaded);
    EXPECT_EQ(view->title(), QStringLiteral("Kniha"));
    // Render widgets added by the engine must not take focus by tabbing either.
    for (QWidget* child : view->findChildren<QWidget*>())
        EXPECT_FALSE(child->focusPolicy() & Qt::TabFocus) << child->metaObject()->className();
}

TEST(WebBrowser, AddressesAreCheckedBeforeLoading) {
    QWidget window;
    std::unique_ptr<WebBrowser> browser = CreateWebEngineBrowser(&window);
    auto* view = qobject_cast<QWebEngineView*>(browser->Widget());
    EXPECT_THROW(browser->Navigate(QString()), std::runtime_error);
    EXPECT_THROW(browser->Navigate(QStringLiteral("http://[::1")), std::runtime_error);
    // A user's prefix followed by a title with blanks and diacritics, unencoded.
    browser->Navigate(QStringLiteral("www.example.invalid/hledat?q=Babička Němcová"));
    EXPECT_EQ(view->url().scheme(), QStringLiteral("http"));
    EXPECT_EQ(view->url().host(), QStringLiteral("www.example.invalid"));
    EXPECT_EQ(view->url().query(QUrl::FullyDecoded), QStringLiteral("q=Babička Němcová"));
}

TEST(WebBrowser, ViewGoneWithItsWindowIsNoCrash) {
    auto window = std::make_unique<QWidget>();
    std::unique_ptr<WebBrowser> browser = CreateWebEngineBrowser(window.get());
    window.reset();
    EXPECT_EQ(browser->Widget(), nullptr);
    EXPECT_THROW(browser->Navigate(QStringLiteral("http://example.invalid/")), std::runtime_error);
}

}  // namespace
