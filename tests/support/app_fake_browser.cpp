#include "support/app_fake_browser.h"

#include <stdexcept>

FakeBrowser::FakeBrowser(QWidget* parent) : widget_(new QWidget(parent)) {
    widget_->setObjectName(QStringLiteral("wb1"));
    widget_->setFocusPolicy(Qt::ClickFocus);
}

FakeBrowser::~FakeBrowser() { delete widget_.data(); }

void FakeBrowser::Navigate(const QString& url) {
    urls.push_back(url);
    if (!failure.empty()) throw std::runtime_error(failure);
}
