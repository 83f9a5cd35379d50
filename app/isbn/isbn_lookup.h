#pragma once
// Looking ISBNs up in the configured sources without ever blocking the
// window: Z39.50 and SRU searches run in worker threads, Open Library
// through Qt Network; a few ISBNs at a time, each source with a timeout,
// every ISBN cancellable. Every source is asked in order; where several find
// the book, the first one's record is filled in from the next ones; a source
// that did not answer in time is skipped for the next ISBNs a while.
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "app/isbn/isbn_sources.h"
#include "app/isbn/source_answer.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The outcome of one ISBN over all sources.
struct LookupResult {
    enum class State { Found, NotFound, NetworkError, BadAnswer };
    State state = State::NotFound;
    std::vector<FoundRecord> candidates;  // the first finding source's, filled in from the next
    QString note;                         // what went wrong where, in Czech
    QString details;                      // the servers' own words, for "Podrobnosti"
};

class IsbnLookup : public QObject {
    Q_OBJECT
public:
    explicit IsbnLookup(std::vector<IsbnSource> sources, QObject* parent = nullptr);
    ~IsbnLookup() override;

    void SetTimeout(int ms) { timeout_ms_ = ms; }
    void SetParallel(int n) { parallel_ = n < 1 ? 1 : n; }
    // How long a source that timed out is skipped (a minute unless set).
    void SetRest(int ms) { rest_ms_ = ms; }
    // Every source is asked again from now on, the resting ones included.
    void WakeSources() { resting_.clear(); }

    // Queues `isbn13` (stored form) and returns its ticket.
    int Start(const QString& isbn13);
    // Nothing more is reported for the ticket.
    void Cancel(int ticket);
    void CancelAll();
    // ISBNs queued or under way.
    int Pending() const { return static_cast<int>(tickets_.size()); }

signals:
    void Finished(int ticket, const LookupResult& result);

private:
    struct Ticket {
        QString isbn;
        size_t next = 0;  // the source to ask next
        bool running = false;
        std::vector<std::vector<FoundRecord>> found;  // by source, in the order asked
        QStringList failures;
        QStringList details;
        bool anyNetworkError = false;
        QNetworkReply* reply = nullptr;
    };
    // Where worker threads post their answers: cleared when the lookup goes,
    // so an answer arriving later is dropped.
    struct Mailbox;

    void Pump();
    void Ask(int ticket);
    void Answered(int ticket, const SourceAnswer& answer);
    // The next source not resting, or the outcome over all when none is left.
    void AskNext(int ticket);
    void Finish(int ticket, LookupResult result);
    void AskOpenLibrary(int ticket, const IsbnSource& source);

    std::vector<IsbnSource> sources_;
    int timeout_ms_ = 10000;
    int rest_ms_ = 60000;
    std::map<size_t, QDeadlineTimer> resting_;  // by source, until when
    int parallel_ = 3;
    int next_ticket_ = 1;
    int running_ = 0;
    std::map<int, Ticket> tickets_;
    std::deque<int> waiting_;
    std::shared_ptr<Mailbox> mailbox_;
    QNetworkAccessManager* network_ = nullptr;
};

Q_DECLARE_METATYPE(LookupResult)
