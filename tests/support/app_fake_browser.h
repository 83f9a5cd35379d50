#pragma once
// A WebBrowser for tests: a plain widget named "wb1" that records every URL it
// is asked to show and can be told to fail.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "app/platform/web_browser.h"

class FakeBrowser : public WebBrowser {
public:
    explicit FakeBrowser(QWidget* parent = nullptr);
    ~FakeBrowser() override;

    QWidget* Widget() override { return widget_; }
    // Records the URL, then throws std::runtime_error(failure) when failure is set.
    void Navigate(const QString& url) override;

    std::vector<QString> urls;
    std::string failure;

private:
    QPointer<QWidget> widget_;
};
