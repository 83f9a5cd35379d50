#pragma once
// The catalogue's ISBNs and author+title pairs read in a thread of its own, on
// a connection of its own opened on the catalogue's file, so that checking a
// scanned book never waits in the window's thread for another program's lock.
// One read at a time; the thread is joined before the reader goes.
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "catalogue/isbn_store.h"

class CatalogueKeysReader : public QObject {
    Q_OBJECT
public:
    // What a read gave: the keys, or why there are none (in Czech).
    struct Outcome {
        std::string path;
        std::optional<CatalogueKeys> keys;
        bool locked = false;  // another program holds the catalogue; worth another try
        QString failure;
    };
    using Landed = std::function<void(const Outcome&)>;

    CatalogueKeysReader(Landed landed, QObject* parent = nullptr);
    ~CatalogueKeysReader() override;

    // A short wait for a lock: a locked catalogue is tried again later, not waited on.
    void SetBusyTimeout(std::chrono::milliseconds timeout) { busy_ = timeout; }
    // Reads `path` (absolute). A read asked for while one runs starts when it
    // ends; only the answer for the latest request is reported.
    void Read(const std::string& path);
    bool Reading() const { return running_ || again_; }

private:
    void Launch();
    void Done(int generation, Outcome outcome);

    Landed landed_;
    std::chrono::milliseconds busy_{250};
    std::thread worker_;
    std::string path_;
    int generation_ = 0;
    bool running_ = false;
    bool again_ = false;
};
