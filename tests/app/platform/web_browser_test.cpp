// The embedded browser: a real WebEngine view loading a local page.
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>
#include <gtest/gtest.h>

#include <optional>

#include <QLineEdit>
#include <QTreeWidget>

#include "app/window/tree_node.h"
#include "app/platform/web_browser.h"
#include "support/app_window_fixture.h"
#include "support/temp_dir.h"
#include "ui_main_window.h"

namespace {

TEST(WebBrowser, LoadsALocalPage) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.path() / "kniha.html", "<html><head><title>Kniha</title></head><body>ok</body></html>");
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

TEST(WebBrowser, AddressesAreHandedOverAsTheBrowserCanTakeThem) {
    QWidget window;
    std::unique_ptr<WebBrowser> browser = CreateWebEngineBrowser(&window);
    auto* view = qobject_cast<QWebEngineView*>(browser->Widget());
    EXPECT_THROW(browser->Navigate(QString()), std::runtime_error);
    // No URL can be made of it: the view shows why instead of the caller failing.
    EXPECT_NO_THROW(browser->Navigate(QStringLiteral("http://[::1")));
    // A user's prefix followed by a title with blanks and diacritics, unencoded.
    browser->Navigate(QStringLiteral("www.example.invalid/hledat?q=Babička Němcová"));
    EXPECT_EQ(view->url().scheme(), QStringLiteral("http"));
    EXPECT_EQ(view->url().host(), QStringLiteral("www.example.invalid"));
    EXPECT_EQ(view->url().query(QUrl::FullyDecoded), QStringLiteral("q=Babička Němcová"));
}

// Prefixes that the address parser cannot take as they stand: a click on a
// title still shows its record, and the browser gets the address.
class WebLookupTest : public testsupport::WindowFixture {};

TEST_F(WebLookupTest, OddPrefixesStillShowTheRecord) {
    MakeCatalogue({testsupport::BookOf("Verne", "Kniha")});
    realBrowser = true;
    OpenWindow();
    auto* view = qobject_cast<QWebEngineView*>(window->browser().Widget());
    ASSERT_NE(view, nullptr);
    const struct {
        QString prefix;
        QString url;  // what the view is asked for; empty: a page saying why it cannot
    } cases[] = {
        {QStringLiteral("   "), QStringLiteral("http://kniha")},
        {QStringLiteral(" http://x.invalid/?q="), QStringLiteral("http://x.invalid/?q=Kniha")},
        {QStringLiteral("\"http://x.invalid/?q=\""), QString()},
        {QStringLiteral("hledej knihu "), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix.toStdString());
        window->form()->wb1skriptle->setText(c.prefix);
        window->vymazokna();
        testsupport::ClickItem(Tree(), TitleNode(*Tree().topLevelItem(0), 0));
        EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text.toStdString();
        EXPECT_EQ(window->form()->titulle->text(), QStringLiteral("Kniha"));
        if (!c.url.isEmpty()) {
            EXPECT_EQ(view->url().toString(), c.url);
        }
        ui.boxes.clear();
    }
}

TEST(WebBrowser, ViewGoneWithItsWindowIsNoCrash) {
    auto window = std::make_unique<QWidget>();
    std::unique_ptr<WebBrowser> browser = CreateWebEngineBrowser(window.get());
    window.reset();
    EXPECT_EQ(browser->Widget(), nullptr);
    EXPECT_THROW(browser->Navigate(QStringLiteral("http://example.invalid/")), std::runtime_error);
}

}  // namespace
