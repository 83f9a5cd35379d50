// The look-up queue: order of sources, parallelism, timeouts and cancelling.
#include "app/isbn/isbn_lookup.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThreadPool>
#include <QUrl>
#include <QUrlQuery>
#include <mutex>

#include "app/isbn/merged_sources.h"
#include "app/isbn/openlibrary_reader.h"
#include "app/isbn/zoom_search.h"
#include "catalogue/isbn.h"

struct IsbnLookup::Mailbox {
    std::mutex mutex;
    IsbnLookup* owner = nullptr;
};

namespace {

// Worker threads of their own: a slow server must not hold the application's pool.
QThreadPool& Workers() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(6);
        p->setExpiryTimeout(30000);
        return p;
    }();
    return *pool;
}

}  // namespace

IsbnLookup::IsbnLookup(std::vector<IsbnSource> sources, QObject* parent)
    : QObject(parent), sources_(std::move(sources)), mailbox_(std::make_shared<Mailbox>()) {
    qRegisterMetaType<LookupResult>();
    mailbox_->owner = this;
    network_ = new QNetworkAccessManager(this);
    // The system's proxy settings are honoured.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

IsbnLookup::~IsbnLookup() {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->owner = nullptr;
}

int IsbnLookup::Start(const QString& isbn13) {
    const int ticket = next_ticket_++;
    tickets_[ticket].isbn = isbn13;
    waiting_.push_back(ticket);
    Pump();
    return ticket;
}

void IsbnLookup::Cancel(int ticket) {
    auto it = tickets_.find(ticket);
    if (it == tickets_.end()) return;
    if (it->second.running) --running_;
    if (QNetworkReply* reply = it->second.reply) {
        it->second.reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    tickets_.erase(it);
    std::erase(waiting_, ticket);
    Pump();
}

void IsbnLookup::CancelAll() {
    while (!tickets_.empty()) Cancel(tickets_.begin()->first);
}

void IsbnLookup::Pump() {
    while (running_ < parallel_ && !waiting_.empty()) {
        const int ticket = waiting_.front();
        waiting_.pop_front();
        tickets_[ticket].running = true;
        ++running_;
        AskNext(ticket);
    }
}

void IsbnLookup::AskNext(int ticket) {
    Ticket& t = tickets_.at(ticket);
    while (t.next < sources_.size()) {
        auto rest = resting_.find(t.next);
        if (rest == resting_.end() || rest->second.hasExpired()) break;
        t.failures.append(sources_[t.next].Name() + QStringLiteral(": přeskočen, před chvílí neodpověděl včas"));
        t.anyNetworkError = true;
        ++t.next;
    }
    if (t.next < sources_.size()) {
        Ask(ticket);
        return;
    }
    // Reported from the event loop, as every answer is, never from within Start.
    QMetaObject::invokeMethod(
        this,
        [this, ticket] {
            auto it = tickets_.find(ticket);
            if (it == tickets_.end()) return;  // cancelled meanwhile
            LookupResult result;
            if (!it->second.found.empty()) {
                // What the later sources failed to say does not matter to a found book.
                result.state = LookupResult::State::Found;
                result.candidates = MergeSources(it->second.found);
                Finish(ticket, std::move(result));
                return;
            }
            result.note = it->second.failures.join(QStringLiteral("; "));
            result.details = it->second.details.join(QStringLiteral("\n"));
            if (it->second.failures.isEmpty())
                result.state = LookupResult::State::NotFound;
            else if (it->second.anyNetworkError)
                result.state = LookupResult::State::NetworkError;
            else
                result.state = LookupResult::State::BadAnswer;
            Finish(ticket, std::move(result));
        },
        Qt::QueuedConnection);
}

void IsbnLookup::Finish(int ticket, LookupResult result) {
    --running_;
    tickets_.erase(ticket);
    emit Finished(ticket, result);
    Pump();
}

void IsbnLookup::Ask(int ticket) {
    Ticket& t = tickets_.at(ticket);
    const IsbnSource& source = sources_.at(t.next);
    if (source.kind == IsbnSource::Kind::OpenLibrary) {
        AskOpenLibrary(ticket, source);
        return;
    }
    std::weak_ptr<Mailbox> box = mailbox_;
    const QString isbn = t.isbn;
    const int timeout = timeout_ms_;
    Workers().start([box, source, isbn, timeout, ticket] {
        const SourceAnswer answer = ZoomSearch(source, isbn, timeout);
        const std::shared_ptr<Mailbox> mailbox = box.lock();
        if (!mailbox) return;
        std::lock_guard lock(mailbox->mutex);
        if (IsbnLookup* owner = mailbox->owner)
            QMetaObject::invokeMethod(
                owner, [owner, ticket, answer] { owner->Answered(ticket, answer); }, Qt::QueuedConnection);
    });
}

void IsbnLookup::AskOpenLibrary(int ticket, const IsbnSource& source) {
    Ticket& t = tickets_.at(ticket);
    QString keys = QStringLiteral("ISBN:") + t.isbn;
    if (auto ten = isbn::To10(t.isbn.toStdString())) keys += QStringLiteral(",ISBN:") + QString::fromStdString(*ten);
    QString base = source.address;
    while (base.endsWith(u'/')) base.chop(1);
    QUrl url(base + QStringLiteral("/api/books"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("bibkeys"), keys);
    query.addQueryItem(QStringLiteral("format"), QStringLiteral("json"));
    query.addQueryItem(QStringLiteral("jscmd"), QStringLiteral("data"));
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout_ms_);
    QNetworkReply* reply = network_->get(request);
    t.reply = reply;
    const QString name = source.Name();
    connect(reply, &QNetworkReply::finished, this, [this, reply, ticket, name] {
        reply->deleteLater();
        auto it = tickets_.find(ticket);
        if (it == tickets_.end() || it->second.reply != reply) return;
        it->second.reply = nullptr;
        SourceAnswer a;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError) {
            a.kind = SourceAnswer::Kind::NetworkError;
            a.note = QStringLiteral("server neodpověděl včas");
            a.timedOut = true;
        } else if (status >= 400 || (reply->error() != QNetworkReply::NoError && status > 0)) {
            a.kind = SourceAnswer::Kind::BadAnswer;
            a.note = QStringLiteral("chyba serveru (HTTP %1)").arg(status);
        } else if (reply->error() != QNetworkReply::NoError) {
            a.kind = SourceAnswer::Kind::NetworkError;
            a.note = QStringLiteral("nelze se spojit se serverem");
        } else if (auto records = ReadOpenLibrary(reply->readAll())) {
            a.records = std::move(*records);
            for (FoundRecord& r : a.records) r.source = name;
            a.kind = a.records.empty() ? SourceAnswer::Kind::NotFound : SourceAnswer::Kind::Found;
        } else {
            a.kind = SourceAnswer::Kind::BadAnswer;
            a.note = QStringLiteral("vadná odpověď JSON");
        }
        Answered(ticket, a);
    });
}

void IsbnLookup::Answered(int ticket, const SourceAnswer& answer) {
    auto it = tickets_.find(ticket);
    if (it == tickets_.end()) return;  // cancelled meanwhile
    Ticket& t = it->second;
    if (answer.kind == SourceAnswer::Kind::Found) t.found.push_back(answer.records);
    if (answer.timedOut) resting_[t.next] = QDeadlineTimer(rest_ms_);
    if (answer.kind != SourceAnswer::Kind::NotFound && answer.kind != SourceAnswer::Kind::Found) {
        const QString name = sources_[t.next].Name();
        t.failures.append(name + QStringLiteral(": ") + answer.note);
        if (!answer.details.isEmpty()) t.details.append(name + QStringLiteral(": ") + answer.details);
        if (answer.kind == SourceAnswer::Kind::NetworkError) t.anyNetworkError = true;
    }
    ++t.next;
    AskNext(ticket);
}
