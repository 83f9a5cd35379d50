#include "support/app_session_fixture.h"

namespace testsupport {

SessionFixture::SessionFixture()
    : session(std::make_unique<CatalogueSession>(con, ui, window,
                                                 [this] { return QString::fromStdString(dir.file("nastav.ini")); })) {
    session->SetGuard(&guard);
}

void SessionFixture::OpenCatalogue(const std::vector<Book>& books) {
    CreateCatalogue(CataloguePath());
    InsertBooks(CataloguePath(), books);
    con.SetDatabase(CataloguePath());
    con.SetConnected(true);
}

}  // namespace testsupport
