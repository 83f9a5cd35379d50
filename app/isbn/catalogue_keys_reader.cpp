// The duplicate check's keys, read off the window's thread.
#include "app/isbn/catalogue_keys_reader.h"

#include <exception>

#include "storage/connection.h"
#include "storage/errors.h"

CatalogueKeysReader::CatalogueKeysReader(Landed landed, QObject* parent)
    : QObject(parent), landed_(std::move(landed)) {}

CatalogueKeysReader::~CatalogueKeysReader() {
    if (worker_.joinable()) worker_.join();
}

void CatalogueKeysReader::Read(const std::string& path) {
    path_ = path;
    ++generation_;
    if (running_) {
        again_ = true;
        return;
    }
    Launch();
}

void CatalogueKeysReader::Launch() {
    if (worker_.joinable()) worker_.join();
    running_ = true;
    again_ = false;
    const int generation = generation_;
    const std::string path = path_;
    const std::chrono::milliseconds busy = busy_;
    worker_ = std::thread([this, generation, path, busy] {
        Outcome out;
        out.path = path;
        try {
            TASQLite3DB db;
            db.BusyTimeout = busy;
            db.SetMustExist(true);
            db.SetDatabase(path);
            db.SetConnected(true);
            out.keys = ReadCatalogueKeys(db);
        } catch (const EDatabaseError& e) {
            out.locked = e.Locked();
        } catch (const std::exception&) {}
        if (!out.keys)
            out.failure = out.locked ? QStringLiteral("katalog je zamčený, ověřím znovu")
                                     : QStringLiteral("katalog nelze přečíst, ověřím znovu");
        // Delivered in the reader's thread; dropped with the reader, which joins this thread first.
        QMetaObject::invokeMethod(
            this, [this, generation, out = std::move(out)]() mutable { Done(generation, std::move(out)); },
            Qt::QueuedConnection);
    });
}

void CatalogueKeysReader::Done(int generation, Outcome outcome) {
    running_ = false;
    if (worker_.joinable()) worker_.join();
    if (again_) Launch();
    if (generation == generation_) landed_(outcome);
}
